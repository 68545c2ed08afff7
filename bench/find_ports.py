"""Find Ports' time in the lab: the wizard on the camera page with the list filled, Find Ports and
Yes, then the trace's lines as they arrive: the sixteen single-port requests and the one that
switches every port on again (the search), the usual Rescan (the restart's wait before it) and
the Rescan's end. Against the search's own floor: a settling pause per port, and the whole
round's listening for every port that has a camera (that camera never answers it)."""
import argparse
import json
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

PORTS = 16
# The program's own waits (src/app/find_ports_run.cpp).
SETTLE_S = 0.3
ROUND_S = 2.0


def cameras_on(ports):
    """Cameras on the given driver ports: the first factory-new, the second static, the rest
    with the factory login on DHCP."""
    cameras = []
    for i, port in enumerate(ports):
        camera = {"name": f"cam{port}", "port": port, "accounts": [{"user": "admin", "password": "7395"}]}
        if i == 0:
            camera["accounts"] = []
        if i == 1:
            camera.update(mode="Manual", address="192.168.1.64", prefix=24, gateway="192.168.1.1")
        cameras.append(camera)
    return cameras


def measure(lab_command, wizard, workdir, cameras):
    # Imported here, inside the lab session: the lab's module takes the session's instance,
    # which the outer process must leave free.
    from scan import ScanBench
    bench = ScanBench(lab_command, wizard, workdir, [c["name"] for c in cameras])
    bench.start()
    try:
        bench.enter_camera_page()
        bench.rescan()
        counted = bench.trace.count()
        bench.button("Find Ports").click()
        bench.button("Yes", within=bench.app).click()
        # From the run's first request: the click itself returns only after the driver's own pause.
        index = bench.trace.wait("find ports clicked", counted)[0]
        index, began, _ = bench.trace.wait("Sending Broadcast Packet", index)
        for _ in range(PORTS + 1):  # one request per port, then every port on
            index, all_on_at, _ = bench.trace.wait("cmd: ", index + 1)
        rescan, rescan_at, _ = bench.trace.wait("rescan clicked", index, timeout=300)
        _, ended_at, line = bench.trace.wait("cameras=", rescan)
        found = sum(1 for _, text in bench.trace.lines[index:rescan] if text.startswith("port "))
    finally:
        bench.stop()
    return {"search": all_on_at - began, "restart": rescan_at - all_on_at, "rescan": ended_at - rescan_at,
            "total": ended_at - began, "found": found, "listed": int(line.split("=", 1)[1]),
            "floor": PORTS * SETTLE_S + len(cameras) * ROUND_S}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wizard", required=True)
    parser.add_argument("--workdir", required=True)
    parser.add_argument("--sizes", default="4,16")
    args = parser.parse_args()
    lab_command = os.path.join(HERE, "../tests/lab/lab")
    layouts = {4: [0, 5, 9, 15], PORTS: list(range(PORTS))}
    print("| Cameras | Search (floor) | Restart's wait | Rescan | Whole run | Ports found |")
    print("|---|---|---|---|---|---|")
    for size in (int(s) for s in args.sizes.split(",")):
        cameras = cameras_on(layouts.get(size, list(range(size))))
        with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as f:
            json.dump(cameras, f)
        try:
            # The lab of this size for this measurement only; `lab session` brings it up and down.
            out = subprocess.run([lab_command, "session", "--config", f.name, "--", sys.executable, __file__,
                                  "--one", "--wizard", args.wizard, "--workdir", args.workdir, "--config", f.name],
                                 capture_output=True, text=True)
            if out.returncode != 0:
                sys.stderr.write(out.stdout[-3000:] + out.stderr[-3000:])
                return 1
            r = json.loads(out.stdout.strip().splitlines()[-1])
        finally:
            os.unlink(f.name)
        print(f"| {size} | {r['search']:.1f} s ({r['floor']:.1f} s) | {r['restart']:.1f} s | {r['rescan']:.1f} s "
              f"| {r['total']:.1f} s | {r['found']} of {r['listed']} |", flush=True)
    return 0


def one():
    parser = argparse.ArgumentParser()
    parser.add_argument("--one", action="store_true")
    parser.add_argument("--wizard", required=True)
    parser.add_argument("--workdir", required=True)
    parser.add_argument("--config", required=True)
    args = parser.parse_args()
    with open(args.config, encoding="utf-8") as f:
        cameras = json.load(f)
    print(json.dumps(measure(os.path.join(HERE, "../tests/lab/lab"), args.wizard, args.workdir, cameras)))


if __name__ == "__main__":
    sys.exit(one() if "--one" in sys.argv else main())
