"""Which cameras a lab holds: the standard set, or a set described in a JSON file.

The standard set is chosen to show each state a camera arrives in: factory-new,
factory-default credentials, a password of its own, and a static address.
"""
import json
import re

MAC_FORMAT = re.compile(r"^[0-9A-Fa-f]{2}(:[0-9A-Fa-f]{2}){5}$")

FACTORY_USER = "admin"
FACTORY_PASSWORD = "7395"
MAX_PORTS = 16

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
    return f"02:56:4C:00:00:{port + 1:02X}"  # locally administered, one per port


def standard(count):
    return [dict(STANDARD[i] if i < len(STANDARD) else EXTRA) for i in range(count)]


def from_file(path):
    with open(path, encoding="utf-8") as f:
        cameras = json.load(f)
    if not isinstance(cameras, list):
        raise ValueError(f"{path}: expected a JSON list of cameras")
    return cameras


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
