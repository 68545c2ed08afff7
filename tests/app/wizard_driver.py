"""Driving the wizard as an installer would: the program runs unchanged as the recorder's program
in the camera lab, and the test works its window through the accessibility tree and the pointer."""
import os
import struct
import subprocess
import sys
import time
import zlib

from Xlib import X, display as xdisplay, protocol

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "../lab/tests"))
from labtest import LAB, camera_state, read_log  # noqa: E402
BUILD_DIR = os.environ.get("VELNOR_BUILD_DIR", os.path.join(HERE, "../../build"))
WIZARD = os.path.join(BUILD_DIR, "velnor-config-tool")
TITLE = "Velnor Configuration Tool"
# A camera's event log line when it is up again after its port was switched on.
BOOTED = "power: on after boot"
# The cameras boot in seconds; the DHCP ones then need a lease from the restarted service.
BACK_FROM_POWER_CYCLE_S = 45


def wait_for(condition, timeout=30, what="condition"):
    """Polls until the condition gives something true, and returns that."""
    deadline = time.monotonic() + timeout
    while True:
        result = condition()
        if result:
            return result
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


def splash_window(connection):
    """The wizard's untitled 1024 by 600 window, while it is mapped."""
    for window in connection.screen().root.query_tree().children:
        try:
            attributes = window.get_attributes()
            geometry = window.get_geometry()
        except Exception:
            continue
        if (attributes.map_state == X.IsViewable and (geometry.width, geometry.height) == (1024, 600)
                and next(windows_titled(connection, TITLE), None) != window):
            return window
    return None


def window_screenshot(title, path):
    """Saves what the window (titled so, or the splash for None) shows as a PNG (RGB, no filters)."""
    connection = xdisplay.Display()
    try:
        window = next(windows_titled(connection, title), None) if title else splash_window(connection)
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


def wizard_pid(runner):
    """The wizard's own process under `lab run`: the runner itself once its execs are done, or a
    descendant of it running the executable."""
    def parent_of(pid):
        with open(f"/proc/{pid}/stat", encoding="utf-8") as f:
            return int(f.read().rsplit(")", 1)[1].split()[1])

    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            if not os.readlink(f"/proc/{entry}/exe").endswith("/velnor-config-tool"):
                continue
            pid = int(entry)
            for _ in range(16):  # the runner is a few generations up at most
                if pid == runner.pid:
                    return int(entry)
                if pid <= 1:
                    break
                pid = parent_of(pid)
        except (OSError, ValueError, IndexError):
            continue
    return None


class WizardDriver:
    """Mixed into a LabTestCase: starts the wizard in the lab and works its window."""

    def start_wizard(self, splash_shot=None, home=None, env=None):
        """Starts the wizard in the lab; `home` is the folder it takes for the installer's home,
        `env` its whole environment when not the test's own."""
        self.trace = open(os.path.join(BUILD_DIR, f"{type(self).__name__}-{self._testMethodName}.out"), "w+")
        self.addCleanup(self.trace.close)
        if home:
            env = dict(env if env is not None else os.environ, HOME=home)
        wizard = subprocess.Popen([LAB, "run", WIZARD], stdout=self.trace, stderr=subprocess.STDOUT, env=env)
        self.addCleanup(self.stop, wizard)
        if splash_shot:
            os.makedirs(os.path.dirname(splash_shot), exist_ok=True)
            wait_for(self.splash_showing, what="the splash")
            window_screenshot(None, splash_shot)

        from dogtail import config, tree
        config.config.searchCutoffCount = 60
        app = tree.root.application("velnor-config-tool")
        frame = app.child(name=TITLE, roleName="frame")
        wait_for(lambda: frame.showing, what="the main window")
        # The accessibility tree may tell of the window before the X server has it (the
        # program's X requests still in its buffer): a close request would find no window.
        wait_for(self.main_window_viewable, what="the main window on the display")
        return wizard, frame

    def trace_text(self):
        """What the wizard has printed so far."""
        self.trace.flush()
        with open(self.trace.name, encoding="utf-8", errors="replace") as f:
            return f.read()

    @staticmethod
    def main_window_viewable():
        connection = xdisplay.Display()
        try:
            return any(w.get_attributes().map_state == X.IsViewable for w in windows_titled(connection, TITLE))
        except Exception:  # a window gone between the listing and the question
            return False
        finally:
            connection.close()

    @staticmethod
    def splash_showing():
        connection = xdisplay.Display()
        try:
            return splash_window(connection) is not None
        finally:
            connection.close()

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

    def ask_to_close(self, attempts=5, wait_s=8):
        """Sends the window manager's close request until the quit dialog shows. A request that
        reaches the window before the toolkit listens is lost, as with a real window manager;
        one sent while the dialog is up goes to the dialog's grab and changes nothing."""
        from dogtail import tree
        app = tree.root.application("velnor-config-tool")
        for _ in range(attempts):
            close_request(TITLE)
            deadline = time.monotonic() + wait_s
            while time.monotonic() < deadline:
                if app.findChild(lambda n: n.roleName == "push button" and n.name == "No" and n.showing,
                                 retry=False, requireResult=False):
                    return
                time.sleep(0.2)
        raise AssertionError("the quit dialog did not show after the close request")

    def trace_text(self):
        """The program's trace so far."""
        self.trace.flush()
        with open(self.trace.name, encoding="utf-8", errors="replace") as f:
            return f.read()

    def scans_ended(self):
        """How many scans have ended, by the program's trace. The rows appear while the scan
        still listens, under its progress dialog: the window is the installer's again only then."""
        return self.trace_text().count("--------Ending Broadcast--------")

    @staticmethod
    def camera_rows(frame):
        """The camera list as [{column title: text}], read through the table interface; empty
        while the table is not to be had (a loaded machine's accessibility calls time out)."""
        view = frame.findChild(lambda n: n.roleName in ("table", "tree table") and n.showing, retry=False,
                               requireResult=False)
        if view is None:
            return []
        table = view.queryTable()
        titles = [table.getColumnHeader(c).name for c in range(table.nColumns)]
        return [{titles[c]: table.getAccessibleAt(r, c).name for c in range(table.nColumns)}
                for r in range(table.nRows)]

    def boots(self):
        """How often each of the lab's cameras has booted after a power cycle."""
        return {c["name"]: read_log(f"cameras/{c['name']}/events.log").count(BOOTED) for c in self.CAMERAS}

    def back_from_the_power_cycle(self, boots_before):
        """Every camera booted since `boots_before`, and powered, addressed and listening now."""
        faults = {c["name"]: c.get("faults", []) for c in self.CAMERAS}
        for name, before in boots_before.items():
            if read_log(f"cameras/{name}/events.log").count(BOOTED) <= before:
                return False
            try:
                state = camera_state(name)
            except (OSError, ValueError):
                return False  # the state file is being rewritten
            listening = state.get("http_listening") or "no-http" in faults[name]
            if state.get("power") != "on" or not state.get("live", {}).get("address") or not listening:
                return False
        return True

    def confirm_and_rescan(self, frame):
        """Answers Yes to leave the network page; once every camera is back from the entry's power
        cycle, cancels the minute's countdown and presses Rescan, whose scan follows two seconds
        later, as an installer who need not wait does. JourneyTest and InstallerRunTest wait out
        the real minute."""
        from dogtail import tree
        app = tree.root.application("velnor-config-tool")
        boots = self.boots()
        self.answer(frame, "Yes")
        cancel = wait_for(lambda: app.findChild(lambda n: n.roleName == "push button" and n.name == "Cancel"
                                                and n.showing and n.sensitive, retry=False, requireResult=False),
                          what="the countdown's Cancel")
        wait_for(lambda: self.back_from_the_power_cycle(boots), timeout=BACK_FROM_POWER_CYCLE_S,
                 what="every camera back from the power cycle")
        self.click(cancel)
        # The countdown's modal run has returned once the entry traces its broadcast address.
        wait_for(lambda: "cancel scan!" in self.trace_text() and "broadcast_addr=" in self.trace_text(),
                 what="the countdown cancelled")
        rescan = frame.child(name="Rescan", roleName="push button")
        for _ in range(5):
            self.click(rescan)
            try:
                return wait_for(lambda: "rescan clicked" in self.trace_text(), timeout=5, what="the Rescan")
            except AssertionError:
                continue  # the press reached the window before the cancelled dialog had let go
        raise AssertionError("the Rescan was never taken")

    def answer(self, frame_or_app, button_name):
        from dogtail import tree
        app = tree.root.application("velnor-config-tool")
        button = app.child(name=button_name, roleName="push button", showingOnly=True)
        self.click(button)

    def showing_label(self, frame, text):
        return frame.findChild(lambda n: n.roleName == "label" and n.name == text and n.showing,
                               retry=False, requireResult=False)
