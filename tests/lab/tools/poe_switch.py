#!/usr/bin/python3
"""poe_switch.py PORT STATE: one port-control request on /dev/poe, as the recorder's
program makes it. Run it under the lab (`lab poe` does) so the driver stand-in answers."""
import fcntl
import os
import struct
import sys

POE_DEVICE = "/dev/poe"
POE_REQUEST_SET_PORT = 0xC0080100


def main(argv):
    if len(argv) != 3 or argv[2] not in ("0", "1"):
        sys.stderr.write(__doc__)
        return 2
    fd = os.open(POE_DEVICE, os.O_RDWR)
    try:
        fcntl.ioctl(fd, POE_REQUEST_SET_PORT, struct.pack("ii", int(argv[1]), int(argv[2])))
    finally:
        os.close(fd)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
