"""The camera's HTTP configuration interface on TCP port 80.

"/init-cgi/" is the factory-state interface and needs no credentials.
"/kvt-cgi/" needs HTTP digest credentials of an existing account; a camera
without a password has no usable account, so it refuses every such request.
Answers are plain text, one key=value per line.
"""
import http.server
import ipaddress
import socketserver
import threading
import time
from urllib.parse import urlsplit

from . import query
from .state import ADMIN

HTTP_PORT = 80
PAD_CHUNK = 64 * 1024


class Answer:
    def __init__(self, status, body="", after=None):
        self.status = status
        self.body = body
        self.after = after  # runs once the answer has been sent


def ok_lines(**values):
    return "".join(f"{k}={v}\n" for k, v in values.items())


def error(status, reason):
    return Answer(status, f"Error={reason}\n")


class CameraApi:
    """Routes and answers; knows nothing of sockets."""

    def __init__(self, state, config, power):
        self.state = state
        self.config = config
        self.power = power
        self.routes = {
            ("/init-cgi/pw_init.cgi", "statuscheck", "view"): self.status_check,
            ("/init-cgi/pw_init.cgi", "setinitpassword", "set"): self.set_initial_password,
            ("/kvt-cgi/system.cgi", "deviceinfo", "view"): self.device_info,
            ("/kvt-cgi/network.cgi", "interface", "view"): self.interface_view,
            ("/kvt-cgi/network.cgi", "interface", "set"): self.interface_set,
            ("/kvt-cgi/network.cgi", "dns", "view"): self.dns_view,
            ("/kvt-cgi/network.cgi", "dns", "set"): self.dns_set,
            ("/kvt-cgi/security.cgi", "users", "view"): self.users_view,
            ("/kvt-cgi/security.cgi", "users", "update"): self.users_update,
        }

    def route(self, path, fields):
        return self.routes.get((path, fields.get("msubmenu"), fields.get("action")))

    # /init-cgi/ ---------------------------------------------------------------

    def status_check(self, fields, user):
        return Answer(200, ok_lines(Initialized="True" if self.state.initialized else "False"))

    def set_initial_password(self, fields, user):
        password = fields.get("Password", "")
        if not password:
            return error(400, "MissingPassword")
        if not self.state.set_initial_password(password):
            return error(403, "AlreadyInitialized")
        return Answer(200, "OK")

    # /kvt-cgi/ ----------------------------------------------------------------

    def device_info(self, fields, user):
        return Answer(200, ok_lines(
            Model=self.config.get("model"), SerialNumber="LAB" + self.state.mac.replace(":", ""),
            FirmwareVersion=self.config.get("firmware"), MACAddress=self.state.mac))

    def interface_view(self, fields, user):
        live = self.state.live
        if self.state.mode == "DHCP":
            address, prefix, mask, gateway = (live["address"], live["prefix"], live["netmask"],
                                              live["gateway"])
        else:
            s = self.state.static
            address, prefix, gateway = s["address"], s["prefix"], s["gateway"]
            mask = str(ipaddress.IPv4Network(f"0.0.0.0/{prefix}").netmask)
        return Answer(200, ok_lines(
            IPv4Type=self.state.mode, IPv4Address=address, IPv4PrefixLength=prefix,
            IPv4SubnetMask=mask, IPv4Gateway=gateway, MACAddress=self.state.mac))

    def interface_set(self, fields, user):
        kind = fields.get("IPv4Type")
        if kind == "DHCP":
            self.state.set_mode_dhcp()
            return Answer(200, "OK", after=self.power.readdress)
        if kind != "Manual":
            return error(400, "InvalidIPv4Type")
        address = fields.get("IPv4Address", "")
        gateway = fields.get("IPv4Gateway", "")
        prefix_text = fields.get("IPv4PrefixLength", "")
        if not query.is_ipv4(address) or (gateway and not query.is_ipv4(gateway)):
            return error(400, "InvalidAddress")
        if not prefix_text.isdigit() or not 1 <= int(prefix_text) <= 32:
            return error(400, "InvalidPrefixLength")
        self.state.set_mode_static(address, int(prefix_text), gateway)
        return Answer(200, "OK", after=self.power.readdress)

    def dns_view(self, fields, user):
        return Answer(200, ok_lines(PrimaryDNS=self.state.dns["primary"],
                                    SecondaryDNS=self.state.dns["secondary"]))

    def dns_set(self, fields, user):
        primary = fields.get("PrimaryDNS", "")
        if not query.is_ipv4(primary):
            return error(400, "InvalidAddress")
        self.state.set_dns(primary)
        return Answer(200, "OK")

    def users_view(self, fields, user):
        body = "".join(f"User.{i}.UserID={a['user']}\n"
                       for i, a in enumerate(self.state.snapshot()["accounts"]))
        return Answer(200, body)

    def users_update(self, fields, user):
        index_text = fields.get("Index", "")
        target = fields.get("UserID", "")
        password = fields.get("Password", "")
        if not index_text.isdigit() or not password:
            return error(400, "InvalidParameter")
        index = int(index_text)
        # The administrator may change any account; anyone else only their own.
        if user != ADMIN and self.state.index_of(user) != index:
            return error(403, "NotPermitted")
        if not self.state.set_password(index, target, password):
            return error(400, "NoSuchUser")
        return Answer(200, "OK\n" if self.config.fault("ok-newline") else "OK")


class CameraRequestHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "LabCamera/1.0"
    sys_version = ""

    def do_GET(self):
        camera = self.server.camera
        if not camera.power.powered:
            self.close_connection = True
            return  # a camera without power has no answer at all
        target = self.path
        url = urlsplit(target)
        fields = query.parse(url.query)
        user = None
        challenge = None
        if url.path.startswith("/kvt-cgi/"):
            user, stale = camera.guard.verify("GET", target, self.headers.get("Authorization"),
                                              camera.state.ha1)
            if user is None:
                challenge = camera.guard.challenge(stale)
        if challenge is not None:
            answer = Answer(401, "Unauthorized\n")
        elif url.path.startswith(("/kvt-cgi/", "/init-cgi/")) and camera.api.route(url.path, fields):
            answer = camera.api.route(url.path, fields)(fields, user)
        else:
            answer = Answer(404, "Not Found\n")
        self._send(answer, challenge)
        camera.request_log(f"{query.mask_secrets(self.requestline)}\t{answer.status}\t{user or '-'}")
        if answer.after is not None:
            self.close_connection = True
            self.after = answer.after

    def do_other(self):
        self._send(Answer(405, "Method Not Allowed\n"), None)
        self.server.camera.request_log(f"{query.mask_secrets(self.requestline)}\t405\t-")

    do_POST = do_PUT = do_DELETE = do_other

    def _send(self, answer, challenge):
        config = self.server.camera.config
        if config.fault("slow-http"):
            time.sleep(float(config.get("slow_seconds")))
        body = answer.body.encode("utf-8")
        padding = 0
        if config.fault("huge-answer"):
            padding = max(0, int(config.get("huge_bytes")) - len(body))
        self.send_response(answer.status)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body) + padding))
        if challenge:
            self.send_header("WWW-Authenticate", challenge)
        self.end_headers()
        self.wfile.write(body)
        chunk = b"#" * PAD_CHUNK
        while padding > 0:
            self.wfile.write(chunk[:padding])
            padding -= min(padding, PAD_CHUNK)

    def finish(self):
        super().finish()
        after = getattr(self, "after", None)
        if after is not None:
            after()

    def log_message(self, format, *args):
        pass  # requests are logged by the camera, with secrets masked

    def log_error(self, format, *args):
        """Requests refused before they reach do_GET (malformed, too long, other methods)."""
        line = query.mask_secrets(getattr(self, "requestline", "") or "-")
        self.server.camera.request_log(f"{line}\terror: {query.mask_secrets(format % args)}")


class CameraHttpServer(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, camera):
        self.camera = camera
        super().__init__(("0.0.0.0", HTTP_PORT), CameraRequestHandler)

    def start(self):
        threading.Thread(target=self.serve_forever, name="http", daemon=True).start()
