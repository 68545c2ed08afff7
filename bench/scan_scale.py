"""The scan at scale: a lab of N cameras (16, 64, 256) on a /23 camera network, each at a static
address of its own, and the wizard's Rescan against its floor. The first sixteen hang on the PoE
ports; the others on plain ports of the camera bridge, always powered.

The floor is the one of cameras asked side by side: the scan's fixed waits (the 1 s pause after
the broadcast and the 4 s of quiet that end it) plus the slowest camera's own requests, curl's time
for its status check and its factory login in turn. The floor of cameras asked one after the
other (the fixed waits plus every camera's requests) is shown beside it."""
import time

import scan
from labtest import camera_state, read_log
from scan_scale_config import POE_PORTS

# A big lab takes a while to boot all of its cameras.
READY_TIMEOUT_S = 600.0


class ScaleBench(scan.ScanBench):
    def __init__(self, lab_command, wizard, workdir, cameras, poe):
        super().__init__(lab_command, wizard, workdir, cameras)
        self.poe = set(poe)

    def cameras_back(self, events):
        """Those on the PoE ports after the entry's power cycle; the others were never off."""
        for name in self.cameras:
            try:
                state = camera_state(name)
            except (OSError, ValueError):
                return False
            if name in self.poe and "power: on after boot" not in read_log(f"cameras/{name}/events.log",
                                                                          events[name]):
                return False
            if state["power"] != "on" or not state.get("http_listening") or not state["live"]["address"]:
                return False
        return True

    def floors(self):
        addresses = [camera_state(name)["live"]["address"] for name in self.cameras]
        status, status_codes = scan.curl_seconds(addresses, scan.STATUS_PATH, "")
        login, login_codes = scan.curl_seconds(addresses, scan.DEVICE_INFO_PATH, scan.FACTORY_LOGIN)
        own = [a + b for a, b in zip(status, login)]
        return {"floor": scan.FIXED_WAITS_S + max(own), "floor_in_turn": scan.FIXED_WAITS_S + sum(own),
                "answered": len(status) + len(login), "codes": sorted(set(status_codes + login_codes))}


def wait_ready(cameras):
    def ready():
        for name in cameras:
            try:
                state = camera_state(name)
            except (OSError, ValueError):
                return False
            if state["power"] != "on" or not state.get("http_listening") or not state["live"]["address"]:
                return False
        return True
    started = time.monotonic()
    scan.wait_for("every camera up", ready, timeout=READY_TIMEOUT_S)
    return time.monotonic() - started


def run(lab_command, wizard, workdir, cameras, runs):
    """Per run: the floors, then the program's scan; a list of dicts."""
    wait_ready(cameras)
    bench = ScaleBench(lab_command, wizard, workdir, cameras, cameras[:POE_PORTS])
    bench.start()
    results = []
    try:
        bench.enter_camera_page()
        for _ in range(runs):
            result = bench.floors()
            result.update(bench.rescan())
            results.append(result)
    finally:
        bench.stop()
    return results
