#!/usr/bin/python3
"""Sixteen factory-new cameras, one on every port, selected together: all take their first
password at one click, connect at the next, and all take a changed password at a third; each
camera's own state tells, and the cameras were asked side by side."""
import time
import unittest

from wizard_driver import WizardDriver, wait_for
from labtest import LabTestCase, camera_state, lab

PORTS = 16
CAMERAS = [dict(name=f"new{n}", accounts=[], mode="Manual", address=f"192.168.1.{100 + n}", prefix=24,
                gateway="192.168.1.1") for n in range(1, PORTS + 1)]
FIRST_PASSWORD = "Site-First-2468"
CHANGED_PASSWORD = "Site-Next-1357"
# The Rescan's countdown: 20 ticks of 100 ms.
COUNTDOWN_S = 2
SLACK_S = 60


class SixteenCameras(WizardDriver, LabTestCase):
    CAMERAS = CAMERAS

    def statuses(self, frame):
        cells = [n.name for n in frame.findChildren(lambda n: n.roleName == "table cell" and n.showing)]
        return [name for name in cells if name in ("Need Password", "Not Connected", "Connected")]

    def showing(self, frame, role, name=None):
        return [n for n in frame.findChildren(lambda n: n.roleName == role and n.showing)
                if name is None or n.name == name]

    def password_is(self, password):
        return [c["name"] for c in CAMERAS
                if lab("camera", c["name"], "check-password", "admin", stdin=password, check=False).returncode != 0]

    def type_new_password(self, frame, password, button):
        first, second = sorted(self.showing(frame, "password text"), key=lambda n: (n.position[1], n.position[0]))
        first.text, second.text = password, password
        self.click(self.showing(frame, "push button", button)[0])

    def test_sixteen_cameras_take_their_first_password_and_a_change_together(self):
        from dogtail import rawinput
        wizard, frame = self.start_wizard()
        self.click(frame.child(name="Next", roleName="push button"))
        wait_for(lambda: self.showing_label(frame, "192.168.1.1"), what="the network page")
        self.click(frame.child(name="Next", roleName="push button"))
        self.confirm_and_rescan(frame)
        wait_for(lambda: self.statuses(frame).count("Need Password") == PORTS, timeout=COUNTDOWN_S + SLACK_S,
                 what="sixteen factory-new cameras listed")

        # All of them: the first row, then the whole list.
        self.click(frame.findChild(lambda n: n.roleName == "table cell" and n.name == "Need Password"
                                   and n.showing))
        rawinput.keyCombo("<Control>a")
        wait_for(lambda: self.showing(frame, "push button", "Set Password"), what="the set-password panel")
        started = time.monotonic()
        self.type_new_password(frame, FIRST_PASSWORD, "Set Password")
        wait_for(lambda: self.statuses(frame).count("Not Connected") == PORTS, timeout=SLACK_S,
                 what="every row waiting for the connect")
        print(f"sixteen first passwords in {time.monotonic() - started:.1f} s", flush=True)
        self.assertEqual([c["name"] for c in CAMERAS if not camera_state(c["name"])["initialized"]], [])
        self.assertEqual(self.password_is(FIRST_PASSWORD), [], "cameras without the first password")

        wait_for(lambda: self.showing(frame, "push button", "Connect"), what="the connect panel")
        self.showing(frame, "password text")[0].text = FIRST_PASSWORD
        self.click(self.showing(frame, "push button", "Connect")[0])
        wait_for(lambda: self.statuses(frame).count("Connected") == PORTS, timeout=SLACK_S,
                 what="every camera connected")

        # The change, for all sixteen at once, with the credentials each row now holds.
        change = self.showing(frame, "push button", "Change Password")[0]
        wait_for(lambda: change.sensitive, what="Change Password for the connected cameras")
        self.click(change)
        wait_for(lambda: len(self.showing(frame, "password text")) >= 2, what="the change-password panel")
        self.type_new_password(frame, CHANGED_PASSWORD, "Change Password")
        wait_for(lambda: not self.password_is(CHANGED_PASSWORD), timeout=SLACK_S,
                 what="every camera with the changed password")
        self.assertEqual(self.statuses(frame).count("Connected"), PORTS)
        wait_for(lambda: self.showing_label(frame, "Password successfully changed."), what="the message in green")

        output = open(self.trace.name, encoding="utf-8", errors="replace").read()
        for secret in (FIRST_PASSWORD, CHANGED_PASSWORD):
            self.assertNotIn(secret, output, "a password in the program's output")


if __name__ == "__main__":
    unittest.main()
