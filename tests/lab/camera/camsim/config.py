"""The camera's configuration file: identity, factory settings and fault modes.

The file is read again whenever it changes, so fault modes can be switched on and
off while the camera runs (`lab camera NAME set faults=...`).
"""
import json
import os
import threading

FAULTS = {
    "no-http",             # nothing listens on port 80: connections are refused
    "slow-http",           # every HTTP answer waits slow_seconds before it is sent
    "huge-answer",         # every HTTP answer body is padded to huge_bytes
    "wrong-size-reply",    # the discovery reply is reply_size bytes instead of 334
    "double-reply",        # every discovery reply is sent twice
    "model-not-utf8",      # the model text in the discovery reply is not valid UTF-8
    "model-unterminated",  # the model text fills its field with no NUL before offset 132
    "ok-newline",          # a password change answers "OK" plus a line end
    "drop-mid-answer",     # every HTTP answer stops halfway through its body; the connection closes
    "auth-loop",           # every /kvt-cgi/ request is challenged again, even with the right answer
    "redirect-away",       # every request that passed its digest check is redirected to redirect_to
}

DEFAULTS = {
    "model": "LAB-IPC-2100",
    "firmware": "2.14.3",
    "accounts": [],
    "mode": "DHCP",
    "address": "",
    "prefix": 24,
    "gateway": "",
    "dns": "",
    "boot_delay": 1.5,
    "faults": [],
    "slow_seconds": 20.0,
    "huge_bytes": 16 * 1024 * 1024,
    "reply_size": 333,
    "reply_address": "",   # when set, the discovery reply names this address instead of its own
    "redirect_to": "192.168.1.250",
}


class CameraConfig:
    def __init__(self, path):
        self.path = path
        self._lock = threading.Lock()
        self._mtime = None
        self._data = {}
        self.reload()

    def reload(self):
        with self._lock:
            mtime = os.stat(self.path).st_mtime_ns
            if mtime == self._mtime:
                return
            with open(self.path, encoding="utf-8") as f:
                data = json.load(f)
            unknown = set(data.get("faults", [])) - FAULTS
            if unknown:
                raise ValueError(f"unknown fault modes: {sorted(unknown)}")
            merged = dict(DEFAULTS)
            merged.update(data)
            self._data = merged
            self._mtime = mtime

    def get(self, key):
        try:
            self.reload()
        except (OSError, ValueError):
            pass  # a half-edited file keeps the last good configuration
        with self._lock:
            return self._data.get(key)

    def fault(self, name):
        return name in (self.get("faults") or [])
