#!/usr/bin/python3
"""digest_replay.py ADDRESS PATH USER, the password on stdin: answers one digest
challenge correctly, then sends the very same Authorization header again, as a
replaying eavesdropper would. Prints the two statuses, e.g. "200 401"."""
import hashlib
import http.client
import re
import secrets
import sys


def md5(text):
    return hashlib.md5(text.encode()).hexdigest()


def get(address, path, headers=None):
    conn = http.client.HTTPConnection(address, 80, timeout=10)
    conn.request("GET", path, headers=headers or {})
    resp = conn.getresponse()
    resp.read()
    conn.close()
    return resp


address, path, user = sys.argv[1:4]
password = sys.stdin.readline().rstrip("\n")
challenge = dict(re.findall(r'(\w+)="?([^",]*)"?', get(address, path).getheader("WWW-Authenticate")))
cnonce, nc = secrets.token_hex(8), "00000001"
ha1 = md5(f"{user}:{challenge['realm']}:{password}")
response = md5(f"{ha1}:{challenge['nonce']}:{nc}:{cnonce}:auth:{md5('GET:' + path)}")
header = (f'Digest username="{user}", realm="{challenge["realm"]}", nonce="{challenge["nonce"]}", '
          f'uri="{path}", qop=auth, nc={nc}, cnonce="{cnonce}", response="{response}", '
          f'opaque="{challenge["opaque"]}", algorithm=MD5')
first = get(address, path, {"Authorization": header}).status
second = get(address, path, {"Authorization": header}).status
print(first, second)
