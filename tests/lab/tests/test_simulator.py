"""The simulated camera against independent clients: curl --digest, a hand-made
digest client and a few lines of discovery code, all from the recorder."""
import re
import unittest

from labtest import LabTestCase, camera_settings, camera_state, curl, discover, lab, live_address, \
    log_size, read_log, reset_camera, wait_for, HERE, PY

FRESH, DFLT, FAULTY, FAR, MOVER = "fresh", "dflt", "faulty", "far", "mover"
BLANK, STRICT = "blank", "strict"  # only the refusal table talks to these
ADDR = {FRESH: "192.168.1.21", DFLT: "192.168.1.22", FAULTY: "192.168.1.23", FAR: "10.99.0.5",
        MOVER: "192.168.1.24", BLANK: "192.168.1.25", STRICT: "192.168.1.26"}
DEFAULT = {"user": "admin", "password": "7395"}
OPERATOR = {"user": "operator", "password": "op-1234"}


def static(name, accounts, **extra):
    cam = {"name": name, "mode": "Manual", "address": ADDR[name], "prefix": 24,
           "gateway": "192.168.1.1", "dns": "192.168.1.1", "accounts": accounts}
    cam.update(extra)
    return cam


DEVICE_INFO = "/kvt-cgi/system.cgi?msubmenu=deviceinfo&action=view"
INTERFACE = "/kvt-cgi/network.cgi?msubmenu=interface&action="
STATUS_CHECK = "/init-cgi/pw_init.cgi?msubmenu=statuscheck&action=view"
SET_INIT = "/init-cgi/pw_init.cgi?msubmenu=setinitpassword&action=set&Password="
USERS_UPDATE = "/kvt-cgi/security.cgi?msubmenu=users&action=update&Index={}&UserID={}&Password={}"


PW_INIT = "/init-cgi/pw_init.cgi?msubmenu="
NETWORK = "/kvt-cgi/network.cgi?msubmenu="
USERS = "/kvt-cgi/security.cgi?msubmenu=users&action=update"
MANUAL = NETWORK + "interface&action=set&IPv4Type=Manual"


def manual(address, prefix, gateway):
    return f"{MANUAL}&IPv4Address={address}&IPv4PrefixLength={prefix}&IPv4Gateway={gateway}"


# How a case sends credentials: none, digest (the account's password through curl's
# stdin), or a ready-made header of either kind, with no real secret in it.
NONE, DIGEST = "none", "digest"
BASIC_HEADER = "Authorization: Basic YWRtaW46bm90LWl0"  # admin:not-it
DIGEST_HEADER = ('Authorization: Digest username="admin", realm="x", nonce="1", uri="/", '
                 'response="00000000000000000000000000000000"')
MAX_TIME = ["--max-time", "10"]  # a camera that took a change it should refuse may be gone

NEW_PASSWORDS = ("Aa-1", "Bb-2", "Xx-1", "Yy-2")  # none may reach a log in clear

# (what is wrong, camera, request, credentials, expected status). Every request would
# change the camera if it were taken: the factory-new one would get its password, the
# other its address, DNS or a password.
REFUSED = [
    ("no query", BLANK, "/init-cgi/pw_init.cgi", NONE, 400),
    ("no action", BLANK, PW_INIT + "statuscheck", NONE, 400),
    ("no msubmenu", BLANK, "/init-cgi/pw_init.cgi?action=view", NONE, 400),
    ("unknown submenu", BLANK, PW_INIT + "factoryreset&action=set", NONE, 400),
    ("unknown parameter", BLANK, STATUS_CHECK + "&Debug=1", NONE, 400),
    ("repeated action", BLANK, STATUS_CHECK + "&action=view", NONE, 400),
    ("empty parameter", BLANK, STATUS_CHECK + "&", NONE, 400),
    ("initial password twice", BLANK, SET_INIT + "Aa-1&Password=Bb-2", NONE, 400),
    ("initial password missing", BLANK, PW_INIT + "setinitpassword&action=set", NONE, 400),
    ("initial password in lower case", BLANK, PW_INIT + "setinitpassword&action=set&password=Aa-1",
     NONE, 400),
    ("initial password with a user", BLANK, SET_INIT + "Aa-1&UserID=admin", NONE, 400),
    ("initial password with basic credentials", BLANK, SET_INIT + "Aa-1", BASIC_HEADER, 400),
    ("status check with digest credentials", BLANK, STATUS_CHECK, DIGEST_HEADER, 400),
    ("factory page under /kvt-cgi/", STRICT, "/kvt-cgi/pw_init.cgi?msubmenu=statuscheck&action=view",
     DIGEST, 404),
    ("network page under /init-cgi/", STRICT,
     "/init-cgi/network.cgi?msubmenu=interface&action=set&IPv4Type=DHCP", NONE, 404),
    ("device info with a parameter", STRICT, DEVICE_INFO + "&Model=X", DIGEST, 400),
    ("interface view with a type", STRICT, INTERFACE + "view&IPv4Type=DHCP", DIGEST, 400),
    ("type twice", STRICT, NETWORK + "interface&action=set&IPv4Type=DHCP&IPv4Type=DHCP", DIGEST, 400),
    ("type in lower case", STRICT, manual("192.168.1.40", 24, "192.168.1.1").replace("Manual", "manual"),
     DIGEST, 400),
    ("DHCP with an address", STRICT, NETWORK + "interface&action=set&IPv4Type=DHCP"
     "&IPv4Address=192.168.1.40", DIGEST, 400),
    ("DHCP with an empty gateway", STRICT, NETWORK + "interface&action=set&IPv4Type=DHCP&IPv4Gateway=",
     DIGEST, 400),
    ("manual without gateway", STRICT, MANUAL + "&IPv4Address=192.168.1.40&IPv4PrefixLength=24",
     DIGEST, 400),
    ("manual without prefix", STRICT, MANUAL + "&IPv4Address=192.168.1.40&IPv4Gateway=192.168.1.1",
     DIGEST, 400),
    ("manual with an empty gateway", STRICT, manual("192.168.1.40", 24, ""), DIGEST, 400),
    ("manual with a mask for a prefix", STRICT, manual("192.168.1.40", "255.255.255.0", "192.168.1.1"),
     DIGEST, 400),
    ("prefix 7", STRICT, manual("10.1.2.3", 7, "10.1.2.1"), DIGEST, 400),
    ("prefix 31", STRICT, manual("192.168.1.40", 31, "192.168.1.41"), DIGEST, 400),
    ("prefix 33", STRICT, manual("192.168.1.40", 33, "192.168.1.1"), DIGEST, 400),
    ("prefix with a sign", STRICT, manual("192.168.1.40", "+24", "192.168.1.1"), DIGEST, 400),
    ("three-part address", STRICT, manual("192.168.1", 24, "192.168.1.1"), DIGEST, 400),
    ("address part above 255", STRICT, manual("192.168.1.300", 24, "192.168.1.1"), DIGEST, 400),
    ("address part with a leading zero", STRICT, manual("192.168.1.040", 24, "192.168.1.1"), DIGEST, 400),
    ("host name for an address", STRICT, manual("camera.local", 24, "192.168.1.1"), DIGEST, 400),
    ("network address", STRICT, manual("192.168.1.0", 24, "192.168.1.1"), DIGEST, 400),
    ("broadcast address", STRICT, manual("192.168.1.127", 25, "192.168.1.1"), DIGEST, 400),
    ("multicast address", STRICT, manual("224.0.0.40", 24, "224.0.0.1"), DIGEST, 400),
    ("gateway in another subnet", STRICT, manual("192.168.1.40", 24, "192.168.2.1"), DIGEST, 400),
    ("gateway outside a narrower subnet", STRICT, manual("192.168.1.100", 26, "192.168.1.1"), DIGEST, 400),
    ("gateway the broadcast address", STRICT, manual("192.168.1.40", 24, "192.168.1.255"), DIGEST, 400),
    ("gateway the address itself", STRICT, manual("192.168.1.40", 24, "192.168.1.40"), DIGEST, 400),
    ("gateway not an address", STRICT, manual("192.168.1.40", 24, "router"), DIGEST, 400),
    ("DNS twice", STRICT, NETWORK + "dns&action=set&PrimaryDNS=192.168.1.2&PrimaryDNS=192.168.1.3",
     DIGEST, 400),
    ("DNS missing", STRICT, NETWORK + "dns&action=set", DIGEST, 400),
    ("secondary DNS", STRICT, NETWORK + "dns&action=set&PrimaryDNS=192.168.1.2&SecondaryDNS=192.168.1.3",
     DIGEST, 400),
    ("admin at index 1", STRICT, USERS + "&Index=1&UserID=admin&Password=Xx-1", DIGEST, 400),
    ("other account at index 0", STRICT, USERS + "&Index=0&UserID=operator&Password=Xx-1", DIGEST, 400),
    ("index with a leading zero", STRICT, USERS + "&Index=00&UserID=admin&Password=Xx-1", DIGEST, 400),
    ("index missing", STRICT, USERS + "&UserID=admin&Password=Xx-1", DIGEST, 400),
    ("new password twice", STRICT, USERS + "&Index=0&UserID=admin&Password=Xx-1&Password=Yy-2",
     DIGEST, 400),
    ("password change with a parameter", STRICT, USERS + "&Index=0&UserID=admin&Password=Xx-1&Level=1",
     DIGEST, 400),
]


def url(name, path):
    return f"http://{ADDR[name]}{path}"


def fields(body):
    return dict(line.split("=", 1) for line in body.splitlines() if "=" in line)


def replies_from(mac):
    return [data for _, data in discover() if data[19:36] == mac.encode()]


class SimulatorTest(LabTestCase):
    CAMERAS = [
        static(FRESH, []),
        static(DFLT, [DEFAULT, OPERATOR], firmware="4.2.0"),
        static(FAULTY, [DEFAULT]),
        dict(static(FAR, [DEFAULT]), gateway="10.99.0.1"),
        static(MOVER, [DEFAULT]),
        static(BLANK, []),
        static(STRICT, [DEFAULT, OPERATOR]),
    ]

    def mac(self, name):
        return camera_state(name)["mac"]

    def test_digest_with_curl(self):
        cases = [  # (user, password, expected status)
            ("admin", "7395", 200),
            ("admin", "7396", 401),
            ("Admin", "7395", 401),
            ("nobody", "7395", 401),
            ("", "", 401),
            ("operator", "op-1234", 200),
        ]
        for user, password, expected in cases:
            with self.subTest(user=user):
                rc, code, _ = curl(url(DFLT, DEVICE_INFO), user, password)
                self.assertEqual((rc, code), (0, expected))

    def test_challenges_carry_fresh_nonces_and_replays_are_refused(self):
        challenges = []
        for _ in range(2):
            proc = lab("run", "curl", "-s", "-D", "-", "-o", "/dev/null", url(DFLT, DEVICE_INFO))
            self.assertIn(" 401 ", proc.stdout.splitlines()[0])
            line = next(l for l in proc.stdout.splitlines()
                        if l.lower().startswith("www-authenticate:"))
            self.assertIn('qop="auth"', line)
            self.assertIn("algorithm=MD5", line)
            challenges.append(line)
        self.assertNotEqual(challenges[0], challenges[1], "every challenge needs a new nonce")
        proc = lab("exec", "nvr", PY, f"{HERE}/digest_replay.py", ADDR[DFLT], DEVICE_INFO, "admin",
                   stdin="7395\n")
        self.assertEqual(proc.stdout.split(), ["200", "401"])

    def test_factory_new_camera_takes_its_initial_password_once(self):
        new_password = "New Pass&1"
        encoded = "New%20Pass%261"
        _, code, body = curl(url(FRESH, STATUS_CHECK))
        self.assertEqual((code, body), (200, "Initialized=False\n"))
        for password in ("", "7395", new_password):
            _, code, _ = curl(url(FRESH, DEVICE_INFO), "admin", password)
            self.assertEqual(code, 401, "no /kvt-cgi/ request may pass before the password is set")

        self.assertEqual(curl(url(FRESH, SET_INIT + encoded))[1:], (200, "OK"))
        self.assertEqual(curl(url(FRESH, SET_INIT + "another"))[1], 403)

        self.assertEqual(curl(url(FRESH, STATUS_CHECK))[2], "Initialized=True\n")
        self.assertEqual(curl(url(FRESH, DEVICE_INFO), "admin", new_password)[1], 200)
        self.assertEqual(lab("camera", FRESH, "check-password", "admin", stdin=new_password + "\n",
                             check=False).returncode, 0)
        self.assertEqual(lab("camera", FRESH, "check-password", "admin", stdin="another\n",
                             check=False).returncode, 1)
        log = lab("camera", FRESH, "requests").stdout
        self.assertIn("Password=********", log)
        self.assertNotIn(encoded, log)
        self.assertNotIn("another", log)

    def test_password_change_answers_exactly_ok(self):
        # Other tests log in with these cameras' configured passwords.
        self.addCleanup(reset_camera, DFLT)
        self.addCleanup(reset_camera, FAULTY)
        admin_change = USERS_UPDATE.format(0, "admin", "Admin-2")
        operator_change = USERS_UPDATE.format(1, "operator", "Op-2")
        # An operator may not touch the administrator's account.
        self.assertEqual(curl(url(DFLT, admin_change), "operator", "op-1234")[1], 403)
        self.assertEqual(curl(url(DFLT, operator_change), "operator", "op-1234")[1:], (200, "OK"))
        self.assertEqual(curl(url(DFLT, DEVICE_INFO), "operator", "Op-2")[1], 200)
        self.assertEqual(curl(url(DFLT, DEVICE_INFO), "operator", "op-1234")[1], 401)
        # Index and user ID must name the same account.
        self.assertEqual(curl(url(DFLT, USERS_UPDATE.format(1, "admin", "x")), "admin", "7395")[1],
                         400)
        lab("camera", FAULTY, "set", "faults=ok-newline")
        self.addCleanup(lab, "camera", FAULTY, "set", "faults=")
        self.assertEqual(curl(url(FAULTY, admin_change), "admin", "7395")[1:], (200, "OK\n"))
        self.assertEqual(lab("camera", FAULTY, "check-password", "admin", stdin="Admin-2\n",
                             check=False).returncode, 0)

    def test_refuses_what_a_careful_camera_refuses(self):
        for what, name, path, credentials, expected in REFUSED:
            with self.subTest(what):
                before = camera_settings(name)
                log = f"cameras/{name}/requests.log"
                since = log_size(log)
                if credentials == DIGEST:
                    _, code, body = curl(url(name, path), DEFAULT["user"], DEFAULT["password"],
                                         *MAX_TIME)
                else:
                    header = [] if credentials == NONE else ["-H", credentials]
                    _, code, body = curl(url(name, path), None, None, *MAX_TIME, *header)
                self.assertEqual(code, expected, body)
                if expected == 400:
                    self.assertRegex(body, r"^Error=\w+\n$")
                # The answer is logged like any other, with the digest user where one was checked.
                user = DEFAULT["user"] if credentials == DIGEST else "-"
                count = 2 if credentials == DIGEST else 1  # digest: the challenge first
                wait_for("the request in the log",
                         lambda: len(_lines(read_log(log, since))) >= count)
                logged = _lines(read_log(log, since))
                self.assertEqual(len(logged), count)
                self.assertEqual(logged[-1][1:], [str(expected), user])
                self.assertTrue(logged[-1][0].startswith("GET " + _masked(path)), logged[-1][0])
                for secret in NEW_PASSWORDS:
                    self.assertNotIn(secret, read_log(log, since))
                self.assertEqual(camera_settings(name), before)
        self.assertEqual(live_address(STRICT), ADDR[STRICT])
        self.assertEqual(curl(url(BLANK, STATUS_CHECK))[2], "Initialized=False\n")

    def test_takes_the_requests_the_program_sends(self):
        # The refusals above are no proof without these passing on the same cameras.
        cases = [  # (what, camera, request, credentials); passwords set to what they were
            ("status check", BLANK, STATUS_CHECK, NONE),
            ("device info", STRICT, DEVICE_INFO, DIGEST),
            ("interface view", STRICT, INTERFACE + "view", DIGEST),
            ("DNS view", STRICT, NETWORK + "dns&action=view", DIGEST),
            ("users view", STRICT, "/kvt-cgi/security.cgi?msubmenu=users&action=view", DIGEST),
            ("DNS set", STRICT, NETWORK + "dns&action=set&PrimaryDNS=192.168.1.2", DIGEST),
            ("other account's password", STRICT,
             USERS + "&Index=1&UserID=operator&Password=" + OPERATOR["password"], DIGEST),
            ("admin's password", STRICT,
             USERS + "&Index=0&UserID=admin&Password=" + DEFAULT["password"], DIGEST),
        ]
        for what, name, path, credentials in cases:
            with self.subTest(what):
                user, password = (DEFAULT["user"], DEFAULT["password"]) if credentials == DIGEST \
                    else (None, None)
                self.assertEqual(curl(url(name, path), user, password)[1], 200)

    def test_views_answer_key_value_lines(self):
        info = fields(curl(url(DFLT, DEVICE_INFO), "admin", "7395")[2])
        self.assertEqual(info["FirmwareVersion"], "4.2.0")
        iface = fields(curl(url(DFLT, INTERFACE + "view"), "admin", "7395")[2])
        self.assertEqual((iface["IPv4Type"], iface["IPv4Address"], iface["IPv4SubnetMask"],
                          iface["IPv4Gateway"]), ("Manual", ADDR[DFLT], "255.255.255.0",
                                                   "192.168.1.1"))
        dns = "/kvt-cgi/network.cgi?msubmenu=dns&action="
        self.assertEqual(curl(url(DFLT, dns + "set&PrimaryDNS=8.8.4.4"), "admin", "7395")[1], 200)
        self.assertEqual(curl(url(DFLT, dns + "set&PrimaryDNS=8.8.4.4;x"), "admin", "7395")[1], 400)
        self.assertEqual(fields(curl(url(DFLT, dns + "view"), "admin", "7395")[2])["PrimaryDNS"],
                         "8.8.4.4")
        self.assertEqual(curl(url(DFLT, "/kvt-cgi/nothing.cgi"), "admin", "7395")[1], 404)

    def test_discovery_reply_layout(self):
        replies = {data[19:36].decode(): (sender, data) for sender, data in discover()}
        for name in (FRESH, DFLT, FAULTY, FAR):
            with self.subTest(camera=name):
                sender, data = replies[self.mac(name)]
                self.assertEqual(len(data), 334)
                self.assertEqual(data[36], 0, "MAC text NUL-terminated within its field")
                self.assertEqual(data[37:data.index(b"\0", 37)].decode(), ADDR[name])
                model = camera_state(name)["model"].encode()
                self.assertEqual(data[109:109 + len(model) + 1], model + b"\0")
                self.assertEqual(data[132], 0, "static address: mode byte 0")
        self.assertEqual(replies[self.mac(FAR)][0], ADDR[FAR],
                         "a camera in another subnet must still reach the recorder")

    def test_discovery_fault_modes(self):
        def model_field(data):
            return data[109:132]

        cases = [  # (fault, check of the camera's replies)
            ("wrong-size-reply", lambda r: [len(d) for d in r] == [333]),
            ("double-reply", lambda r: len(r) == 2 and r[0] == r[1]),
            ("model-unterminated", lambda r: len(r) == 1 and 0 not in model_field(r[0])),
            ("model-not-utf8", lambda r: len(r) == 1 and not _utf8(model_field(r[0]).split(b"\0")[0])),
        ]
        self.addCleanup(lab, "camera", FAULTY, "set", "faults=")
        for fault, check in cases:
            with self.subTest(fault=fault):
                lab("camera", FAULTY, "set", f"faults={fault}")
                replies = replies_from(self.mac(FAULTY))
                self.assertTrue(check(replies), f"{fault}: {[r.hex() for r in replies]}")

    def test_discovery_reply_address_override(self):
        self.addCleanup(lab, "camera", FAULTY, "set", "reply_address=")
        lab("camera", FAULTY, "set", "reply_address=10.1.1.50")
        replies = replies_from(self.mac(FAULTY))
        self.assertEqual([d[37:d.index(b"\0", 37)].decode() for d in replies], ["10.1.1.50"])
        lab("camera", FAULTY, "set", "reply_address=")
        replies = replies_from(self.mac(FAULTY))
        self.assertEqual([d[37:d.index(b"\0", 37)].decode() for d in replies], [ADDR[FAULTY]])

    def test_http_fault_modes(self):
        self.addCleanup(lab, "camera", FAULTY, "set", "faults=")
        lab("camera", FAULTY, "set", "faults=huge-answer", "huge_bytes=4194304")
        rc, code, body = curl(url(FAULTY, STATUS_CHECK))
        self.assertEqual((rc, code), (0, 200))
        self.assertGreaterEqual(len(body), 4194304)

        lab("camera", FAULTY, "set", "faults=slow-http", "slow_seconds=4")
        rc, _, _ = curl(url(FAULTY, STATUS_CHECK), None, None, "--max-time", "1")
        self.assertEqual(rc, 28, "a slow camera must not answer within a second")

        lab("camera", FAULTY, "set", "faults=redirect-away", f"redirect_to={ADDR[DFLT]}")
        before = camera_settings(FAULTY)
        for target, user, password in [(STATUS_CHECK, None, None), (SET_INIT + "Aa-1", None, None),
                                       (DEVICE_INFO, DEFAULT["user"], DEFAULT["password"])]:
            rc, code, body = curl(url(FAULTY, target), user, password, "-D", "/dev/stdout")
            self.assertEqual((rc, code), (0, 302), target)
            self.assertIn(f"\nLocation: http://{ADDR[DFLT]}{target}\n", body, target)  # text mode: "\n"
        rc, code, _ = curl(url(FAULTY, DEVICE_INFO), DEFAULT["user"], "wrong")
        self.assertEqual((rc, code), (0, 401), "the digest check comes first")
        self.assertEqual(camera_settings(FAULTY), before, "a redirect changes nothing")

        lab("camera", FAULTY, "set", "faults=no-http")
        wait_for("port 80 to close", lambda: curl(url(FAULTY, STATUS_CHECK))[0] == 7)
        lab("camera", FAULTY, "set", "faults=")
        self.assertEqual(wait_for("port 80 to open again", lambda: curl(url(FAULTY, STATUS_CHECK))[1]),
                         200)

    def test_address_changes_for_real_after_the_answer(self):
        new = "192.168.1.31"
        bad = [INTERFACE + "set&IPv4Type=Manual&IPv4Address=1.2.3.4;reboot&IPv4PrefixLength=24",
               INTERFACE + "set&IPv4Type=Manual&IPv4Address=1.2.3.4&IPv4PrefixLength=33",
               INTERFACE + "set&IPv4Type=Bogus"]
        for path in bad:
            self.assertEqual(curl(url(MOVER, path), "admin", "7395")[1], 400, path)
        self.assertEqual(live_address(MOVER), ADDR[MOVER])

        change = (INTERFACE + f"set&IPv4Type=Manual&IPv4Address={new}&IPv4PrefixLength=24"
                  "&IPv4Gateway=192.168.1.1")
        self.assertEqual(curl(url(MOVER, change), "admin", "7395")[1:], (200, "OK"))
        wait_for("the new static address", lambda: live_address(MOVER) == new)
        self.assertEqual(curl(f"http://{new}{DEVICE_INFO}", "admin", "7395")[1], 200)
        rc, _, _ = curl(url(MOVER, STATUS_CHECK), None, None, "--max-time", "3")
        self.assertNotEqual(rc, 0, "the old address must be gone")

        to_dhcp = INTERFACE + "set&IPv4Type=DHCP"
        self.assertEqual(curl(f"http://{new}{to_dhcp}", "admin", "7395")[1:], (200, "OK"))
        leased = wait_for("a lease from the pool", lambda: _in_pool(live_address(MOVER)))
        self.assertEqual(camera_state(MOVER)["mode"], "DHCP")
        self.assertEqual(replies_from(self.mac(MOVER))[0][132], 1, "DHCP: mode byte not 0")
        self.assertEqual(curl(f"http://{leased}{DEVICE_INFO}", "admin", "7395")[1], 200)


def _lines(text):
    """requests.log lines as [request line, status, user], the time stamp dropped."""
    return [line.split(" ", 1)[1].split("\t") for line in text.splitlines()]


def _masked(path):
    return re.sub(r"(?i)(Password=)[^&]*", r"\1********", path)


def _utf8(data):
    try:
        data.decode("utf-8")
        return True
    except UnicodeDecodeError:
        return False


def _in_pool(address):
    parts = address.split(".")
    return address if address.startswith("192.168.1.") and 100 <= int(parts[3]) <= 200 else None


if __name__ == "__main__":
    unittest.main()
