"""The lab end to end without the program: the real dhcpd behind the init script
stand-in, leases from its pool, PoE power through the preload library, and a
`lab down` that leaves nothing behind."""
import hashlib
import json
import os
import subprocess
import tempfile
import unittest

from labtest import LAB, LAB_DIR, NS_PREFIX, LabTestCase, hold_lab, hold_lab_for_module, camera_state, curl, \
    discover, lab, live_address, log_size, read_log, state_folder, wait_for, LOCK_WAIT_S, PY, HERE
import lab_instance
import roster
from lab_lock import reserve

# The file as the wizard writes it, with a pool other than the lab's first one, so
# that a lease from it proves the restarted dhcpd serves this file.
WIZARD_CONF = """class "limited-1" {
  lease limit 16;
}
INTERFACESv4="eth1";
default-lease-time 172800;
max-lease-time 172800;
subnet 192.168.1.0 netmask 255.255.255.0 {
  range 192.168.1.150 192.168.1.180;
  option subnet-mask 255.255.255.0;
  option domain-name-servers 8.8.8.8, 8.8.4.4;
}
"""
POOL = range(150, 181)
CAMERA = "cam1"
PORT = "1"
EVENTS = f"cameras/{CAMERA}/events.log"
STATUS_CHECK = "/init-cgi/pw_init.cgi?msubmenu=statuscheck&action=view"


def setUpModule():
    hold_lab_for_module(__name__)


def in_pool(address):
    parts = address.split(".")
    return address.startswith("192.168.1.") and int(parts[3]) in POOL


def write_dhcp_conf(text):
    with open(os.path.join(LAB_DIR, "etc-dhcp", "dhcpd.conf"), "w", encoding="utf-8") as f:
        f.write(text)


def service(command):
    """The program's own command line, through a shell, as the recorder's program."""
    return lab("run", "sh", "-c", command, check=False)


def lab_pids():
    out = subprocess.run(["ip", "netns", "list"], capture_output=True, text=True).stdout
    names = [line.split()[0] for line in out.splitlines() if line.startswith(NS_PREFIX)]
    pids = []
    for ns in names:
        pids += subprocess.run(["ip", "netns", "pids", ns], capture_output=True,
                               text=True).stdout.split()
    return names, pids


def process_identity(pid):
    """(pid, start time) of a live process: a pid alone may be taken by a new process
    once the old one is gone. A zombie has ended (some containers' init never reaps)."""
    try:
        with open(f"/proc/{pid}/stat", encoding="ascii") as f:
            fields = f.read().rsplit(")", 1)[1].split()
    except OSError:
        return None
    return None if fields[0] == "Z" else (pid, fields[19])


def still_running(identities):
    return [i for i in identities if i is not None and process_identity(i[0]) == i]


def host_file_digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


class LabEndToEndTest(LabTestCase):
    """Each test stands alone: any order, and logs are read from where the test began."""
    COUNT = 3

    def test_run_sees_the_stand_ins_and_passes_status_and_environment(self):
        out = lab("run", "sh", "-c", 'echo "$LAB_PROBE"; command -v systemctl; ip -4 -o addr show eth1;'
                  ' cat /etc/dhcp/dhcpd.conf | head -1; exit 7', check=False)
        self.assertEqual(out.returncode, 7)
        lines = out.stdout.splitlines()
        self.assertEqual(lines[1], f"{LAB_DIR}/bin/systemctl")
        self.assertIn("192.168.1.1/24 brd 192.168.1.255", lines[2])
        self.assertEqual(lines[3], 'class "limited-1" {')
        env = dict(os.environ, LAB_PROBE="kept")
        kept = subprocess.run([LAB, "run", "sh", "-c", 'printf %s "$LAB_PROBE"'], env=env,
                              capture_output=True, text=True)
        self.assertEqual(kept.stdout, "kept")

    def test_run_keeps_the_programs_state_in_the_lab_and_the_hosts_var_lib_untouched(self):
        probe = f"velnor-lab-probe-{os.getpid()}"
        out = lab("run", "sh", "-c", f"echo stamp > /var/lib/velnor-config-tool/{probe}"
                  f" && echo elsewhere > /var/lib/{probe} && cat /var/lib/{probe}", check=False)
        self.addCleanup(lambda: os.path.exists(os.path.join(state_folder(), probe))
                        and os.unlink(os.path.join(state_folder(), probe)))
        self.assertEqual((out.returncode, out.stdout), (0, "elsewhere\n"), out.stderr)
        with open(os.path.join(state_folder(), probe), encoding="utf-8") as f:
            self.assertEqual(f.read(), "stamp\n")
        self.assertFalse(os.path.exists(f"/var/lib/{probe}"))
        self.assertFalse(os.path.exists(f"/var/lib/velnor-config-tool/{probe}"))
        # What one run wrote elsewhere in /var/lib is gone for the next.
        again = lab("run", "sh", "-c", f"test -e /var/lib/{probe}", check=False)
        self.assertEqual(again.returncode, 1)

    def test_service_commands_have_real_exit_statuses(self):
        since = log_size("systemctl.log")
        write_dhcp_conf(WIZARD_CONF.replace("192.168.1.180", "192.168.2.180"))
        bad = service("/etc/init.d/isc-dhcp-server restart")
        self.assertNotEqual(bad.returncode, 0, "dhcpd refuses a range outside the subnet")
        self.assertEqual(service("/etc/init.d/isc-dhcp-server status").returncode, 3)

        write_dhcp_conf(WIZARD_CONF)
        self.assertEqual(service("/etc/init.d/isc-dhcp-server restart").returncode, 0)
        self.assertEqual(service("/etc/init.d/isc-dhcp-server status").returncode, 0)
        self.assertEqual(service("systemctl enable isc-dhcp-server.service").returncode, 0)
        self.assertEqual(service("systemctl is-enabled isc-dhcp-server.service").stdout, "enabled\n")
        self.assertNotEqual(service("systemctl enable nothing.service").returncode, 0)
        self.assertIn("enable isc-dhcp-server.service", read_log("systemctl.log", since))

    def test_power_cycle_through_the_poe_library(self):
        poe_since, events_since = log_size("poe.log"), log_size(EVENTS)
        write_dhcp_conf(WIZARD_CONF)
        self.assertEqual(service("/etc/init.d/isc-dhcp-server restart").returncode, 0)
        mac = camera_state(CAMERA)["mac"]
        self.assertFalse(in_pool(live_address(CAMERA)), "the lease must come from the lab's first pool")

        lab("poe", PORT, "off")
        wait_for("the camera to power off", lambda: "power: off" in read_log(EVENTS, events_since))
        wait_for("the camera to lose its address", lambda: live_address(CAMERA) == "")
        self.assertEqual(camera_state(CAMERA)["power"], "off")
        self.assertNotIn(mac.encode(), [d[19:36] for _, d in discover()], "an unpowered camera is silent")
        self.assertIn(f"port={PORT} state=0 ret=0", read_log("poe.log", poe_since))

        lab("poe", PORT, "on")
        wait_for("the camera to boot", lambda: "power: on after boot" in read_log(EVENTS, events_since))
        # The old lease lies outside the new pool: the camera must have asked the new dhcpd.
        address = wait_for("a lease from the new pool", lambda: in_pool(live_address(CAMERA))
                           and live_address(CAMERA))
        self.assertIn(f"port={PORT} state=1 ret=0", read_log("poe.log", poe_since))
        self.assertIn(mac.encode(), [d[19:36] for _, d in discover()])
        self.assertEqual(wait_for("HTTP after the boot", lambda: curl(f"http://{address}{STATUS_CHECK}")[1]),
                         200)
        self.assertIn(mac.lower(), read_log("dhcpd/dhcpd.leases").lower())

    def test_poe_requests_are_answered_as_the_driver_would(self):
        since = log_size("poe.log")
        # ctypes, not fcntl.ioctl: the latter cuts the request number to 32 bits itself.
        script = """
import ctypes, errno, os, struct
libc = ctypes.CDLL(None, use_errno=True)
libc.ioctl.argtypes = [ctypes.c_int, ctypes.c_ulong, ctypes.c_char_p]
SET_PORT = 0xC0080100
def ioctl(fd, request, port, state):
    if libc.ioctl(fd, request, struct.pack("ii", port, state)) == 0:
        return "0"
    return errno.errorcode[ctypes.get_errno()]
fd = os.open("/dev/poe", os.O_RDWR)
cases = [  # (request, port, state)
    (SET_PORT, 15, 1),
    (SET_PORT | 0xFFFFFFFF00000000, 14, 1),  # held in a signed int, passed sign-extended
    (SET_PORT, 16, 1), (SET_PORT, -1, 1), (SET_PORT, 3, 2),
    (SET_PORT + 1, 3, 1),
]
for request, port, state in cases:
    print(ioctl(fd, request, port, state))
os.close(fd)
with open("/dev/null", "rb") as other:  # not the device: the kernel's answer, no log line
    print(ioctl(other.fileno(), SET_PORT, 13, 1))
"""
        out = lab("run", "/usr/bin/python3", "-c", script).stdout.split()
        self.assertEqual(out, ["0", "0", "EINVAL", "EINVAL", "EINVAL", "ENOTTY", "ENOTTY"])
        log = read_log("poe.log", since)
        for line in ("port=15 state=1 ret=0", "port=14 state=1 ret=0", "port=16 state=1 ret=-1",
                     "request=0xc0080101 unknown ret=-1", "open /dev/poe", "close fd="):
            self.assertIn(line, log)
        self.assertNotIn("port=13", log)


class LabDownTest(LabTestCase):
    """Taking the lab down is a test of its own: it ends the class's lab."""
    COUNT = 2

    def test_down_leaves_nothing_behind(self):
        host_conf = host_file_digest("/etc/dhcp/dhcpd.conf")
        processes = [process_identity(p) for p in lab_pids()[1]]
        self.assertTrue(processes)
        lab("down")
        names = lab_pids()[0]
        self.assertEqual(names, [])
        self.assertEqual(still_running(processes), [])
        with open("/proc/self/mountinfo", encoding="utf-8") as f:
            mounts = f.read()
        self.assertNotIn(NS_PREFIX, mounts)
        self.assertNotIn(LAB_DIR, mounts)
        self.assertFalse(os.path.exists(LAB_DIR))
        self.assertEqual(host_file_digest("/etc/dhcp/dhcpd.conf"), host_conf)


class LabCrashRecoveryTest(unittest.TestCase):
    """A lab whose state folder is gone (a crash, a reboot of /run) still comes down."""

    @classmethod
    def setUpClass(cls):
        hold_lab(cls)

    def test_down_after_the_lab_folder_was_lost(self):
        lab("up", "1")
        processes = [process_identity(p) for p in lab_pids()[1]]
        subprocess.run(["rm", "-rf", LAB_DIR], check=True)
        lab("down")
        self.assertEqual(lab_pids()[0], [])
        self.assertEqual(still_running(processes), [])


class TwoInstancesTest(LabTestCase):
    """A second lab up beside this one: its own namespaces, bridge, folder and stand-ins,
    so neither hears the other's broadcasts nor powers the other's cameras."""
    COUNT = 2
    # The other lab's cameras have MACs of their own and the longest name a camera may have.
    OTHER = [{"name": "neighbour", "port": 1, "mac": "02:56:4C:00:01:02",
              "accounts": [{"user": "admin", "password": "7395"}]}]

    def setUp(self):
        other = reserve(LOCK_WAIT_S, f"test {type(self).__qualname__}")
        self.addCleanup(other.release)
        self.env = dict(os.environ, **{lab_instance.ENV: other.instance})
        self.other_dir = lab_instance.lab_dir(other.instance)
        self.other_prefix = lab_instance.namespace_prefix(other.instance)
        with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as f:
            json.dump(self.OTHER, f)
        self.addCleanup(os.unlink, f.name)
        self.addCleanup(self.other_lab, "down")
        self.other_lab("down")
        self.assertEqual(self.other_lab("up", "--config", f.name).returncode, 0)

    def other_lab(self, *args):
        return subprocess.run([LAB, *args], env=self.env, capture_output=True, text=True, timeout=120)

    def test_each_lab_sees_only_its_own_cameras(self):
        self.assertNotEqual(self.other_dir, LAB_DIR)
        self.assertNotEqual(self.other_prefix, NS_PREFIX)
        self.assertTrue(os.path.isfile(os.path.join(self.other_dir, "cameras", "neighbour", "state.json")))
        self.assertLessEqual(len(self.other_prefix + "neighbour"), 15)

        mine = sorted(d[19:36] for _, d in discover())
        self.assertEqual(mine, [camera_state(n)["mac"].encode() for n in ("cam0", "cam1")])
        theirs = self.other_lab("exec", "nvr", PY, os.path.join(HERE, "discovery_probe.py"))
        self.assertEqual([bytes.fromhex(r["data"])[19:36] for r in json.loads(theirs.stdout)],
                         [b"02:56:4C:00:01:02"])

        # Port 1 of the other lab: its camera goes dark, this lab's cam1 stays on.
        events = os.path.join(self.other_dir, "cameras", "neighbour", "events.log")
        self.assertEqual(self.other_lab("poe", "1", "off").returncode, 0)
        wait_for("the other lab's camera to power off",
                 lambda: "power: off" in open(events, encoding="utf-8").read())
        self.assertIn("port=1 state=0 ret=0", open(os.path.join(self.other_dir, "poe.log")).read())
        self.assertEqual(camera_state("cam1")["power"], "on")
        self.assertNotIn("port=1 state=0", read_log("poe.log"))

        self.assertEqual(self.other_lab("down").returncode, 0)
        self.assertFalse(any(n.startswith(self.other_prefix) for n in namespaces()))
        self.assertEqual(lab("status", check=False).returncode, 0, "this lab stays up")


class WideCameraNetworkTest(LabTestCase):
    """A lab of more cameras than the PoE ports and a /24 hold: the recorder on a /23, a camera
    on a plain bridge port above the sixteen PoE ports, each answering at its own address."""
    CAMERAS = {"prefix": 23, "cameras": [
        {"name": "onpoe", "port": 0, "mode": "Manual", "address": "192.168.0.20", "prefix": 23,
         "gateway": "192.168.1.1", "accounts": [{"user": "admin", "password": "7395"}]},
        {"name": "plain", "port": 255, "mode": "Manual", "address": "192.168.0.21", "prefix": 23,
         "gateway": "192.168.1.1", "accounts": [{"user": "admin", "password": "7395"}]}]}

    def test_both_answer_at_their_own_address_with_their_own_mac(self):
        eth1 = lab("exec", "nvr", "ip", "-4", "-o", "addr", "show", "eth1").stdout
        self.assertIn("192.168.1.1/23 brd 192.168.1.255", eth1)
        self.assertIn("subnet 192.168.0.0 netmask 255.255.254.0 {", read_log("etc-dhcp/dhcpd.conf"))
        self.assertIn("running", lab("status").stdout.splitlines()[-1], "dhcpd serves the /23")
        replies = sorted((d[19:36], d[37:49]) for _, d in discover())
        self.assertEqual(replies, [(b"02:56:4C:00:00:01", b"192.168.0.20"), (b"02:56:4C:00:01:00", b"192.168.0.21")])
        for name, address in (("onpoe", "192.168.0.20"), ("plain", "192.168.0.21")):
            _, code, body = curl(f"http://{address}/kvt-cgi/system.cgi?msubmenu=deviceinfo&action=view",
                                 "admin", "7395")
            self.assertEqual(code, 200, name)
            self.assertIn(f"MACAddress={camera_state(name)['mac']}", body)

        # The PoE ports end at 15: port 0 powers its camera off, the plain port's camera stays on.
        self.assertEqual(lab("poe", "0", "off").returncode, 0)
        wait_for("the PoE camera off", lambda: camera_state("onpoe")["power"] == "off")
        self.assertEqual(camera_state("plain")["power"], "on")

    def test_what_the_lab_refuses(self):
        for prefix in (15, 25, "23"):
            with self.assertRaises(ValueError, msg=prefix):
                roster.network(prefix)
        for cameras in ([{} for _ in range(roster.MAX_PORTS + 1)], [{"port": roster.MAX_PORTS}], []):
            with self.assertRaises(ValueError, msg=len(cameras)):
                roster.complete(cameras)
        self.assertEqual([c["mac"] for c in roster.complete([{"port": 0}, {"port": 254}, {"port": 255}])],
                         ["02:56:4C:00:00:01", "02:56:4C:00:00:FF", "02:56:4C:00:01:00"])


def namespaces():
    out = subprocess.run(["ip", "netns", "list"], capture_output=True, text=True).stdout
    return [line.split()[0] for line in out.splitlines()]


if __name__ == "__main__":
    unittest.main()
