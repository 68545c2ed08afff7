#!/usr/bin/python3
"""The installer's walk through the wizard, driven through the accessibility tree, with the
wizard running as the recorder's program in the camera lab."""
import os
import struct
import subprocess
import sys
import time
import unittest
import zlib

from Xlib import X, display as xdisplay, protocol

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "../lab/tests"))
from labtest import LAB, LabTestCase, log_size, read_log  # noqa: E402
BUILD_DIR = os.environ.get("VELNOR_BUILD_DIR", os.path.join(HERE, "../../build"))
WIZARD = os.path.join(BUILD_DIR, "velnor-config-tool")
TITLE = "Velnor Configuration Tool"


def wait_for(condition, timeout=30, what="condition"):
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.1)


def windows_titled(connection, title):
    """The top-level X windows whose title is the given one."""
    net_wm_name = connection.intern_atom("_NET_WM_NAME")
    for window in connection.screen().root.query_tree().children:
        try:
            name = window.get_full_property(net_wm_name, X.AnyPropertyType)
        except Exception:
            continue
        if name is not None and name.value == title.encode():
            yield window


def close_request(title):
    """Asks the window to close as a window manager does, with WM_DELETE_WINDOW."""
    connection = xdisplay.Display()
    try:
        protocols = connection.intern_atom("WM_PROTOCOLS")
        delete = connection.intern_atom("WM_DELETE_WINDOW")
        for window in windows_titled(connection, title):
            window.send_event(protocol.event.ClientMessage(
                window=window, client_type=protocols, data=(32, [delete, X.CurrentTime, 0, 0, 0])))
        connection.flush()
    finally:
        connection.close()


def window_screenshot(title, path):
    """Saves what the window shows on the X screen as a PNG (RGB, no filters)."""
    connection = xdisplay.Display()
    try:
        window = next(windows_titled(connection, title), None)
        if window is None:
            raise AssertionError(f"no window titled {title}")
        root = connection.screen().root
        geometry = window.get_geometry()
        origin = window.translate_coords(root, 0, 0)
        width, height = geometry.width, geometry.height
        pixels = root.get_image(-origin.x, -origin.y, width, height, X.ZPixmap, 0xFFFFFFFF).data
    finally:
        connection.close()
    rows = b"".join(
        b"\0" + bytes(b for i in range(width) for b in reversed(pixels[(r * width + i) * 4:(r * width + i) * 4 + 3]))
        for r in range(height))

    def chunk(kind, data):
        return struct.pack("!I", len(data)) + kind + data + struct.pack("!I", zlib.crc32(kind + data))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack("!IIBBBBB", width, height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(rows, 6)) + chunk(b"IEND", b""))


class Journey(LabTestCase):
    COUNT = 4
    MACS = [f"02:56:4C:00:00:0{n}" for n in range(1, 5)]

    def start_wizard(self):
        self.trace = open(os.path.join(BUILD_DIR, f"journey-{self._testMethodName}.out"), "w+")
        self.addCleanup(self.trace.close)
        wizard = subprocess.Popen([LAB, "run", WIZARD], stdout=self.trace, stderr=subprocess.STDOUT)
        self.addCleanup(self.stop, wizard)

        from dogtail import config, tree
        config.config.searchCutoffCount = 60
        app = tree.root.application("velnor-config-tool")
        frame = app.child(name=TITLE, roleName="frame")
        wait_for(lambda: frame.showing, what="the main window")
        return wizard, frame

    @staticmethod
    def stop(wizard):
        if wizard.poll() is None:
            wizard.terminate()
        wizard.wait(timeout=30)

    @staticmethod
    def click(node):
        # A real pointer click: an accessibility "click" action would hold its D-Bus call open
        # while the button runs its modal dialog, and the tree would look hung meanwhile.
        node.click()

    def answer(self, frame_or_app, button_name):
        from dogtail import tree
        app = tree.root.application("velnor-config-tool")
        button = app.child(name=button_name, roleName="push button", showingOnly=True)
        self.click(button)

    def showing_label(self, frame, text):
        return frame.findChild(lambda n: n.roleName == "label" and n.name == text and n.showing,
                               retry=False, requireResult=False)

    def test_walk_all_pages_and_confirm_at_the_end(self):
        wizard, frame = self.start_wizard()
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
        self.assertGreaterEqual(time.monotonic() - began, 50, "the list filled before the minute")
        self.assertTrue(frame.findChild(lambda n: n.name == "Need Password" and n.showing))
        self.assertIn(" restart -> 0", read_log("service.log", service_start))
        self.assertEqual(read_log("poe.log", poe_start).count(" state=0 ret=0"), 16)
        window_screenshot(TITLE, os.path.join(BUILD_DIR, "camera-page.png"))

        # On to the final page.
        self.click(frame.child(name="Next", roleName="push button"))
        self.answer(frame, "Yes")
        wait_for(lambda: self.showing_label(frame, "The configuration is now completed."),
                 what="the final page")

        # Confirming on the final page ends the program normally.
        self.click(frame.child(name="Next", roleName="push button"))
        self.answer(frame, "Yes")
        self.assertEqual(wizard.wait(timeout=60), 0)

    def test_close_request_asks_first(self):
        wizard, frame = self.start_wizard()
        close_request(TITLE)
        self.answer(frame, "No")
        wait_for(lambda: "Exiting..." in open(self.trace.name).read(), what="the trace")
        self.assertIsNone(wizard.poll())
        self.assertTrue(frame.showing)

        close_request(TITLE)
        self.answer(frame, "Yes")
        self.assertEqual(wizard.wait(timeout=60), 0)


if __name__ == "__main__":
    unittest.main()
