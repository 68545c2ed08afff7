"""The camera's HTTP configuration interface on TCP port 80.

"/init-cgi/" is the factory-state interface and is used without credentials.
"/kvt-cgi/" needs HTTP digest credentials of an existing account; a camera
without a password has no usable account, so it refuses every such request.
Every route takes an exact set of query parameters and refuses anything else
with a 400, before it changes anything. Answers are plain text, one key=value
per line.
"""
import collections
import http.server
import ipaddress
import socketserver
import threading
import time
from urllib.parse import urlsplit

from . import ipv4
from . import query
from .state import ADMIN

HTTP_PORT = 80
PAD_CHUNK = 64 * 1024
INIT_PREFIX = "/init-cgi/"
KVT_PREFIX = "/kvt-cgi/"
ROUTE_FIELDS = ("msubmenu", "action")
ADMIN_INDEX, OTHER_INDEX = "0", "1"
ADDRESS_FIELDS = ("IPv4Address", "IPv4PrefixLength", "IPv4Gateway")

Route = collections.namedtuple("Route", "handler required optional", defaults=((), ()))


class Answer:
    def __init__(self, status, body="", after=None, location=None):
        self.status = status
        self.body = body
        self.after = after  # runs once the answer has been sent
        self.location = location  # of a redirect


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
            ("/init-cgi/pw_init.cgi", "statuscheck", "view"): Route(self.status_check),
            ("/init-cgi/pw_init.cgi", "setinitpassword", "set"):
                Route(self.set_initial_password, ("Password",)),
            ("/kvt-cgi/system.cgi", "deviceinfo", "view"): Route(self.device_info),
            ("/kvt-cgi/network.cgi", "interface", "view"): Route(self.interface_view),
            ("/kvt-cgi/network.cgi", "interface", "set"):
                Route(self.interface_set, ("IPv4Type",), ADDRESS_FIELDS),
            ("/kvt-cgi/network.cgi", "dns", "view"): Route(self.dns_view),
            ("/kvt-cgi/network.cgi", "dns", "set"): Route(self.dns_set, ("PrimaryDNS",)),
            ("/kvt-cgi/security.cgi", "users", "view"): Route(self.users_view),
            ("/kvt-cgi/security.cgi", "users", "update"):
                Route(self.users_update, ("Index", "UserID", "Password")),
        }
        self.paths = {path for path, _, _ in self.routes}

    def answer(self, path, query_text, user, credentials_sent):
        """The answer to a GET that has passed the digest check where one is needed."""
        if path not in self.paths:
            return Answer(404, "Not Found\n")
        if path.startswith(INIT_PREFIX) and credentials_sent:
            return error(400, "CredentialsNotExpected")  # a client that sends them here is confused
        fields, repeated = query.parse(query_text)
        if repeated:
            return error(400, "DuplicateParameter")
        if any(name not in fields for name in ROUTE_FIELDS):
            return error(400, "MissingParameter")
        route = self.routes.get((path, fields["msubmenu"], fields["action"]))
        if route is None:
            return error(400, "InvalidSubmenu")
        reason = query.refusal(fields, ROUTE_FIELDS + route.required, route.optional)
        if reason is not None:
            return error(400, reason)
        return route.handler(fields, user)

    # /init-cgi/ ---------------------------------------------------------------

    def status_check(self, fields, user):
        return Answer(200, ok_lines(Initialized="True" if self.state.initialized else "False"))

    def set_initial_password(self, fields, user):
        password = fields["Password"]
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
        kind = fields["IPv4Type"]
        given = [name for name in ADDRESS_FIELDS if name in fields]
        if kind == "DHCP":
            if given:
                return error(400, "UnknownParameter")  # DHCP takes no address of ours
            self.state.set_mode_dhcp()
            return Answer(200, "OK", after=self.power.readdress)
        if kind != "Manual":
            return error(400, "InvalidIPv4Type")
        if len(given) != len(ADDRESS_FIELDS):
            return error(400, "MissingParameter")
        address, prefix_text, gateway = (fields[name] for name in ADDRESS_FIELDS)
        reason = ipv4.static_refusal(address, prefix_text, gateway)
        if reason is not None:
            return error(400, reason)
        self.state.set_mode_static(address, int(prefix_text), gateway)
        return Answer(200, "OK", after=self.power.readdress)

    def dns_view(self, fields, user):
        return Answer(200, ok_lines(PrimaryDNS=self.state.dns["primary"],
                                    SecondaryDNS=self.state.dns["secondary"]))

    def dns_set(self, fields, user):
        primary = fields["PrimaryDNS"]
        if not ipv4.is_dotted(primary):
            return error(400, "InvalidAddress")
        self.state.set_dns(primary)
        return Answer(200, "OK")

    def users_view(self, fields, user):
        body = "".join(f"User.{i}.UserID={a['user']}\n"
                       for i, a in enumerate(self.state.snapshot()["accounts"]))
        return Answer(200, body)

    def users_update(self, fields, user):
        index_text, target, password = fields["Index"], fields["UserID"], fields["Password"]
        # The administrator is always slot 0, the one other account slot 1.
        if index_text != (ADMIN_INDEX if target == ADMIN else OTHER_INDEX):
            return error(400, "InvalidIndex")
        if not password:
            return error(400, "MissingPassword")
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
        user = None
        challenge = None
        if url.path.startswith(KVT_PREFIX):
            user, stale = camera.guard.verify("GET", target, self.headers.get("Authorization"),
                                              camera.state.ha1)
            if camera.config.fault("auth-loop"):
                user = None  # right or wrong, the answer is another challenge
            if user is None:
                challenge = camera.guard.challenge(stale)
        if challenge is not None:
            answer = Answer(401, "Unauthorized\n")
        elif camera.config.fault("redirect-away"):
            # Path and query go along, as a camera moved to another host would send them; nothing
            # is changed here.
            answer = Answer(302, "Moved\n",
                            location=f"http://{camera.config.get('redirect_to')}{target}")
        else:
            try:
                answer = camera.api.answer(url.path, url.query, user, "Authorization" in self.headers)
            except Exception as exc:  # an answer and a log line all the same
                camera.log(f"http: request failed: {query.mask_secrets(repr(exc))}")
                answer = error(500, "Internal")
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
        length = len(body) + padding
        # The whole length is announced; with drop-mid-answer only half of it ever comes.
        drop = config.fault("drop-mid-answer")
        left = length // 2 if drop else length
        self.send_response(answer.status)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(length))
        if challenge:
            self.send_header("WWW-Authenticate", challenge)
        if answer.location is not None:
            self.send_header("Location", answer.location)
        self.end_headers()
        self.wfile.write(body[:left])
        left -= min(left, len(body))
        chunk = b"#" * PAD_CHUNK
        while left > 0:
            self.wfile.write(chunk[:left])
            left -= min(left, PAD_CHUNK)
        if drop:
            self.wfile.flush()
            self.close_connection = True

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
