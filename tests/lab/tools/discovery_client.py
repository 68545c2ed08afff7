"""The recorder's side of camera discovery, for the lab's status and its tests:
one 334-byte request broadcast to port 7701, replies collected on port 7711."""
import select
import socket
import time

REQUEST_PORT = 7701
REPLY_PORT = 7711
PACKET_SIZE = 334
REQUEST_CODE = 6
REQUEST_ID = b"02-56-4C-AA-66-07\0"
CAMERA_BROADCAST = "192.168.1.255"


def request_bytes():
    packet = bytearray(PACKET_SIZE)
    packet[0] = REQUEST_CODE
    packet[1:1 + len(REQUEST_ID)] = REQUEST_ID
    return bytes(packet)


def _c_text(data, start):
    end = data.find(b"\0", start)
    return data[start:end if end >= 0 else len(data)]


def decode(reply):
    """The fields the recorder reads, as raw bytes and a mode word."""
    return {
        "size": len(reply),
        "mac": _c_text(reply, 19),
        "address": _c_text(reply, 37),
        "model": _c_text(reply, 109),
        "mode": ("Static" if reply[132] == 0 else "DHCP") if len(reply) > 132 else "?",
    }


def discover(broadcast=CAMERA_BROADCAST, quiet_s=1.5, deadline_s=10.0):
    """Sends one request; returns [(sender, datagram)] until quiet_s passes without one."""
    replies = []
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as rx, \
            socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as tx:
        rx.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        rx.bind(("0.0.0.0", REPLY_PORT))
        tx.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
        tx.sendto(request_bytes(), (broadcast, REQUEST_PORT))
        end = time.monotonic() + deadline_s
        while time.monotonic() < end:
            ready, _, _ = select.select([rx], [], [], quiet_s)
            if not ready:
                break
            data, sender = rx.recvfrom(2048)
            replies.append((sender[0], data))
    return replies
