#!/usr/bin/python3
"""A stranger in the recorder's network: listens on TCP PORT on every address and writes one
line to FILE for each connection it accepts, closing it at once. The file is created once the
socket listens, so an empty file means that nothing came."""
import socket
import sys

port, path = int(sys.argv[1]), sys.argv[2]
server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("0.0.0.0", port))
server.listen(8)
with open(path, "a", encoding="utf-8") as log:
    while True:
        client, peer = server.accept()
        log.write(f"connection from {peer[0]}\n")
        log.flush()
        client.close()
