"""Which cameras a lab holds: the standard set, or a set described in a JSON file.

The standard set is chosen to show each state a camera arrives in: factory-new,
factory-default credentials, a password of its own, and a static address.
"""
import ipaddress
import json
import re

MAC_FORMAT = re.compile(r"^[0-9A-Fa-f]{2}(:[0-9A-Fa-f]{2}){5}$")

FACTORY_USER = "admin"
FACTORY_PASSWORD = "7395"
# The switch's PoE ports are 0..15; a camera on a port above them hangs on a plain port of the
# camera bridge (as behind a second switch): always powered, the PoE requests do not reach it.
POE_PORTS = 16
MAX_PORTS = 256
# The recorder's address on the camera network; its prefix may be shorter than /24 for a lab of
# more cameras than a /24 holds.
RECORDER_ADDRESS = "192.168.1.1"
DEFAULT_PREFIX = 24
PREFIXES = range(16, 25)

STANDARD = [
    {"role": "factory-new", "model": "LAB-IPC-2100", "accounts": [], "mode": "DHCP"},
    {"role": "default-credentials", "model": "LAB-IPC-3200",
     "accounts": [{"user": FACTORY_USER, "password": FACTORY_PASSWORD}], "mode": "DHCP"},
    {"role": "own-password", "model": "LAB-DOME-5100", "firmware": "3.0.1",
     "accounts": [{"user": "admin", "password": "Lab-Own-2468"},
                  {"user": "operator", "password": "Lab-Op-1357"}], "mode": "DHCP"},
    {"role": "static", "model": "LAB-PTZ-8000", "firmware": "1.9.7",
     "accounts": [{"user": FACTORY_USER, "password": FACTORY_PASSWORD}],
     "mode": "Manual", "address": "192.168.1.64", "prefix": 24, "gateway": "192.168.1.1",
     "dns": "192.168.1.1"},
]
EXTRA = {"role": "default-credentials", "model": "LAB-IPC-3200",
         "accounts": [{"user": FACTORY_USER, "password": FACTORY_PASSWORD}], "mode": "DHCP"}


def mac_for(port):
    number = port + 1  # locally administered, one per port
    return f"02:56:4C:00:{number >> 8:02X}:{number & 0xFF:02X}"


def standard(count):
    return [dict(STANDARD[i] if i < len(STANDARD) else EXTRA) for i in range(count)]


def from_file(path):
    """The cameras of a file: a JSON list of cameras, or an object with that list under
    "cameras" and the camera network's prefix length under "prefix"."""
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    cameras = data.get("cameras") if isinstance(data, dict) else data
    if not isinstance(cameras, list):
        raise ValueError(f"{path}: expected a JSON list of cameras, or an object with one under \"cameras\"")
    return cameras


def network_from_file(path):
    """The camera network of a file: "ADDRESS/PREFIX BROADCAST NETWORK NETMASK" of the recorder."""
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    return network(data.get("prefix", DEFAULT_PREFIX) if isinstance(data, dict) else DEFAULT_PREFIX)


def network(prefix):
    if not isinstance(prefix, int) or prefix not in PREFIXES:
        raise ValueError(f"camera network prefix {prefix!r}: {PREFIXES.start}..{PREFIXES.stop - 1}")
    net = ipaddress.IPv4Interface(f"{RECORDER_ADDRESS}/{prefix}").network
    return f"{RECORDER_ADDRESS}/{prefix} {net.broadcast_address} {net.network_address} {net.netmask}"


def complete(cameras):
    """Fills in name, port and MAC; checks what the lab cannot work with."""
    if not 1 <= len(cameras) <= MAX_PORTS:
        raise ValueError(f"between 1 and {MAX_PORTS} cameras, not {len(cameras)}")
    result, ports, names = [], set(), set()
    for i, cam in enumerate(cameras):
        cam = dict(cam)
        cam.setdefault("port", i)
        cam.setdefault("name", f"cam{cam['port']}")
        cam.setdefault("mac", mac_for(cam["port"]))
        if not MAC_FORMAT.match(cam["mac"]) or int(cam["mac"][:2], 16) & 1:
            raise ValueError(f"camera {cam['name']}: {cam['mac']!r} is not a unicast MAC like 02:56:4C:00:00:01")
        if not 0 <= cam["port"] < MAX_PORTS or cam["port"] in ports:
            raise ValueError(f"camera {cam['name']}: port {cam['port']} invalid or taken")
        if not cam["name"].replace("-", "").isalnum() or cam["name"] in names or len(cam["name"]) > 9:
            raise ValueError(f"camera name {cam['name']!r}: letters, digits, '-', at most 9, unique")
        ports.add(cam["port"])
        names.add(cam["name"])
        result.append(cam)
    return result
