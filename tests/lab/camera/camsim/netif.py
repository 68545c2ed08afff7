"""The camera's one network interface, "eth0" in its own namespace.

Addresses are applied with iproute2 and read back from the kernel, so what the
camera reports is what it really has. Arguments go to the tools as argument
lists, never through a shell: values arrive from the network.
"""
import fcntl
import ipaddress
import os
import signal
import socket
import struct
import subprocess

IFACE = "eth0"
SIOCGIFADDR = 0x8915
SIOCGIFNETMASK = 0x891B
UDHCPC_SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "udhcpc-event.sh")


def _ioctl_addr(request):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        try:
            raw = fcntl.ioctl(s.fileno(), request, struct.pack("256s", IFACE.encode()))
        except OSError:
            return ""
    return socket.inet_ntoa(raw[20:24])


def _default_gateway():
    try:
        with open("/proc/net/route", encoding="ascii") as f:
            next(f)
            for line in f:
                fields = line.split()
                if fields[0] == IFACE and fields[1] == "00000000":
                    return socket.inet_ntoa(struct.pack("<I", int(fields[2], 16)))
    except (OSError, StopIteration, ValueError):
        pass
    return ""


def live_address():
    address = _ioctl_addr(SIOCGIFADDR)
    netmask = _ioctl_addr(SIOCGIFNETMASK) if address else ""
    prefix = ipaddress.IPv4Network(f"0.0.0.0/{netmask}").prefixlen if netmask else 0
    return {"address": address, "prefix": prefix, "netmask": netmask,
            "gateway": _default_gateway() if address else ""}


def _ip(*args):
    return subprocess.run(["ip", *args], stdin=subprocess.DEVNULL, capture_output=True,
                          text=True, check=False)


def link_up():
    _ip("link", "set", IFACE, "up")


def link_down():
    _ip("link", "set", IFACE, "down")


def flush():
    _ip("-4", "route", "flush", "dev", IFACE)
    _ip("-4", "addr", "flush", "dev", IFACE)


def apply_static(address, prefix, gateway):
    flush()
    _ip("addr", "add", f"{address}/{prefix}", "dev", IFACE)
    if gateway:
        _ip("route", "add", "default", "via", gateway, "dev", IFACE)


def mac_of_interface():
    try:
        with open(f"/sys/class/net/{IFACE}/address", encoding="ascii") as f:
            return f.read().strip()
    except OSError:
        return ""


class DhcpClient:
    """busybox udhcpc in the foreground, owned by the camera: started when the camera
    wants its address from DHCP, killed without a release when the power goes."""

    def __init__(self, hostname, log_path):
        self.hostname = hostname
        self.log_path = log_path
        self._proc = None

    def start(self):
        self.stop()
        log = open(self.log_path, "ab")
        try:
            self._proc = subprocess.Popen(
                ["busybox", "udhcpc", "-f", "-i", IFACE, "-s", UDHCPC_SCRIPT,
                 "-T", "1", "-t", "3", "-A", "2", "-x", f"hostname:{self.hostname}"],
                stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        finally:
            log.close()

    def stop(self):
        if self._proc is None:
            return
        if self._proc.poll() is None:
            self._proc.send_signal(signal.SIGKILL)
        self._proc.wait()
        self._proc = None
