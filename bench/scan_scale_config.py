"""The lab of the scan at scale: N cameras on a /23 camera network, each at a static address."""
import ipaddress

PREFIX = 23
# Below the recorder's 192.168.1.1 and its DHCP pool (192.168.1.100 to .200).
FIRST_ADDRESS = ipaddress.IPv4Address("192.168.0.10")
GATEWAY = "192.168.1.1"
POE_PORTS = 16
MODELS = ("LAB-IPC-2100", "LAB-IPC-3200", "LAB-DOME-5100", "LAB-PTZ-8000")
FACTORY = [{"user": "admin", "password": "7395"}]


def lab_config(size):
    """The cameras file of a lab of the given size: three in four with the factory login, one in
    four factory-new (it answers 401 to the login), every one at a static address."""
    cameras = []
    for index in range(size):
        cameras.append({"name": f"s{index + 1}", "model": MODELS[index % len(MODELS)],
                        "accounts": [] if index % 4 == 3 else FACTORY, "mode": "Manual",
                        "address": str(FIRST_ADDRESS + index), "prefix": PREFIX, "gateway": GATEWAY})
    return {"prefix": PREFIX, "cameras": cameras}
