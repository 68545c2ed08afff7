"""What the camera knows and remembers: accounts, addressing, DNS, power.

Settings survive a power cycle and a restart of the process (they are kept in
state.json next to the configuration); the live address is read from the kernel.
The file is replaced atomically, so a test can read it at any time.
"""
import json
import os
import threading
import time

from . import digest
from . import netif

ADMIN = "admin"


class CameraState:
    def __init__(self, config, path):
        self.config = config
        self.path = path
        self._lock = threading.RLock()
        self.mac = config.get("mac").upper()
        self.realm = "LabCamera-" + self.mac.replace(":", "")
        self.power = "on"
        self.http_listening = False
        self.live = {"address": "", "prefix": 0, "netmask": "", "gateway": ""}
        saved = self._load_saved()
        if saved is not None:
            self.accounts = saved["accounts"]
            self.mode = saved["mode"]
            self.static = saved["static"]
            self.dns = saved["dns"]
        else:
            self.accounts = [{"user": a["user"], "ha1": a.get("ha1") or
                              digest.ha1_of(a["user"], self.realm, a["password"])}
                             for a in config.get("accounts")]
            self.mode = "DHCP" if config.get("mode").upper() == "DHCP" else "Manual"
            self.static = {"address": config.get("address"), "prefix": int(config.get("prefix")),
                           "gateway": config.get("gateway")}
            self.dns = {"primary": config.get("dns"), "secondary": ""}
        self.save()

    def _load_saved(self):
        try:
            with open(self.path, encoding="utf-8") as f:
                data = json.load(f)
        except (OSError, ValueError):
            return None
        return data if data.get("mac") == self.mac else None

    # Accounts ---------------------------------------------------------------

    @property
    def initialized(self):
        with self._lock:
            return bool(self.accounts)

    def ha1(self, user):
        with self._lock:
            for account in self.accounts:
                if account["user"] == user:
                    return account["ha1"]
        return None

    def index_of(self, user):
        with self._lock:
            for i, account in enumerate(self.accounts):
                if account["user"] == user:
                    return i
        return None

    def set_initial_password(self, password):
        """True when the camera was still without a password and now has one."""
        with self._lock:
            if self.accounts:
                return False
            self.accounts = [{"user": ADMIN, "ha1": digest.ha1_of(ADMIN, self.realm, password)}]
            self.save()
            return True

    def set_password(self, index, user, password):
        with self._lock:
            if not 0 <= index < len(self.accounts) or self.accounts[index]["user"] != user:
                return False
            self.accounts[index]["ha1"] = digest.ha1_of(user, self.realm, password)
            self.save()
            return True

    def check_password(self, user, password):
        ha1 = self.ha1(user)
        return ha1 is not None and ha1 == digest.ha1_of(user, self.realm, password)

    # Addressing -------------------------------------------------------------

    def set_mode_dhcp(self):
        with self._lock:
            self.mode = "DHCP"
            self.save()

    def set_mode_static(self, address, prefix, gateway):
        with self._lock:
            self.mode = "Manual"
            self.static = {"address": address, "prefix": prefix, "gateway": gateway}
            self.save()

    def set_dns(self, primary):
        with self._lock:
            self.dns["primary"] = primary
            self.save()

    def set_power(self, power):
        with self._lock:
            self.power = power
            self.save()

    def set_http_listening(self, listening):
        with self._lock:
            self.http_listening = listening
            self.save()

    def refresh_live(self):
        """Reads the interface's address from the kernel; saves when it changed."""
        live = netif.live_address()
        with self._lock:
            if live != self.live:
                self.live = live
                self.save()

    # Persistence ------------------------------------------------------------

    def snapshot(self):
        with self._lock:
            return {
                "name": self.config.get("name"),
                "port": self.config.get("port"),
                "pid": os.getpid(),
                "mac": self.mac,
                "model": self.config.get("model"),
                "firmware": self.config.get("firmware"),
                "realm": self.realm,
                "initialized": bool(self.accounts),
                "accounts": [dict(a, index=i) for i, a in enumerate(self.accounts)],
                "mode": self.mode,
                "static": dict(self.static),
                "dns": dict(self.dns),
                "power": self.power,
                "http_listening": self.http_listening,
                "live": dict(self.live),
                "updated": time.time(),
            }

    def save(self):
        with self._lock:
            data = self.snapshot()
            tmp = f"{self.path}.tmp"
            with open(tmp, "w", encoding="utf-8") as f:
                json.dump(data, f, indent=2)
                f.write("\n")
            os.replace(tmp, self.path)
