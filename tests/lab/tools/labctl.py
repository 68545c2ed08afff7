#!/usr/bin/python3
"""Helpers of the `lab` script that are easier in Python than in shell.

  labctl.py prepare N|--config FILE   write each camera's directory; print "NAME PORT MAC"
  labctl.py network [--config FILE]   the recorder's camera network: "ADDRESS/PREFIX BROADCAST NETWORK NETMASK"
  labctl.py set NAME KEY=VALUE...     change a running camera's configuration
  labctl.py wait-ready SECONDS        wait until every camera is powered with an address
  labctl.py status                    one line per camera (run in the recorder's namespace)
  labctl.py discover                  the decoded discovery replies (same)
"""
import json
import os
import sys
import time
import urllib.error
import urllib.request

import discovery_client
import lab_instance
import roster

LAB_DIR = lab_instance.lab_dir()
CAMERA_DIR = os.path.join(LAB_DIR, "cameras")
PORT_SOCKET = os.path.join(LAB_DIR, "ports", "{}.sock")
HTTP_PROBE = "/init-cgi/pw_init.cgi?msubmenu=statuscheck&action=view"
POLL_S = 0.2


def camera_dirs():
    if not os.path.isdir(CAMERA_DIR):
        return []
    dirs = [os.path.join(CAMERA_DIR, n) for n in os.listdir(CAMERA_DIR)]
    return sorted((d for d in dirs if os.path.isfile(os.path.join(d, "config.json"))),
                  key=lambda d: read_json(os.path.join(d, "config.json"))["port"])


def read_json(path, default=None):
    try:
        with open(path, encoding="utf-8") as f:
            return json.load(f)
    except (OSError, ValueError):
        return default


def write_json(path, data):
    tmp = path + ".tmp"
    with open(tmp, "w", encoding="utf-8") as f:
        json.dump(data, f, indent=2)
        f.write("\n")
    os.replace(tmp, path)


def prepare(args):
    cams = roster.from_file(args[1]) if args[0] == "--config" else roster.standard(int(args[0]))
    for cam in roster.complete(cams):
        directory = os.path.join(CAMERA_DIR, cam["name"])
        os.makedirs(directory, exist_ok=True)
        cam["control_socket"] = PORT_SOCKET.format(cam["port"])
        write_json(os.path.join(directory, "config.json"), cam)
        print(cam["name"], cam["port"], cam["mac"])
    return 0


def network(args):
    print(roster.network_from_file(args[1]) if args[:1] == ["--config"] else roster.network(roster.DEFAULT_PREFIX))
    return 0


def parse_value(key, text):
    if key == "faults":
        return [f for f in text.split(",") if f]
    if key == "accounts":
        return json.loads(text)
    for kind in (int, float):
        try:
            return kind(text)
        except ValueError:
            pass
    return text


def set_config(args):
    path = os.path.join(CAMERA_DIR, args[0], "config.json")
    config = read_json(path)
    if config is None:
        sys.stderr.write(f"no camera {args[0]!r} in the lab\n")
        return 1
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                    "camera"))
    from camsim.config import FAULTS
    for pair in args[1:]:
        key, sep, text = pair.partition("=")
        if not sep:
            sys.stderr.write(f"expected KEY=VALUE, not {pair!r}\n")
            return 2
        value = parse_value(key, text)
        if key == "faults" and set(value) - FAULTS:
            sys.stderr.write(f"unknown fault modes {sorted(set(value) - FAULTS)}; "
                             f"known: {', '.join(sorted(FAULTS))}\n")
            return 2
        config[key] = value
    write_json(path, config)
    return 0


def wait_ready(args):
    deadline = time.monotonic() + float(args[0])
    waiting = []
    while time.monotonic() < deadline:
        waiting = []
        for d in camera_dirs():
            state = read_json(os.path.join(d, "state.json"), {})
            config = read_json(os.path.join(d, "config.json"), {})
            http_ready = state.get("http_listening") or "no-http" in config.get("faults", [])
            if state.get("power") != "on" or not state.get("live", {}).get("address") \
                    or not http_ready:
                waiting.append(os.path.basename(d))
        if not waiting:
            return 0
        time.sleep(POLL_S)
    sys.stderr.write(f"lab: not ready (power, address, port 80): {' '.join(waiting)}\n")
    return 1


def pid_alive(pid):
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            return b"camera_sim.py" in f.read()
    except (OSError, TypeError):
        return False


def http_answers(address):
    if not address:
        return "-"
    try:
        with urllib.request.urlopen(f"http://{address}{HTTP_PROBE}", timeout=2) as r:
            return str(r.status)
    except urllib.error.HTTPError as e:
        return str(e.code)
    except OSError:
        return "no"


def status(args):
    dirs = camera_dirs()
    if not dirs:
        print("lab: no cameras")
        return 1
    seen = {}
    for _, data in discovery_client.discover():
        fields = discovery_client.decode(data)
        seen[fields["mac"].decode("ascii", "replace").upper()] = fields
    print(f"{'NAME':<6} {'PORT':>4} {'NAMESPACE':<11} {'PID':>7} {'POWER':<8} {'MODE':<7} "
          f"{'ADDRESS':<18} {'INIT':<5} {'DISCOVERY':<10} {'HTTP':<4} ANSWERING")
    all_answer = True
    for d in dirs:
        config = read_json(os.path.join(d, "config.json"), {})
        state = read_json(os.path.join(d, "state.json"), {})
        live = state.get("live", {})
        address = live.get("address", "")
        alive = pid_alive(state.get("pid"))
        reply = seen.get(config.get("mac", "").upper())
        disco = f"{reply['size']}B" if reply else "no"
        http = http_answers(address) if alive and state.get("power") == "on" else "-"
        answering = bool(reply) and http not in ("-", "no")
        all_answer = all_answer and answering
        print(f"{config.get('name', '?'):<6} {config.get('port', '?'):>4} "
              f"{lab_instance.namespace_prefix() + config.get('name', '?'):<11} "
              f"{(state.get('pid') if alive else 'dead'):>7} {state.get('power', '?'):<8} "
              f"{state.get('mode', '?'):<7} "
              f"{(address + '/' + str(live.get('prefix'))) if address else '-':<18} "
              f"{'yes' if state.get('initialized') else 'no':<5} {disco:<10} {http:<4} "
              f"{'yes' if answering else 'NO'}")
    return 0 if all_answer else 1


def discover(args):
    for sender, data in discovery_client.discover():
        f = discovery_client.decode(data)
        print(f"{sender:<15} size={f['size']} mac={f['mac'].decode('ascii', 'replace')} "
              f"address={f['address'].decode('ascii', 'replace')} "
              f"model={f['model']!r} mode={f['mode']}")
    return 0


COMMANDS = {"prepare": prepare, "network": network, "set": set_config, "wait-ready": wait_ready,
            "status": status, "discover": discover}


def main(argv):
    if len(argv) < 2 or argv[1] not in COMMANDS:
        sys.stderr.write(__doc__)
        return 2
    try:
        return COMMANDS[argv[1]](argv[2:])
    except (ValueError, IndexError) as exc:
        sys.stderr.write(f"lab: {exc}\n")
        return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
