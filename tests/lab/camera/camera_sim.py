#!/usr/bin/python3
"""A simulated network camera, one process per camera.

  camera_sim.py run DIR                  run the camera described by DIR/config.json
  camera_sim.py check-password DIR USER  exit 0 when the password on stdin is USER's

Run inside the camera's network namespace (the lab does that). DIR receives
state.json, requests.log, discovery.log, events.log and udhcpc.log.
"""
import json
import os
import signal
import socket
import sys
import threading
import time

from camsim import config as camconfig
from camsim import digest, discovery, http_api, netif, power, state as camstate


CONFIG_POLL_S = 0.2


class LineLog:
    """Appends whole lines with a time stamp; shared by the camera's threads."""

    def __init__(self, path):
        self._file = open(path, "a", encoding="utf-8", buffering=1)
        self._lock = threading.Lock()

    def __call__(self, line):
        with self._lock:
            self._file.write(f"{time.strftime('%H:%M:%S')} {line}\n")


class Camera:
    def __init__(self, directory):
        self.directory = directory
        self.config = camconfig.CameraConfig(os.path.join(directory, "config.json"))
        self.state = camstate.CameraState(self.config, os.path.join(directory, "state.json"))
        self.log = LineLog(os.path.join(directory, "events.log"))
        self.request_log = LineLog(os.path.join(directory, "requests.log"))
        self.guard = digest.DigestGuard(self.state.realm)
        dhcp = netif.DhcpClient(self.config.get("name"), os.path.join(directory, "udhcpc.log"))
        self.power = power.PowerController(self.state, self.config, self.guard, dhcp, self.log)
        self.api = http_api.CameraApi(self.state, self.config, self.power)
        self.control_path = self.config.get("control_socket")

    def run(self):
        self.log(f"camera {self.config.get('name')} {self.state.mac} starting, pid {os.getpid()}")
        self.power.start()
        discovery.DiscoveryResponder(self.state, self.config, self.power, netif.IFACE, self.log,
                                     LineLog(os.path.join(self.directory, "discovery.log"))).start()
        threading.Thread(target=self._keep_http_as_configured, name="http-switch",
                         daemon=True).start()
        self._serve_control()

    def _keep_http_as_configured(self):
        """Port 80 listens unless the no-http fault is on; switching it takes effect at once."""
        server = None
        while True:
            wanted = not self.config.fault("no-http")
            if wanted and server is None:
                server = http_api.CameraHttpServer(self)
                server.start()
                self.state.set_http_listening(True)
                self.log("http: listening on port 80")
            elif not wanted and server is not None:
                server.shutdown()
                server.server_close()
                server = None
                self.state.set_http_listening(False)
                self.log("http: closed (fault mode no-http)")
            time.sleep(CONFIG_POLL_S)

    def _serve_control(self):
        """The PoE port: datagrams "on" and "off" from the switch driver stand-in."""
        if self.control_path:
            try:
                os.unlink(self.control_path)
            except FileNotFoundError:
                pass
            sock = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
            sock.bind(self.control_path)
        else:
            sock = None
        while True:
            if sock is None:
                signal.pause()
                continue
            message = sock.recv(64).strip()
            if message in (b"on", b"off"):
                self.power.power(message == b"on")
            else:
                self.log(f"control: unknown request {message!r}")

    def shutdown(self):
        self.power.stop()
        if self.control_path:
            try:
                os.unlink(self.control_path)
            except OSError:
                pass


def check_password(directory, user):
    """Compares without ever printing: the state keeps only the digest secret (HA1)."""
    try:
        with open(os.path.join(directory, "state.json"), encoding="utf-8") as f:
            saved = json.load(f)
    except (OSError, ValueError) as exc:
        sys.stderr.write(f"no camera state in {directory}: {exc}\n")
        return 2
    password = sys.stdin.readline().rstrip("\n")
    for account in saved["accounts"]:
        if account["user"] == user:
            return 0 if account["ha1"] == digest.ha1_of(user, saved["realm"], password) else 1
    return 1


def main(argv):
    if len(argv) == 3 and argv[1] == "run":
        camera = Camera(argv[2])

        def stop(signum, frame):
            camera.shutdown()
            os._exit(0)

        signal.signal(signal.SIGTERM, stop)
        signal.signal(signal.SIGINT, stop)
        camera.run()
        return 0
    if len(argv) == 4 and argv[1] == "check-password":
        return check_password(argv[2], argv[3])
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
