#!/usr/bin/python3
"""The installer's walk through the wizard, driven through the accessibility tree, with the
wizard running as the recorder's program in the camera lab."""
import datetime
import os
import time
import unittest

from wizard_driver import BUILD_DIR, TITLE, WizardDriver, wait_for, window_screenshot
from labtest import LabTestCase, RecorderListener, installation_stamp, log_size, read_log, \
    remove_installation_stamp  # noqa: E402  (labtest is on the path the driver sets)

# Where the proxy variables of the wizard's environment point: a listener of the test's own.
PROXY_PORT = 3128


class Journey(WizardDriver, LabTestCase):
    COUNT = 4
    MACS = [f"02:56:4C:00:00:0{n}" for n in range(1, 5)]

    def setUp(self):
        remove_installation_stamp()

    def test_walk_all_pages_and_confirm_at_the_end(self):
        started_at = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)
        # Camera requests carry passwords: a proxy named by the environment must never see one.
        proxy = RecorderListener(self, PROXY_PORT)
        proxy_url = f"http://127.0.0.1:{PROXY_PORT}"
        wizard, frame = self.start_wizard(env=dict(os.environ, http_proxy=proxy_url, HTTP_PROXY=proxy_url,
                                                   ALL_PROXY=proxy_url))
        self.click(frame.child(name="Next", roleName="push button"))

        # The network page shows the recorder's own addresses and the pool prefix.
        wait_for(lambda: self.showing_label(frame, "192.168.1.1"), what="the camera network's address")
        self.assertTrue(self.showing_label(frame, "10.20.30.2"))
        switch = frame.findChild(lambda n: n.roleName in ("toggle button", "switch") and n.showing)
        self.click(switch)
        # Entries carry no names; on screen the pool start stands above the pool end.
        entries = sorted(frame.findChildren(lambda n: n.roleName == "text" and n.showing),
                         key=lambda n: n.position[1])
        start, end = entries[0], entries[1]
        self.assertEqual(start.text, "192.168.1.")
        wait_for(lambda: start.sensitive, what="the pool entries to be editable")

        # An invalid pool start keeps the installer on the page with the message beside it.
        start.text = "192.168.1.300"
        end.text = "192.168.1.200"
        self.click(frame.child(name="Next", roleName="push button"))
        self.answer(frame, "Yes")
        wait_for(lambda: self.showing_label(frame, "Please enter a valid IP"), what="the error text")
        self.assertTrue(self.showing_label(frame, "Network 1 (Camera):"))

        # A valid page leads on to the camera page: the service restarts, the ports power-cycle,
        # and after the minute's countdown the list shows every camera.
        poe_start, service_start = log_size("poe.log"), log_size("service.log")
        start.text = "192.168.1.100"
        self.click(frame.child(name="Next", roleName="push button"))
        self.answer(frame, "Yes")
        wait_for(lambda: frame.findChild(lambda n: n.name == "Rescan" and n.showing, retry=False,
                                         requireResult=False), what="the camera page")
        from dogtail import tree
        app = tree.root.application("velnor-config-tool")
        began = time.monotonic()
        wait_for(lambda: app.findChild(lambda n: n.roleName == "label" and n.name == "Scanning..."
                                       and n.showing, retry=False, requireResult=False),
                 what="the scan's countdown")
        wait_for(lambda: all(frame.findChild(lambda n, mac=mac: n.name == mac and n.showing, retry=False,
                                             requireResult=False) for mac in self.MACS),
                 timeout=120, what="every camera in the list")
        wait_for(lambda: self.scans_ended() >= 1, what="the scan's end")
        self.assertGreaterEqual(time.monotonic() - began, 50, "the list filled before the minute")
        self.assertTrue(frame.findChild(lambda n: n.name == "Need Password" and n.showing))
        # The status checks and factory logins reached the cameras themselves.
        self.assertTrue(frame.findChild(lambda n: n.name == "Connected" and n.showing))
        self.assertEqual(proxy.connections(), [])
        self.assertIn(" restart -> 0", read_log("service.log", service_start))
        self.assertEqual(read_log("poe.log", poe_start).count(" state=0 ret=0"), 16)
        window_screenshot(TITLE, os.path.join(BUILD_DIR, "camera-page.png"))

        # On to the final page.
        self.click(frame.child(name="Next", roleName="push button"))
        self.answer(frame, "Yes")
        wait_for(lambda: self.showing_label(frame, "The configuration is now completed."),
                 what="the final page")

        # Only the end of the installation is recorded, not reaching its last page.
        self.assertIsNone(installation_stamp())

        # Confirming on the final page ends the program normally and records the installation's
        # end, so that the session no longer starts the wizard.
        self.click(frame.child(name="Next", roleName="push button"))
        self.answer(frame, "Yes")
        self.assertEqual(wizard.wait(timeout=60), 0)
        stamp = installation_stamp()
        self.assertIsNotNone(stamp, "no stamp after the final page's confirmation")
        self.assertTrue(stamp.endswith("\n") and stamp.count("\n") == 1, repr(stamp))
        written = datetime.datetime.fromisoformat(stamp.strip())
        self.assertIsNotNone(written.tzinfo, stamp)
        self.assertTrue(started_at <= written <= datetime.datetime.now(datetime.timezone.utc), stamp)
        self.assertIn("Installation completed: /var/lib/velnor-config-tool/completed",
                      open(self.trace.name).read())

    def test_close_request_asks_first(self):
        wizard, frame = self.start_wizard()
        self.ask_to_close()
        self.answer(frame, "No")
        wait_for(lambda: "Exiting..." in open(self.trace.name).read(), what="the trace")
        self.assertIsNone(wizard.poll())
        self.assertTrue(frame.showing)

        self.ask_to_close()
        self.answer(frame, "Yes")
        self.assertEqual(wizard.wait(timeout=60), 0)
        self.assertIsNone(installation_stamp())

    def test_quit_on_the_final_page_records_no_installation(self):
        wizard, frame = self.start_wizard()
        self.click(frame.child(name="Next", roleName="push button"))
        wait_for(lambda: self.showing_label(frame, "Network 1 (Camera):"), what="the network page")
        # DHCP stays off; the scan's countdown is cancelled: the final page is reached at once.
        self.click(frame.child(name="Next", roleName="push button"))
        self.answer(frame, "Yes")
        self.answer(frame, "Cancel")
        wait_for(lambda: frame.findChild(lambda n: n.name == "Rescan" and n.showing, retry=False,
                                         requireResult=False), what="the camera page")
        self.click(frame.child(name="Next", roleName="push button"))
        self.answer(frame, "Yes")
        wait_for(lambda: self.showing_label(frame, "The configuration is now completed."),
                 what="the final page")

        self.ask_to_close()
        self.answer(frame, "Yes")
        self.assertEqual(wizard.wait(timeout=60), 0)
        self.assertIsNone(installation_stamp(), "the quit dialog recorded a finished installation")


if __name__ == "__main__":
    unittest.main()
