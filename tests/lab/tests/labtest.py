"""What the lab's tests share: driving the `lab` command, polling with a deadline,
and a lab that is taken down again whatever happens in the test.

The lab instance is settled on import: the one VELNOR_LAB_INSTANCE names, else the
first free one, which this process then holds to its end and names in its own
environment, so that every `lab` command and program it starts works in that lab.
LAB_DIR and NS_PREFIX are that instance's."""
import json
import os
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
LAB = os.path.join(os.path.dirname(HERE), "lab")
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "tools"))
import lab_instance  # noqa: E402
from lab_lock import LabLock, reserve  # noqa: E402

LOCK_WAIT_S = 180.0
PY = "/usr/bin/python3"
DEADLINE_S = 30.0
POLL_S = 0.2

# Taken here when no instance was given, and held until the process ends.
_reserved = None if lab_instance.given() else reserve(LOCK_WAIT_S, f"test {' '.join(sys.argv)}"[:150])
if _reserved is not None:
    os.environ[lab_instance.ENV] = _reserved.instance
LAB_DIR = lab_instance.lab_dir()
NS_PREFIX = lab_instance.namespace_prefix()

_module_lock = None


def hold_lab_for_module(module):
    """For setUpModule of a module with several lab classes: the lock is held from the
    first class to the last, so no other run takes the instance's lab in between."""
    global _module_lock
    if _reserved is not None:
        _module_lock = _reserved
        return
    lock = LabLock(LOCK_WAIT_S, f"test {module}")
    lock.acquire()
    _module_lock = lock

    def release():
        global _module_lock
        _module_lock = None
        lock.release()
    unittest.addModuleCleanup(release)


def hold_lab(testcase):
    """Takes the instance's lab for a test class: waits for the lock (unless this process
    reserved the instance or its module holds it already), clears what a crashed run left,
    and takes the lab down and releases the lock at the end."""
    if _module_lock is None and _reserved is None:
        lock = LabLock(LOCK_WAIT_S, f"test {testcase.__module__}.{testcase.__qualname__}")
        lock.acquire()
        testcase.addClassCleanup(lock.release)
    testcase.addClassCleanup(lab, "down", check=False)
    lab("down", check=False)


def lab(*args, stdin=None, check=True):
    """Runs `lab ARGS`; returns the completed process (text)."""
    proc = subprocess.run([LAB, *args], input=stdin, capture_output=True, text=True, timeout=120)
    if check and proc.returncode != 0:
        raise AssertionError(f"lab {' '.join(args)} exited {proc.returncode}:\n"
                             f"{proc.stdout}\n{proc.stderr}")
    return proc


def wait_for(what, condition, deadline_s=DEADLINE_S):
    """Polls condition() until it returns something true; fails naming what was awaited."""
    end = time.monotonic() + deadline_s
    last = None
    while time.monotonic() < end:
        last = condition()
        if last:
            return last
        time.sleep(POLL_S)
    raise AssertionError(f"timed out waiting for {what} (last: {last!r})")


def camera_state(name):
    with open(os.path.join(LAB_DIR, "cameras", name, "state.json"), encoding="utf-8") as f:
        return json.load(f)


def live_address(name):
    return camera_state(name)["live"]["address"]


def log_size(relative):
    """Where a log ends now: a test remembers it and reads only what came after."""
    try:
        return os.path.getsize(os.path.join(LAB_DIR, relative))
    except FileNotFoundError:
        return 0


def read_log(relative, since=0):
    """The log under the lab from byte `since` on (log_size() at the start of a test)."""
    try:
        with open(os.path.join(LAB_DIR, relative), "rb") as f:
            f.seek(since)
            return f.read().decode("utf-8", "replace")
    except FileNotFoundError:
        return ""


def state_folder():
    """The lab's folder that is /var/lib/velnor-config-tool for `lab run`."""
    return os.path.join(LAB_DIR, "var-lib-velnor-config-tool")


def installation_stamp():
    """The text of the completed installation's stamp the program wrote under `lab run`, or None."""
    try:
        with open(os.path.join(state_folder(), "completed"), encoding="utf-8") as f:
            return f.read()
    except FileNotFoundError:
        return None


def remove_installation_stamp():
    """As an administrator does to have the wizard start with the session again."""
    try:
        os.unlink(os.path.join(state_folder(), "completed"))
    except FileNotFoundError:
        pass


def camera_settings(name):
    """What a request may change on a camera: accounts, addressing, DNS."""
    state = camera_state(name)
    return {key: state[key] for key in ("initialized", "accounts", "mode", "static", "dns")}


def reset_camera(name):
    """Back to the camera's configured factory state; returns once it answers again."""
    old_pid = camera_state(name)["pid"]
    lab("camera", name, "reset")

    def ready():
        try:
            state = camera_state(name)
        except (OSError, ValueError):
            return False  # between the old state file and the new one
        return (state["pid"] != old_pid and state["power"] == "on" and state["http_listening"]
                and state["live"]["address"])
    wait_for(f"camera {name} back after a reset", ready)


def curl(url, user=None, password=None, *extra):
    """curl --digest from the recorder; credentials go in on stdin, never on a command line.
    Returns (exit status, HTTP code, body)."""
    marker = "\n@@code="
    args = ["run", "curl", "-s", "--digest", "-K", "-", "-w", marker + "%{http_code}", *extra, url]
    config = f'user = "{user}:{password}"\n' if user is not None else ""
    proc = lab(*args, stdin=config, check=False)
    body, _, code = proc.stdout.rpartition(marker)
    return proc.returncode, int(code or 0), body


def discover():
    """Replies to one discovery request sent from the recorder: [(sender, bytes)]."""
    proc = lab("exec", "nvr", PY, os.path.join(HERE, "discovery_probe.py"))
    return [(r["sender"], bytes.fromhex(r["data"])) for r in json.loads(proc.stdout)]


class RecorderListener:
    """A TCP listener on every address of the recorder's network namespace for the test's life:
    what must never be reached (a proxy, a redirect's target) shows here if it is."""

    def __init__(self, testcase, port):
        self.port = port
        folder = tempfile.mkdtemp(prefix="velnor-listener-")
        testcase.addCleanup(lambda: subprocess.run(["rm", "-rf", folder], check=False))
        self.path = os.path.join(folder, "connections")
        process = subprocess.Popen([LAB, "exec", "nvr", PY, os.path.join(HERE, "connection_counter.py"),
                                    str(port), self.path])
        testcase.addCleanup(process.wait, timeout=30)
        testcase.addCleanup(process.terminate)
        wait_for(f"the listener on port {port}", lambda: os.path.exists(self.path))

    def connections(self):
        with open(self.path, encoding="utf-8") as f:
            return f.read().splitlines()


class LabTestCase(unittest.TestCase):
    """Brings up one lab for the class from CAMERAS (a list of camera objects) or COUNT."""

    CAMERAS = None
    COUNT = 3

    @classmethod
    def setUpClass(cls):
        hold_lab(cls)
        if cls.CAMERAS is not None:
            with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as f:
                json.dump(cls.CAMERAS, f)
            cls.addClassCleanup(os.unlink, f.name)
            lab("up", "--config", f.name)
        else:
            lab("up", str(cls.COUNT))
