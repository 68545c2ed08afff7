"""HTTP digest authentication as the camera does it: RFC 7616 with MD5 and qop="auth".

Every challenge carries a fresh nonce; a nonce is good for a limited time and each
request made with it must carry a higher nonce count than the one before, so a
captured Authorization header cannot be replayed.
"""
import hashlib
import hmac
import secrets
import threading
import time

ALGORITHM = "MD5"
QOP = "auth"
NONCE_LIFETIME_S = 300.0
MAX_LIVE_NONCES = 1024


def md5_hex(text):
    return hashlib.md5(text.encode("utf-8")).hexdigest()


def ha1_of(user, realm, password):
    """The stored secret of an account: the camera never keeps a password in clear."""
    return md5_hex(f"{user}:{realm}:{password}")


def parse_auth_header(value):
    """Splits 'Digest k=v, k="v, with comma"' into (scheme, {k: v}); None when malformed."""
    value = value.strip()
    scheme, _, rest = value.partition(" ")
    params = {}
    i, n = 0, len(rest)
    while i < n:
        while i < n and rest[i] in " \t,":
            i += 1
        if i >= n:
            break
        eq = rest.find("=", i)
        if eq < 0:
            return None
        key = rest[i:eq].strip().lower()
        i = eq + 1
        if i < n and rest[i] == '"':
            i += 1
            out = []
            while i < n and rest[i] != '"':
                if rest[i] == "\\" and i + 1 < n:
                    i += 1
                out.append(rest[i])
                i += 1
            if i >= n:
                return None
            i += 1
            params[key] = "".join(out)
        else:
            end = rest.find(",", i)
            end = n if end < 0 else end
            params[key] = rest[i:end].strip()
            i = end
    return scheme, params


class DigestGuard:
    """Issues challenges and checks answers for one camera realm."""

    def __init__(self, realm):
        self.realm = realm
        self.opaque = secrets.token_hex(16)
        self._lock = threading.Lock()
        self._nonces = {}  # nonce -> [issued monotonic time, highest nonce count seen]

    def forget_all(self):
        """A reboot forgets every nonce handed out before it."""
        with self._lock:
            self._nonces.clear()

    def challenge(self, stale=False):
        nonce = secrets.token_hex(16)
        now = time.monotonic()
        with self._lock:
            self._expire(now)
            if len(self._nonces) >= MAX_LIVE_NONCES:
                oldest = min(self._nonces, key=lambda k: self._nonces[k][0])
                del self._nonces[oldest]
            self._nonces[nonce] = [now, 0]
        header = (f'Digest realm="{self.realm}", qop="{QOP}", algorithm={ALGORITHM}, '
                  f'nonce="{nonce}", opaque="{self.opaque}"')
        if stale:
            header += ", stale=true"
        return header

    def _expire(self, now):
        for nonce in [k for k, v in self._nonces.items() if now - v[0] > NONCE_LIFETIME_S]:
            del self._nonces[nonce]

    def verify(self, method, request_target, header_value, lookup_ha1):
        """Returns (user, stale): user when the answer is right, stale when only the nonce was."""
        if not header_value:
            return None, False
        parsed = parse_auth_header(header_value)
        if parsed is None or parsed[0].lower() != "digest":
            return None, False
        p = parsed[1]
        needed = ("username", "realm", "nonce", "uri", "response", "qop", "nc", "cnonce")
        if any(k not in p for k in needed):
            return None, False
        if p["realm"] != self.realm or p["qop"] != QOP or p["uri"] != request_target:
            return None, False
        if p.get("algorithm", ALGORITHM).upper() != ALGORITHM:
            return None, False
        if "opaque" in p and p["opaque"] != self.opaque:
            return None, False
        try:
            nc = int(p["nc"], 16)
        except ValueError:
            return None, False
        ha1 = lookup_ha1(p["username"])
        if ha1 is None:
            return None, False
        ha2 = md5_hex(f"{method}:{p['uri']}")
        expected = md5_hex(f"{ha1}:{p['nonce']}:{p['nc']}:{p['cnonce']}:{p['qop']}:{ha2}")
        if not hmac.compare_digest(expected, p["response"].lower()):
            return None, False
        with self._lock:
            self._expire(time.monotonic())
            entry = self._nonces.get(p["nonce"])
            if entry is None:
                return None, True
            if nc <= entry[1]:
                return None, False
            entry[1] = nc
        return p["username"], False
