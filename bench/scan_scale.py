"""The scan at scale: a lab of N cameras (16, 64, 256) on a /23 camera network, each at a static
address of its own, and the wizard's Rescan against its floor. The first sixteen hang on the PoE
ports; the others on plain ports of the camera bridge, always powered.

The floor is the one of cameras asked side by side: the scan's fixed waits (the 1 s pause after
the broadcast and the 4 s of quiet that end it) plus the slowest camera's own requests, curl's time
for its status check and its factory login in turn. The floor of cameras asked one after the
other (the fixed waits plus every camera's requests) is shown beside it."""
import scan
from scan_scale_config import POE_PORTS

# A big lab takes a while to boot all of its cameras.
READY_TIMEOUT_S = 600.0


class ScaleBench(scan.ScanBench):
    def floor(self):
        """Both floors; curl asks every camera in turn."""
        own, codes = scan.own_requests(self.cameras)
        return {"floor": scan.FIXED_WAITS_S + max(own), "floor_in_turn": scan.FIXED_WAITS_S + sum(own),
                "codes": sorted(set(codes))}


def run(lab_command, wizard, workdir, cameras, runs):
    """Once every camera is up: per run, the floors, then the program's scan; a list of dicts."""
    scan.wait_for("every camera up", lambda: all(scan.camera_up(n) for n in cameras), timeout=READY_TIMEOUT_S)
    bench = ScaleBench(lab_command, wizard, workdir, cameras, on_poe=cameras[:POE_PORTS])
    return scan.run(lab_command, wizard, workdir, cameras, runs, bench=bench)
