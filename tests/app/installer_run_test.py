#!/usr/bin/python3
"""The installer's whole run with eight cameras of mixed kinds, as an installer does it on the
recorder's screen, and the world afterwards: the DHCP server's file and leases, the cameras' own
accounts, addresses and DNS server, the service calls and every PoE port request."""
import base64
import csv
import glob
import ipaddress
import json
import os
import shutil
import subprocess
import tempfile
import time
import unittest

from wizard_driver import BUILD_DIR, HERE, TITLE, WizardDriver, wait_for, window_screenshot
from labtest import LAB_DIR, LabTestCase, camera_state, lab, log_size, read_log  # noqa: E402

with open(os.path.join(HERE, "installer_cameras.json"), encoding="utf-8") as f:
    CAMERAS = json.load(f)
FACTORY = [c["name"] for c in CAMERAS if not c["accounts"]]
POOL = ("192.168.1.100", "192.168.1.200")
NEW_PASSWORD = "Site-New-9753"
SECRETS = [NEW_PASSWORD] + [a["password"] for c in CAMERAS for a in c["accounts"] if a["password"] != "7395"]
STATIC = "192.168.1.70"
DNS = "192.168.1.53"
SHOTS = os.path.join(BUILD_DIR, "screenshots")
# The installation record the run saves, kept for the README's picture of its first page.
RECORD_COPY = os.path.join(BUILD_DIR, "record")


def in_pool(address):
    return (address and ipaddress.ip_address(POOL[0]) <= ipaddress.ip_address(address)
            <= ipaddress.ip_address(POOL[1]))


class InstallerRun(WizardDriver, LabTestCase):
    CAMERAS = CAMERAS

    def shot(self, name, title=TITLE):
        os.makedirs(SHOTS, exist_ok=True)
        window_screenshot(title, os.path.join(SHOTS, name + ".png"))

    def cells(self, frame, name):
        return frame.findChildren(lambda n: n.roleName == "table cell" and n.name == name and n.showing)

    def showing(self, frame, role, name=None):
        return [n for n in frame.findChildren(lambda n: n.roleName == role and n.showing)
                if name is None or n.name == name]

    def test_the_typical_run_from_splash_to_exit(self):
        from dogtail import rawinput, tree
        starts = {log: log_size(log) for log in ("poe.log", "service.log", "systemctl.log")}

        # The folder chooser opens on the installer's home when no USB stick is in.
        home = tempfile.mkdtemp(prefix="velnor-installer-home-")
        self.addCleanup(shutil.rmtree, home, True)
        started = time.monotonic()
        wizard, frame = self.start_wizard(splash_shot=os.path.join(SHOTS, "0-splash.png"), home=home)
        self.assertGreater(time.monotonic() - started, 2.5, "the splash went by too fast")
        self.shot("1-welcome")
        self.click(frame.child(name="Next", roleName="push button"))

        # The network page: both interfaces, DHCP on with a pool, clients, lease hours, a DNS server.
        wait_for(lambda: self.showing_label(frame, "192.168.1.1"), what="the camera network's address")
        self.assertTrue(self.showing_label(frame, "10.20.30.2"))
        self.click(frame.findChild(lambda n: n.roleName in ("toggle button", "switch") and n.showing))
        entries = sorted(self.showing(frame, "text"), key=lambda n: n.position[1])
        start, end, primary_dns = entries[0], entries[1], entries[2]
        wait_for(lambda: start.sensitive, what="the pool entries to be editable")
        start.text, end.text, primary_dns.text = POOL[0], POOL[1], DNS
        users, lease = sorted(self.showing(frame, "spin button"), key=lambda n: n.position[1])
        users.value, lease.value = 40, 12
        self.shot("2-network")
        self.click(frame.child(name="Next", roleName="push button"))
        self.answer(frame, "Yes")

        # The minute's countdown, then every camera in the list.
        app = tree.root.application("velnor-config-tool")
        wait_for(lambda: app.findChild(lambda n: n.roleName == "label" and n.name == "Scanning..."
                                       and n.showing, retry=False, requireResult=False),
                 what="the scan's countdown")
        self.shot("3-scanning")
        macs = [camera_state(c["name"])["mac"] for c in CAMERAS]
        wait_for(lambda: all(self.cells(frame, mac) for mac in macs), timeout=150, what="every camera listed")
        wait_for(lambda: self.scans_ended() >= 1, what="the scan's end")
        self.assertEqual(len(self.cells(frame, "Need Password")), len(FACTORY))
        self.shot("4-cameras")

        # The first password for every factory-new camera at once.
        need = self.cells(frame, "Need Password")
        self.click(need[0])
        rawinput.holdKey("Control_L")
        for cell in need[1:]:
            self.click(cell)
        rawinput.releaseKey("Control_L")
        wait_for(lambda: self.showing(frame, "push button", "Set Password"), what="the set-password panel")
        first, second = sorted(self.showing(frame, "password text"), key=lambda n: (n.position[1], n.position[0]))
        first.text, second.text = NEW_PASSWORD, NEW_PASSWORD
        self.click(self.showing(frame, "push button", "Set Password")[0])
        wait_for(lambda: self.showing(frame, "push button", "Connect"), what="the connect panel")

        # Connect to them with admin and that password.
        self.showing(frame, "password text")[0].text = NEW_PASSWORD
        self.click(self.showing(frame, "push button", "Connect")[0])
        wait_for(lambda: len(self.cells(frame, "Connected")) >= len(FACTORY) + 3,
                 what="the new cameras connected")
        self.shot("5-connected")

        # One of them gets a static address outside the pool, with a DNS server.
        target = FACTORY[0]
        old_address = camera_state(target)["live"]["address"]
        self.click(self.cells(frame, camera_state(target)["mac"])[0])
        assign = frame.child(name="IP Assign", roleName="push button")
        wait_for(lambda: assign.sensitive, what="IP Assign for the one camera")
        self.click(assign)
        manual = wait_for(lambda: app.findChild(lambda n: n.roleName == "radio button" and n.name == "Manual"
                                                and n.showing, retry=False, requireResult=False),
                          what="the IP assignment dialog")
        self.click(manual)
        dialog = manual
        while dialog.roleName != "dialog":
            dialog = dialog.parent
        address, mask, gateway, dns = sorted(self.showing(dialog, "text"), key=lambda n: n.position[1])
        wait_for(lambda: address.sensitive, what="the address fields to be editable")
        address.text, mask.text, gateway.text, dns.text = STATIC, "255.255.255.0", "192.168.1.1", DNS
        self.shot("6-ip-assign")
        self.click(app.child(name="Apply", roleName="push button"))
        wait_for(lambda: self.cells(frame, STATIC), what="the row with the new address")

        # Next on the camera page and on the final page ends the program normally.
        self.click(frame.child(name="Next", roleName="push button"))
        self.answer(frame, "Yes")
        wait_for(lambda: self.showing_label(frame, "The configuration is now completed."), what="the final page")
        self.shot("7-final")

        # The installation record, saved into the folder the chooser opens on.
        self.click(self.showing(frame, "push button", "Save Record…")[0])
        save_here = wait_for(lambda: app.findChild(lambda n: n.roleName == "push button" and n.name == "Save Here"
                                                   and n.showing, retry=False, requireResult=False),
                             what="the record's folder chooser")
        self.click(save_here)
        wait_for(lambda: [n for n in self.showing(frame, "label") if n.name.startswith("Saved cameras-")],
                 what="the record's message")
        saved = sorted(glob.glob(os.path.join(home, "cameras-*")))
        self.shot("8-record-saved")
        self.click(frame.child(name="Next", roleName="push button"))
        self.answer(frame, "Yes")
        self.assertEqual(wizard.wait(timeout=60), 0)

        # The DHCP server runs with the file the wizard wrote and leases inside its pool.
        conf = os.path.join(LAB_DIR, "etc-dhcp", "dhcpd.conf")
        check = subprocess.run(["/usr/sbin/dhcpd", "-t", "-cf", conf], capture_output=True, text=True)
        self.assertEqual(check.returncode, 0, check.stdout + check.stderr)
        text = open(conf, encoding="utf-8").read()
        self.assertIn(f"range {POOL[0]} {POOL[1]};", text)
        self.assertIn(f"option domain-name-servers {DNS};", text)
        self.assertIn("default-lease-time 43200;", text)
        self.assertIn("lease limit 40;", text)
        for camera in CAMERAS:
            if camera["name"] != target and camera.get("mode", "DHCP") == "DHCP":
                self.assertTrue(in_pool(camera_state(camera["name"])["live"]["address"]), camera["name"])
        self.assertIn(" restart -> 0", read_log("service.log", starts["service.log"]))
        self.assertIn(" enable isc-dhcp-server.service", read_log("systemctl.log", starts["systemctl.log"]))

        # Every factory camera took the password; the one moved answers only at its new address.
        for name in FACTORY:
            self.assertTrue(camera_state(name)["initialized"], name)
            self.assertEqual(lab("camera", name, "check-password", "admin", stdin=NEW_PASSWORD,
                                 check=False).returncode, 0, name)
        moved = camera_state(target)
        self.assertEqual((moved["mode"], moved["live"]["address"], moved["dns"]["primary"]),
                         ("Manual", STATIC, DNS))
        self.assertNotEqual(old_address, STATIC)

        # Ports: all off and on at the entry, all on again at the exit.
        requests = [line.split(" port=")[1].split(" ret=")[0] for line in
                    read_log("poe.log", starts["poe.log"]).splitlines() if " port=" in line]
        cycle = [f"{p} state={s}" for s in (0, 1) for p in range(16)]
        self.assertEqual(requests, cycle + [f"{p} state=1" for p in range(16)])

        self.check_record(home, saved)

        # No password in clear in what the program printed.
        output = open(self.trace.name, encoding="utf-8", errors="replace").read()
        for secret in SECRETS:
            self.assertNotIn(secret, output, "a password in the program's output")

    def check_record(self, home, saved):
        """The CSV holds one row per camera with the camera's own values, the PDF every address
        and MAC; no password is in either, in any encoding, nor anything else in the folder."""
        self.assertEqual([os.path.splitext(p)[1] for p in saved], [".csv", ".pdf"], saved)
        os.makedirs(RECORD_COPY, exist_ok=True)
        for path in saved:
            shutil.copy(path, RECORD_COPY)
        # Nothing else of the record's, no temporary either (the toolkit keeps its own dot folders).
        self.assertEqual(sorted(n for n in os.listdir(home) if "cameras" in n),
                         sorted(os.path.basename(p) for p in saved))
        csv_path, pdf_path = saved
        self.assertEqual(os.path.splitext(csv_path)[0], os.path.splitext(pdf_path)[0])

        with open(csv_path, newline="", encoding="utf-8") as f:
            rows = list(csv.DictReader(f))
        self.assertEqual(len(rows), len(CAMERAS))
        by_mac = {row["MAC"].upper(): row for row in rows}
        for camera in CAMERAS:
            state = camera_state(camera["name"])
            row = by_mac[state["mac"]]
            self.assertEqual(row["Address"], state["live"]["address"], camera["name"])
            self.assertEqual(row["Mode"], "Static" if state["mode"] == "Manual" else "DHCP", camera["name"])
            self.assertEqual(row["Model"], state["model"], camera["name"])
            # A camera with a password of its own stays unconnected in this run: the record asks
            # it nothing, so its mask and DNS server are left empty.
            connected = all(a["password"] == "7395" for a in camera["accounts"])
            self.assertEqual(row["Status"], "Connected" if connected else "Not Connected", camera["name"])
            # The firmware is what the camera's answer told once connected, else what the list has.
            self.assertIn(row["Firmware"], (state["firmware"],) if connected else (state["firmware"], "Unknown"),
                          camera["name"])
            self.assertEqual(row["Netmask"], state["live"]["netmask"] if connected else "", camera["name"])
            self.assertEqual(row["DNS Server"], (state["dns"]["primary"] or "") if connected else "",
                             camera["name"])

        text = subprocess.run(["pdftotext", "-layout", pdf_path, "-"], capture_output=True, text=True,
                              check=True).stdout
        for camera in CAMERAS:
            state = camera_state(camera["name"])
            self.assertIn(state["live"]["address"], text, camera["name"])
            self.assertIn(state["mac"], text.upper(), camera["name"])
        self.assertIn(f"pool {POOL[0]} to {POOL[1]}", text)

        blobs = [open(p, "rb").read() for p in saved] + [text.encode()]
        for secret in SECRETS + ["7395"]:
            raw = secret.encode()
            forms = [raw, secret.encode("utf-16-le"), secret.encode("utf-16-be"), base64.b64encode(raw),
                     raw.hex().encode(), raw.hex().upper().encode()]
            for blob in blobs:
                for form in forms:
                    self.assertNotIn(form, blob, "a password in the installation record")


if __name__ == "__main__":
    unittest.main()
