"""The scan: the wizard's own Rescan, timed by its trace lines as they arrive on the pipe, against
its floor: the discovery's fixed waits plus the same HTTP requests to the same cameras made by curl."""
import os
import signal
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "../tests/lab/tests"))
from labtest import camera_state, lab, log_size, read_log, wait_for as lab_wait_for  # noqa: E402

TITLE = "Velnor Configuration Tool"
POOL = ("192.168.1.100", "192.168.1.200")
STATUS_PATH = "/init-cgi/pw_init.cgi?msubmenu=statuscheck&action=view"
DEVICE_INFO_PATH = "/kvt-cgi/system.cgi?msubmenu=deviceinfo&action=view"
# The factory login that the scan tries on every camera.
FACTORY_LOGIN = 'user = "admin:7395"\n'
# The scan's own waits: the pause after the broadcast and the silence that ends it.
FIXED_WAITS_S = 1.0 + 4.0
STEP_TIMEOUT_S = 60.0
CAMERAS_BACK_TIMEOUT_S = 90.0


def wait_for(what, condition, timeout=STEP_TIMEOUT_S):
    """The lab's own polling, with the benchmark's longer default."""
    return lab_wait_for(what, condition, deadline_s=timeout)


class TraceReader:
    """Reads the program's trace from its pipe in a thread, stamping each line on arrival;
    the lines go on to a file for a post-mortem, each after its stamp (the monotonic clock)."""

    def __init__(self, pipe, path):
        self.lines = []  # (monotonic time, line)
        self.lock = threading.Lock()
        self.copy = open(path, "w", encoding="utf-8")
        self.thread = threading.Thread(target=self.read, args=(pipe,), daemon=True)
        self.thread.start()

    def read(self, pipe):
        for raw in iter(pipe.readline, b""):
            now = time.monotonic()
            line = raw.decode("utf-8", "replace").rstrip("\n")
            with self.lock:
                self.lines.append((now, line))
            self.copy.write(f"{now:.3f} {line}\n")
        self.copy.close()

    def count(self):
        with self.lock:
            return len(self.lines)

    def find(self, prefix, start):
        """The first line from index start on that begins with prefix: (index, time, line)."""
        with self.lock:
            for index in range(start, len(self.lines)):
                when, line = self.lines[index]
                if line.startswith(prefix):
                    return index, when, line
        return None

    def wait(self, prefix, start, timeout=STEP_TIMEOUT_S):
        return wait_for(f"the trace line {prefix!r}", lambda: self.find(prefix, start), timeout)


def curl_seconds(addresses, path, login):
    """curl's own time for one request per camera, in turn, from the recorder; the login goes in
    on stdin. Returns the list of times (s) and the HTTP codes."""
    args = ["exec", "nvr", "curl", "-s", "--compressed", "-K", "-", "--max-time", "20",
            "-w", "%{time_total} %{http_code}\n"]
    if login:
        args.insert(3, "--digest")  # as the program: 401 first, then the digest retry
    for address in addresses:
        args += ["-o", "/dev/null", f"http://{address}{path}"]
    out = lab(*args, stdin=login, check=False).stdout.split()
    return [float(t) for t in out[0::2]], out[1::2]


def own_requests(cameras):
    """Per camera, curl's time for the scan's two requests to it, in turn (the status check, then
    the factory login), and the HTTP codes of them all."""
    addresses = [camera_state(name)["live"]["address"] for name in cameras]
    status, status_codes = curl_seconds(addresses, STATUS_PATH, "")
    login, login_codes = curl_seconds(addresses, DEVICE_INFO_PATH, FACTORY_LOGIN)
    return [a + b for a, b in zip(status, login)], status_codes + login_codes


def request_lines(cameras, sizes):
    """The exchanges the cameras logged since the given log sizes."""
    return sum(len(read_log(f"cameras/{name}/requests.log", sizes[name]).splitlines()) for name in cameras)


def request_log_sizes(cameras):
    return {name: log_size(f"cameras/{name}/requests.log") for name in cameras}


class ScanBench:
    def __init__(self, lab_command, wizard, workdir, cameras, on_poe=None):
        """on_poe: the cameras on the PoE ports, which the entry power-cycles (default: all)."""
        self.lab_command, self.wizard, self.workdir, self.cameras = lab_command, wizard, workdir, cameras
        self.on_poe = set(cameras if on_poe is None else on_poe)

    def start(self):
        self.process = subprocess.Popen([self.lab_command, "run", self.wizard], stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT)
        self.trace = TraceReader(self.process.stdout, os.path.join(self.workdir, "scan-wizard.out"))
        from dogtail import config
        config.config.searchCutoffCount = 60
        # Only the benchmark's own lines on standard output.
        config.config.logDebugToStdOut = False
        config.config.logDebugToFile = False
        from dogtail import tree
        self.app = tree.root.application("velnor-config-tool")
        self.frame = self.app.child(name=TITLE, roleName="frame")
        wait_for("the main window", lambda: self.frame.showing)

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        try:
            self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()

    def showing(self, role, name=None, within=None):
        node = within or self.frame
        return [n for n in node.findChildren(lambda n: n.roleName == role and n.showing)
                if name is None or n.name == name]

    def button(self, name, within=None):
        return wait_for(f"the button {name}", lambda: self.showing("push button", name, within))[0]

    def enter_camera_page(self):
        """Welcome and network pages with the DHCP server on (the cameras keep their pool), then
        the entry countdown is cancelled: the scans to time are Rescans."""
        self.button("Next").click()
        wait_for("the network page", lambda: [n for n in self.showing("label") if n.name == "192.168.1.1"])
        self.frame.findChild(lambda n: n.roleName in ("toggle button", "switch") and n.showing).click()
        start, end = sorted(self.showing("text"), key=lambda n: n.position[1])[:2]
        wait_for("the pool entries to be editable", lambda: start.sensitive)
        start.text, end.text = POOL
        events = {name: log_size(f"cameras/{name}/events.log") for name in self.cameras}
        self.button("Next").click()
        self.button("Yes", within=self.app).click()
        wait_for("the entry countdown", lambda: self.showing("label", "Scanning...", within=self.app))
        counted = self.trace.count()
        self.button("Cancel", within=self.app).click()
        self.trace.wait("cancel scan!", counted)
        wait_for("every camera back after the power cycle", lambda: self.cameras_back(events),
                 timeout=CAMERAS_BACK_TIMEOUT_S)

    def cameras_back(self, events):
        for name in self.cameras:
            if not camera_up(name):
                return False
            if name in self.on_poe and "power: on after boot" not in read_log(f"cameras/{name}/events.log",
                                                                             events[name]):
                return False
        return True

    def floor(self):
        """The fixed waits plus curl's time for the scan's two requests per camera."""
        addresses = [camera_state(name)["live"]["address"] for name in self.cameras]
        sizes = request_log_sizes(self.cameras)
        status, status_codes = curl_seconds(addresses, STATUS_PATH, "")
        login, login_codes = curl_seconds(addresses, DEVICE_INFO_PATH, FACTORY_LOGIN)
        return {"floor": FIXED_WAITS_S + sum(status) + sum(login), "http": sum(status) + sum(login),
                "answered": len(status) + len(login), "codes": status_codes + login_codes,
                "curl_exchanges": request_lines(self.cameras, sizes)}

    def rescan(self):
        """One Rescan: from the trace's netinfo: line to its cameras= line."""
        sizes = request_log_sizes(self.cameras)
        counted = self.trace.count()
        self.button("Rescan").click()
        began, began_at, _ = self.trace.wait("netinfo:", counted)
        ended, ended_at, line = self.trace.wait("cameras=", began)
        # The dialog closes once the scan has returned; the next Rescan needs it gone.
        self.trace.wait("broadcast_addr=", ended)
        return {"scan": ended_at - began_at, "replies": int(line.split("=", 1)[1]),
                "program_exchanges": request_lines(self.cameras, sizes)}


def camera_up(name):
    """Powered, with an address, listening on port 80."""
    try:
        state = camera_state(name)
    except (OSError, ValueError):
        return False  # between the old state file and the new one
    return bool(state["power"] == "on" and state.get("http_listening") and state["live"]["address"])


def run(lab_command, wizard, workdir, cameras, runs, bench=None):
    """Per run: the floor, then the program's scan; a list of dicts."""
    bench = bench or ScanBench(lab_command, wizard, workdir, cameras)
    bench.start()
    results = []
    try:
        bench.enter_camera_page()
        for _ in range(runs):
            result = bench.floor()
            result.update(bench.rescan())
            results.append(result)
    finally:
        bench.stop()
    return results
