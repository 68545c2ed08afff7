#!/usr/bin/python3
"""Runs the wizard's executable on an X display of its own and watches what it shows."""
import os
import signal
import subprocess
import time
import unittest

from Xlib import X, Xatom, display as xdisplay

BUILD_DIR = os.environ.get("VELNOR_BUILD_DIR", os.path.join(os.path.dirname(__file__), "../../build"))
WIZARD = os.path.join(BUILD_DIR, "velnor-config-tool")
TITLE = "Velnor Configuration Tool"


class WatchedDisplay:
    """Reports the top-level windows mapped on an X display, optionally only those of one process."""

    def __init__(self, name):
        self.name = name
        deadline = time.monotonic() + 20
        while True:
            try:
                self.connection = xdisplay.Display(name)
                break
            except Exception:
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.05)
        self.connection.screen().root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self.connection.sync()

    def mapped_windows(self, timeout, pid=None):
        """Waits up to timeout seconds for MapNotify events; yields (time, title, width, height)."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            while self.connection.pending_events():
                event = self.connection.next_event()
                if event.type != X.MapNotify:
                    continue
                if pid is not None and self.pid_of(event.window) != pid:
                    continue
                yield time.monotonic(), self.title_of(event.window), *self.size_of(event.window)
            time.sleep(0.02)

    def property_of(self, window, name):
        try:
            prop = window.get_full_property(self.connection.intern_atom(name), X.AnyPropertyType)
            return prop.value if prop else None
        except Exception:
            return None

    def pid_of(self, window):
        value = self.property_of(window, "_NET_WM_PID")
        return int(value[0]) if value is not None and len(value) else None

    def title_of(self, window):
        value = self.property_of(window, "_NET_WM_NAME") or self.property_of(window, "WM_NAME") or b""
        return value.decode() if isinstance(value, bytes) else str(value)

    def size_of(self, window):
        try:
            geometry = window.get_geometry()
            return geometry.width, geometry.height
        except Exception:
            return 0, 0

    def close(self):
        self.connection.close()


class PrivateDisplay:
    """An Xvfb of the test's own: a window that flashes up and vanishes at once is still seen."""

    def __enter__(self):
        number = 200
        while os.path.exists(f"/tmp/.X11-unix/X{number}") or os.path.exists(f"/tmp/.X{number}-lock"):
            number += 1
        self.name = f":{number}"
        self.server = subprocess.Popen(["Xvfb", self.name, "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.watch = WatchedDisplay(self.name)
        return self.watch

    def __exit__(self, *exc):
        self.watch.close()
        self.server.terminate()
        self.server.wait()


class StartupFailure(unittest.TestCase):
    """A bundle that cannot be loaded ends the program with one line on stderr and no window."""

    # The tool, the start of its one line on stderr, and what the line must name.
    CASES = [
        ("velnor-config-tool-markup", "MarkupError: ", ""),
        ("velnor-config-tool-unknown_class", "BuilderError: ", "GtkTurboEncabulator"),
        ("velnor-config-tool-missing", "ResourceError: ", "/testapp/nvr.glade"),
        ("velnor-config-tool-missing_widget", "BuilderError: ", 'no widget "treeview1"'),
    ]

    def test_each_loader_error(self):
        for tool, prefix, named in self.CASES:
            with self.subTest(tool=tool), PrivateDisplay() as screen:
                env = dict(os.environ, DISPLAY=screen.name)
                result = subprocess.run([os.path.join(BUILD_DIR, "tests/app", tool)], env=env,
                                        capture_output=True, text=True, timeout=60)
                lines = result.stderr.splitlines()
                self.assertEqual(result.returncode, 1)
                self.assertEqual(len(lines), 1, result.stderr)
                self.assertTrue(lines[0].startswith(prefix), lines[0])
                self.assertGreater(len(lines[0]), len(prefix))
                self.assertIn(named, lines[0])
                self.assertEqual(result.stdout, "")
                self.assertEqual(list(screen.mapped_windows(0.5)), [])


class SplashThenWelcome(unittest.TestCase):
    def test_splash_hands_over_to_the_welcome_page(self):
        # The shared display, since the accessibility bus is announced on it.
        screen = WatchedDisplay(os.environ["DISPLAY"])
        self.addCleanup(screen.close)
        # The wizard reads the DHCP server's file at start-up: give it an empty folder of its own
        # instead of the host's. The exec keeps the pid that the windows are filtered by.
        wizard = subprocess.Popen(
            ["unshare", "--mount", "--propagation", "private", "sh", "-c",
             'mount -t tmpfs velnor-test /etc/dhcp && exec "$0"', WIZARD],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        self.addCleanup(wizard.wait, timeout=30)
        self.addCleanup(wizard.send_signal, signal.SIGTERM)
        shown = []
        for when, title, width, height in screen.mapped_windows(30, pid=wizard.pid):
            shown.append((when, title, width, height))
            if title == TITLE:
                break
        self.assertGreaterEqual(len(shown), 2, shown)
        splash, main = shown[0], shown[-1]
        self.assertNotEqual(splash[1], TITLE)
        self.assertEqual(splash[2:], (1024, 600))
        self.assertEqual(main[1], TITLE)
        # The splash stays for its 3000 ms timer; the bound above it is only a safety net.
        self.assertGreater(main[0] - splash[0], 2.5)
        self.assertLess(main[0] - splash[0], 20)
        self.assertIsNone(wizard.poll(), "the wizard quit during the hand-over")
        self.check_welcome_page_through_accessibility()

    def check_welcome_page_through_accessibility(self):
        from dogtail import config, tree
        config.config.searchCutoffCount = 40
        app = tree.root.application("velnor-config-tool")
        frame = app.child(name=TITLE, roleName="frame")
        back = frame.child(name="Back", roleName="push button")
        self.assertFalse(back.sensitive)
        self.assertTrue(frame.child(name="Next", roleName="push button").sensitive)
        welcome = frame.child(name="Welcome to the Velnor Configuration Tool!", roleName="label")
        self.assertTrue(welcome.showing)


if __name__ == "__main__":
    unittest.main()
