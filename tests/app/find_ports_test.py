#!/usr/bin/python3
"""Find Ports, driven through the accessibility tree with the wizard as the recorder's program in
the camera lab, and judged by the lab: each row's Port is the port the lab put that camera on
(numbered from 1), the PoE log shows each port switched off once in order and every port on at
the end; a camera that stops answering discovery gets no port while the others keep theirs;
Cancel, Escape or the close request in the middle leave every port on and the column as it was. The window answers
accessibility requests throughout."""
import os
import re
import time
import unittest

from wizard_driver import BUILD_DIR, TITLE, WizardDriver, close_request, wait_for, window_screenshot
from labtest import LabTestCase, camera_state, lab, log_size, read_log  # noqa: E402

# Driver ports not in a row; one camera factory-new, one static.
CAMERAS = [
    {"name": "gate", "port": 0, "accounts": []},
    {"name": "dock", "port": 5, "accounts": [{"user": "admin", "password": "7395"}]},
    {"name": "hall", "port": 9, "accounts": [{"user": "admin", "password": "7395"}],
     "mode": "Manual", "address": "192.168.1.64", "prefix": 24, "gateway": "192.168.1.1"},
    {"name": "yard", "port": 15, "accounts": [{"user": "admin", "password": "7395"}]},
]
PORTS = 16
# A call libatspi gives up on after about 0.8 s: a longer gap between answered calls is a stall.
STALL_S = 0.8
# Sixteen rounds of at most 2 s, the restart and the Rescan, with room to spare.
RUN_BOUND_S = 180


def port_requests(text):
    """(port, state) of every port request in a piece of the PoE log, in order."""
    return [(int(p), int(s)) for p, s in re.findall(r" ioctl fd=\d+ port=(\d+) state=(\d) ", text)]


class FindPorts(WizardDriver, LabTestCase):
    CAMERAS = CAMERAS

    @staticmethod
    def rows(frame):
        """The camera list as {MAC: {column title: text}}."""
        return {row["Mac"]: row for row in WizardDriver.camera_rows(frame)}

    @staticmethod
    def showing(text_pattern):
        from dogtail import tree
        app = tree.root.application("velnor-config-tool")
        return app.findChild(lambda n: n.roleName == "label" and re.fullmatch(text_pattern, n.name) and n.showing,
                             retry=False, requireResult=False)

    def answering_until(self, frame, condition, timeout, what):
        """Asks the window for its extents every 50 ms until condition holds; fails when the
        window went without answering for STALL_S. Returns the longest gap between answers."""
        last_answer = time.monotonic()
        longest = 0.0
        deadline = last_answer + timeout
        while not condition():
            if time.monotonic() > deadline:
                self.fail(f"{what}: not within {timeout} s")
            try:
                frame.queryComponent().getExtents(0)
                now = time.monotonic()
                longest = max(longest, now - last_answer)
                last_answer = now
            except Exception:  # the call timed out: the window did not answer
                pass
            time.sleep(0.05)
        longest = max(longest, time.monotonic() - last_answer)
        self.assertLess(longest, STALL_S, f"the window stopped answering during {what}")
        return longest

    def find_ports(self, frame):
        self.click(frame.child(name="Find Ports", roleName="push button"))
        self.answer(frame, "Yes")

    def run_to_end(self, frame, what):
        """Waits, answering, until the run's Rescan has filled the list."""
        scans = self.scans_ended()
        longest = self.answering_until(
            frame, lambda: self.scans_ended() > scans,
            RUN_BOUND_S, what)
        print(f"{what}: longest wait for the window {longest:.2f} s", flush=True)

    def cancel_in_the_middle(self, frame, way):
        from dogtail import rawinput
        before = {mac: row["Port"] for mac, row in self.rows(frame).items()}
        poe_start = log_size("poe.log")
        trace_start = len(self.trace_text())
        self.find_ports(frame)
        self.answering_until(frame, lambda: (6, 0) in port_requests(read_log("poe.log", poe_start)), 60,
                             "the run's first ports")
        if way == "Cancel":
            self.answer(frame, "Cancel")
        elif way == "Escape":
            rawinput.pressKey("Escape")
        else:
            close_request(TITLE)

        def ports_after_last_off():
            requests = port_requests(read_log("poe.log", poe_start))
            return requests[max(i for i, (_, state) in enumerate(requests) if state == 0) + 1:]
        self.answering_until(frame, lambda: len(ports_after_last_off()) >= PORTS, 10, way)
        self.assertEqual(ports_after_last_off(), [(p, 1) for p in range(PORTS)])
        # The run is over once the button is there again.
        wait_for(lambda: frame.child(name="Find Ports", roleName="push button").sensitive, what="the run's end")
        trace = self.trace_text()[trace_start:]
        self.assertIn("find ports cancelled", trace)
        self.assertNotIn("rescan clicked", trace)
        self.assertNotIn("Exiting...", trace)
        self.assertEqual({mac: row["Port"] for mac, row in self.rows(frame).items()}, before)

    def test_find_ports_fills_the_port_column_by_the_lab_and_cancel_leaves_every_port_on(self):
        macs = {c["name"]: camera_state(c["name"])["mac"] for c in CAMERAS}
        wizard, frame = self.start_wizard()
        self.click(frame.child(name="Next", roleName="push button"))
        wait_for(lambda: self.showing_label(frame, "192.168.1.1"), what="the network page")
        self.click(frame.findChild(lambda n: n.roleName in ("toggle button", "switch") and n.showing))
        entries = sorted(frame.findChildren(lambda n: n.roleName == "text" and n.showing),
                         key=lambda n: n.position[1])
        wait_for(lambda: entries[0].sensitive, what="the pool entries to be editable")
        entries[0].text, entries[1].text = "192.168.1.100", "192.168.1.200"
        self.click(frame.child(name="Next", roleName="push button"))
        self.confirm_and_rescan(frame)
        # The list fills while the scan listens; its end closes the countdown's dialog.
        wait_for(lambda: self.scans_ended() >= 1, timeout=60, what="the scan")
        wait_for(lambda: self.rows(frame).keys() >= set(macs.values()), what="every camera in the list")
        self.assertTrue(all(row["Port"] == "" for row in self.rows(frame).values()), "a port before Find Ports")

        with self.subTest("every camera on the lab's port, numbered from 1"):
            poe_start = log_size("poe.log")
            self.find_ports(frame)
            self.run_to_end(frame, "Find Ports")
            rows = self.rows(frame)
            for camera in CAMERAS:
                self.assertEqual(rows[macs[camera["name"]]]["Port"], str(camera_state(camera["name"])["port"] + 1),
                                 camera["name"])
            self.assertEqual(port_requests(read_log("poe.log", poe_start)),
                             [(p, 0) for p in range(PORTS)] + [(p, 1) for p in range(PORTS)])
            window_screenshot(TITLE, os.path.join(BUILD_DIR, "camera-page-ports.png"))

        with self.subTest("a camera that does not answer discovery gets no port, the others theirs"):
            lab("camera", "dock", "set", "faults=wrong-size-reply")
            self.find_ports(frame)
            self.run_to_end(frame, "Find Ports without dock")
            lab("camera", "dock", "set", "faults=")
            scans = self.scans_ended()
            self.click(frame.child(name="Rescan", roleName="push button"))
            wait_for(lambda: self.scans_ended() > scans, timeout=60,
                     what="the Rescan")
            self.assertIn(macs["dock"], self.rows(frame))
            rows = self.rows(frame)
            self.assertEqual(rows[macs["dock"]]["Port"], "")
            for name in ("gate", "hall", "yard"):
                self.assertEqual(rows[macs[name]]["Port"], str(camera_state(name)["port"] + 1), name)

        # Cancel, Escape on the progress dialog and the window's close request all cancel.
        for way in ("Cancel", "Escape", "close request"):
            with self.subTest(f"{way} in the middle: every port on, the column as it was"):
                self.cancel_in_the_middle(frame, way)
        self.assertIsNone(wizard.poll())


if __name__ == "__main__":
    unittest.main()
