#!/usr/bin/python3
"""A recorder's discovery request in a few lines, independent of the lab's own tools:
prints the replies to one 334-byte request as JSON [{"sender", "data" (hex)}]."""
import json
import select
import socket

request = bytearray(334)
request[0] = 6
request[1:19] = b"02-56-4C-AA-66-07\0"
rx = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
rx.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
rx.bind(("0.0.0.0", 7711))
tx = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
tx.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
tx.sendto(bytes(request), ("192.168.1.255", 7701))
replies = []
while select.select([rx], [], [], 1.5)[0]:  # until the cameras have been quiet for a while
    data, sender = rx.recvfrom(2048)
    replies.append({"sender": sender[0], "data": data.hex()})
print(json.dumps(replies))
