#!/usr/bin/python3
"""A camera that accepts connections and never answers, beside cameras that answer. The window
answers the accessibility bus all through the scan, a selection and Connect; the silent camera's
row ends "Not Connected" while the others are right. Cancel, Escape and the window's close
request each end such a wait at once and leave no request running (the program's sockets, and
the camera's request log, which logs only requests still there when it answers); a Rescan right
after runs cleanly."""
import os
import time
import unittest

from wizard_driver import TITLE, WizardDriver, close_request, wait_for, wizard_pid
from labtest import LabTestCase, camera_state, lab, log_size, read_log

# Longer than the transport's 60 s time-out: the camera never answers in time.
SILENT_S = 65
TRANSFER_S = 60
FACTORY = [{"user": "admin", "password": "7395"}]


def camera(name, number, accounts, **extra):
    # Static addresses: the cameras answer whatever the wizard does with the DHCP service.
    return dict(name=name, accounts=accounts, mode="Manual", address=f"192.168.1.{number}", prefix=24,
                gateway="192.168.1.1", **extra)


CAMERAS = [
    camera("silent", 70, FACTORY, faults=["slow-http"], slow_seconds=SILENT_S),
    camera("dflt1", 71, FACTORY),
    camera("dflt2", 72, FACTORY),
    camera("fresh", 73, []),
]
SILENT = "192.168.1.70"
# The Rescan's countdown: 20 ticks of 100 ms.
COUNTDOWN_S = 2
SLACK_S = 20
# A window that answers does so within milliseconds; one that waits for a camera misses calls
# for up to a minute. The bound leaves room for a loaded machine.
STALL_BOUND_S = 3.0
# Cancel ends the wait at once: the dialog is gone well within this.
CANCEL_BOUND_S = 3.0


class Responsiveness:
    """Asks the window for its position (never cached by the accessibility library) at every poll
    while a test waits; the longest time between two answered calls is the longest stall."""

    def __init__(self, frame):
        self.frame = frame
        self.longest = 0.0
        self.last = None

    def restart(self):
        self.longest, self.last = 0.0, None

    def sample(self):
        try:
            self.frame.position
        except Exception:  # the call timed out: the window did not answer
            return
        now = time.monotonic()
        if self.last is not None:
            self.longest = max(self.longest, now - self.last)
        self.last = now

    def poll_until(self, condition, timeout, what):
        def sampled():
            self.sample()
            return condition()
        return wait_for(sampled, timeout=timeout, what=what)


def established_to(pid, address, port=80):
    """The program's TCP connections to the address that are still open."""
    packed = "".join(f"{int(part):02X}" for part in reversed(address.split(".")))
    remote = f"{packed}:{port:04X}"
    with open(f"/proc/{pid}/net/tcp", encoding="utf-8") as f:
        return [line for line in f.read().splitlines()[1:] if line.split()[2] == remote and line.split()[3] == "01"]


def sockets_of(pid):
    count = 0
    for fd in os.listdir(f"/proc/{pid}/fd"):
        try:
            count += os.readlink(f"/proc/{pid}/fd/{fd}").startswith("socket:")
        except OSError:
            continue
    return count


class SilentCamera(WizardDriver, LabTestCase):
    CAMERAS = CAMERAS

    def rows(self, frame):
        """The camera list as {MAC: {column title: text}}."""
        return {row["Mac"]: row for row in self.camera_rows(frame)}

    def statuses(self, frame):
        rows = self.rows(frame)
        return {c["name"]: rows.get(camera_state(c["name"])["mac"], {}).get("Status") for c in CAMERAS}

    def cell(self, frame, name):
        mac = camera_state(name)["mac"]
        return frame.findChild(lambda n: n.roleName == "table cell" and n.name == mac and n.showing)

    def asking(self, app, text=None):
        """The progress dialog's label while it shows (with this text, when given)."""
        return app.findChild(lambda n: n.roleName == "label" and n.name.startswith("Asking ") and n.showing
                             and (text is None or n.name == text), retry=False, requireResult=False)

    def cancelled(self):
        return self.trace_text().count(f"cancelled, not answered: {SILENT}")

    def assert_ends_at_once(self, app, watch, end, what):
        """Ends the wait by `end` and checks it ended at once, leaving no connection to the camera."""
        before = self.cancelled()
        started = time.monotonic()
        end()
        watch.poll_until(lambda: not self.asking(app), CANCEL_BOUND_S + SLACK_S, f"the dialog to go after {what}")
        self.assertLess(time.monotonic() - started, CANCEL_BOUND_S, what)
        wait_for(lambda: self.cancelled() == before + 1, timeout=SLACK_S, what=f"the trace of {what}")
        wait_for(lambda: not established_to(self.pid, SILENT), timeout=SLACK_S,
                 what=f"no connection to the silent camera after {what}")

    def test_a_silent_camera_never_stops_the_window_and_every_wait_can_be_cancelled(self):
        from dogtail import rawinput, tree
        wizard, frame = self.start_wizard()
        app = tree.root.application("velnor-config-tool")
        self.pid = wait_for(lambda: wizard_pid(wizard), what="the wizard's process")
        watch = Responsiveness(frame)

        self.click(frame.child(name="Next", roleName="push button"))
        wait_for(lambda: self.showing_label(frame, "192.168.1.1"), what="the network page")
        self.click(frame.child(name="Next", roleName="push button"))
        self.confirm_and_rescan(frame)

        # The scan: the three quick cameras answer at once, the silent one costs its status check's
        # time-out, once: a camera that gave no answer is not asked for its login on top of it.
        # The window answers all along.
        wait_for(lambda: "netinfo:" in self.trace_text(), timeout=COUNTDOWN_S + SLACK_S, what="the scan")
        watch.restart()
        watch.poll_until(lambda: self.asking(app, "Asking 4 cameras: 3 answered"), TRANSFER_S,
                         "the progress dialog with the three quick cameras answered")
        watch.poll_until(lambda: "--------Ending Broadcast--------" in self.trace_text(),
                         TRANSFER_S + SLACK_S, "the scan's end")
        self.assertLess(watch.longest, STALL_BOUND_S, "the window stalled during the scan")
        self.assertIn(f"{SILENT}/init-cgi/", self.trace_text())
        self.assertNotIn(f"{SILENT}/kvt-cgi/", self.trace_text(), "the silent camera was asked for its login")
        watch.poll_until(lambda: not self.asking(app), SLACK_S, "the progress dialog to go")
        self.assertEqual(self.statuses(frame), {"silent": "Not Connected", "dflt1": "Connected",
                                                "dflt2": "Connected", "fresh": "Need Password"})
        sockets = sockets_of(self.pid)

        # A selection with the silent camera: Cancel ends it at once, the rows stay as they were.
        self.click(self.cell(frame, "dflt1"))
        wait_for(lambda: "BUFFER CHANGE ROW" in self.trace_text(), what="dflt1's settings")
        watch.restart()
        rawinput.holdKey("Control_L")
        self.click(self.cell(frame, "silent"))
        rawinput.releaseKey("Control_L")
        dialog_label = watch.poll_until(lambda: self.asking(app, "Asking 2 cameras: 1 answered"), SLACK_S,
                                        "the progress dialog of the selection")
        self.assertLess(watch.longest, STALL_BOUND_S, "the window stalled during the selection")
        dialog = dialog_label
        while dialog.roleName != "dialog":
            dialog = dialog.parent
        cancel = dialog.child(name="Cancel", roleName="push button")
        self.assert_ends_at_once(app, watch, lambda: self.click(cancel), "Cancel")
        self.assertEqual(self.statuses(frame)["silent"], "Not Connected")
        self.assertLessEqual(sockets_of(self.pid), sockets, "a socket left open after Cancel")

        # A Rescan right after runs cleanly; without its fault the camera is listed connected.
        lab("camera", "silent", "set", "faults=")
        self.click(frame.child(name="Rescan", roleName="push button"))
        watch.poll_until(lambda: self.trace_text().count("--------Ending Broadcast--------") == 2, SLACK_S * 3,
                         "the Rescan's end")
        watch.poll_until(lambda: self.statuses(frame) == {"silent": "Connected", "dflt1": "Connected",
                                                          "dflt2": "Connected", "fresh": "Need Password"},
                         SLACK_S, "every camera listed as it is")

        # Connect with the camera silent again: Escape ends the selection's wait, Connect runs to
        # the transport's time-out with the window answering, and the selection that follows it
        # asks only the camera that answered; the close request ends the next selection's wait
        # without closing the wizard.
        lab("camera", "silent", "set", "faults=slow-http")
        log = os.path.join("cameras", "silent", "requests.log")
        quiet_from = log_size(log)
        # Counted from here: the cancelled selection above already traced dflt1's settings, and a
        # press while dflt2 is still being asked would be held back.
        shown = self.trace_text().count("BUFFER CHANGE ROW")

        def dflt2_shown():
            # A press right after the Rescan's dialog went is at times not taken: pressed again
            # while the row is still not selected.
            if self.trace_text().count("BUFFER CHANGE ROW") > shown:
                return True
            cell = self.cell(frame, "dflt2")
            if not cell.selected:
                self.click(cell)
            return False
        wait_for(dflt2_shown, what="dflt2's settings")
        rawinput.holdKey("Control_L")
        self.click(self.cell(frame, "silent"))
        rawinput.releaseKey("Control_L")
        watch.poll_until(lambda: self.asking(app), SLACK_S, "the progress dialog of the selection")
        self.assert_ends_at_once(app, watch, lambda: rawinput.pressKey("Escape"), "Escape")

        before_connect = self.statuses(frame)
        password = frame.findChild(lambda n: n.roleName == "password text" and n.showing)
        password.text = "7395"
        connects = self.trace_text().count("BUFFER CONNECT")
        settings = self.trace_text().count("BUFFER CHANGE ROW")
        connect_from = len(self.trace_text())
        watch.restart()
        self.click(frame.child(name="Connect", roleName="push button"))
        watch.poll_until(lambda: self.trace_text().count("BUFFER CONNECT") == connects + 2, TRANSFER_S + SLACK_S,
                         "Connect to end at the silent camera's time-out")
        watch.poll_until(lambda: self.trace_text().count("BUFFER CHANGE ROW") == settings + 2, SLACK_S,
                         "the selection that follows Connect")
        watch.poll_until(lambda: not self.asking(app), SLACK_S, "the progress dialog to go after Connect")
        self.assertLess(watch.longest, STALL_BOUND_S, "the window stalled during Connect")
        after_connect = self.trace_text()[connect_from:]
        self.assertIn(f"{SILENT}/kvt-cgi/system.cgi", after_connect)
        self.assertNotIn(f"{SILENT}/kvt-cgi/network.cgi", after_connect,
                         "the silent camera was asked for its settings after it gave no answer to Connect")
        self.assertEqual(self.cancelled(), 2, "a camera cancelled after Connect")

        self.click(self.cell(frame, "dflt2"))
        wait_for(lambda: self.trace_text().count("BUFFER CHANGE ROW") == settings + 3, what="dflt2's settings")
        rawinput.holdKey("Control_L")
        self.click(self.cell(frame, "silent"))
        rawinput.releaseKey("Control_L")
        watch.poll_until(lambda: self.asking(app), SLACK_S, "the progress dialog of the selection")
        self.assert_ends_at_once(app, watch, lambda: close_request(TITLE), "the close request")
        self.assertIsNone(wizard.poll(), "the close request ended the wizard")
        self.assertFalse(app.findChild(lambda n: n.roleName == "push button" and n.name == "No" and n.showing,
                                       retry=False, requireResult=False), "the quit dialog showed")
        # A login the camera never answered changes nothing in its row; the other is connected.
        self.assertEqual(self.statuses(frame), before_connect)
        self.assertEqual(before_connect["dflt2"], "Connected")

        # The camera logs a request once it has answered it, and it answers after SILENT_S: a
        # request still connected then would be logged. Each one was cancelled or timed out
        # before, so none ever is.
        deadline = time.monotonic() + SILENT_S + SLACK_S / 2
        while time.monotonic() < deadline:
            self.assertEqual(read_log(log, quiet_from), "", "a request was still running when the camera answered")
            time.sleep(1)


if __name__ == "__main__":
    unittest.main()
