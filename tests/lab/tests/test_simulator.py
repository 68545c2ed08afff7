"""The simulated camera against independent clients: curl --digest, a hand-made
digest client and a few lines of discovery code, all from the recorder."""
import unittest

from labtest import LabTestCase, camera_state, curl, discover, lab, live_address, wait_for, HERE, PY

FRESH, DFLT, FAULTY, FAR, MOVER = "fresh", "dflt", "faulty", "far", "mover"
ADDR = {FRESH: "192.168.1.21", DFLT: "192.168.1.22", FAULTY: "192.168.1.23", FAR: "10.99.0.5",
        MOVER: "192.168.1.24"}
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

    def test_http_fault_modes(self):
        self.addCleanup(lab, "camera", FAULTY, "set", "faults=")
        lab("camera", FAULTY, "set", "faults=huge-answer", "huge_bytes=4194304")
        rc, code, body = curl(url(FAULTY, STATUS_CHECK))
        self.assertEqual((rc, code), (0, 200))
        self.assertGreaterEqual(len(body), 4194304)

        lab("camera", FAULTY, "set", "faults=slow-http", "slow_seconds=4")
        rc, _, _ = curl(url(FAULTY, STATUS_CHECK), None, None, "--max-time", "1")
        self.assertEqual(rc, 28, "a slow camera must not answer within a second")

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
