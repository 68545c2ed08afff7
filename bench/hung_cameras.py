"""Cameras that accept the connection and never answer: the main loop's longest stall during a
scan, a selection of every row and Connect on them, and the scan's time against its floor with
0, 4 and all of the cameras never answering. One wizard, one lab, one run.

The floor with the cameras asked side by side is the scan's fixed waits (the 1 s pause after the
broadcast and the 4 s of quiet that end it) plus the slowest camera's own requests: curl's time
for its status check and its factory login, made in turn, or once the transport's time-out for a
camera that never answers. A phase that has not ended after the cap (BENCH_CAP_S) is capped: the
hung cameras are made to answer again so that the wizard can finish, and the figure is shown as
at least the cap."""
import time

import scan
from labtest import camera_state, lab
from stalls import StallMeter

# The transport's limit for a whole request; a camera that never answers costs it once per request.
TRANSPORT_TIMEOUT_S = 60.0
# Far longer than the transport waits: the camera holds the connection and never answers.
NEVER_S = 3600
# After a cap: the wizard's request outstanding then still runs to its time-out.
AFTER_CAP_TIMEOUT_S = TRANSPORT_TIMEOUT_S * 3
FACTORY_PASSWORD = "7395"


class HungCameraBench(scan.ScanBench):
    def __init__(self, lab_command, wizard, workdir, cameras, hung, cap_s):
        super().__init__(lab_command, wizard, workdir, cameras)
        self.hung_set, self.cap_s, self.hung = hung, cap_s, []
        self.meter = StallMeter(f"{workdir}/stall-probe.txt")

    def hang(self, names):
        """The given cameras accept and never answer; the others answer again."""
        for name in self.cameras:
            if name in names:
                lab("camera", name, "set", "faults=slow-http", f"slow_seconds={NEVER_S}")
            elif name in self.hung:
                lab("camera", name, "set", "faults=")
        self.hung = list(names)

    def floor_side_by_side(self):
        """1 s + 4 s + the slowest camera's own requests; curl asks the answering ones in turn."""
        answering = [n for n in self.cameras if n not in self.hung]
        own = scan.own_requests(answering)[0] if answering else []
        slowest = max(own + [TRANSPORT_TIMEOUT_S] * (1 if self.hung else 0))
        return {"floor": scan.FIXED_WAITS_S + slowest, "floor_in_turn": scan.FIXED_WAITS_S + sum(own)
                + 2 * TRANSPORT_TIMEOUT_S * len(self.hung)}

    def until(self, condition, what):
        """Waits for the condition up to the cap; past it, the hung cameras answer again and the
        wait goes on. Returns (when it held, capped)."""
        deadline = time.monotonic() + self.cap_s
        while time.monotonic() < deadline:
            if condition():
                return time.monotonic(), False
            time.sleep(0.05)
        capped_at = time.monotonic()
        hung = self.hung
        self.hang([])
        scan.wait_for(what, condition, timeout=AFTER_CAP_TIMEOUT_S)
        self.hang(hung)
        return capped_at, True

    def count(self, prefix, start):
        with self.trace.lock:
            return sum(1 for _, line in self.trace.lines[start:] if line.startswith(prefix))

    def stall(self, name, began, ended, capped):
        seconds, still_open, calls, failed = self.meter.longest(began, ended)
        return {"phase": name, "stall": seconds, "capped": capped or still_open, "calls": calls,
                "failed": failed, "took": ended - began}

    def timed_rescan(self, label):
        """Rescan with the current hung cameras: the stall from the click until the dialog has
        gone, and the scan (netinfo: to cameras=) against its floor."""
        figures = self.floor_side_by_side()
        counted = self.trace.count()
        clicked = time.monotonic()
        self.button("Rescan").click()
        began = self.trace.wait("netinfo:", counted)
        done, capped = self.until(lambda: self.trace.find("broadcast_addr=", began[0]), "the scan's end")
        ended = self.trace.find("cameras=", began[0])
        result = self.stall(label, clicked, done, capped)
        result.update(figures)
        result["hung"] = len(self.hung)
        result["scan"] = (ended[1] - began[1]) if ended and not capped else None
        result["replies"] = int(ended[2].split("=", 1)[1]) if ended else None
        return result

    def select_all(self):
        """A first row on its own (an answering camera), then every row with Ctrl+A, as an
        installer selects them; the stall from the key to the last row's requests."""
        from dogtail import rawinput
        first = next(n for n in self.cameras if n not in self.hung)
        mac = camera_state(first)["mac"]
        counted = self.trace.count()
        cell = scan.wait_for("the first camera's row",
                             lambda: [n for n in self.showing("table cell") if n.name == mac])[0]
        cell.click()
        self.trace.wait("BUFFER CHANGE ROW:", counted)
        time.sleep(0.5)  # the first row's own requests are not part of the figure
        counted = self.trace.count()
        pressed = time.monotonic()
        rawinput.keyCombo("<Control>a")
        rows = len(self.cameras)
        done, capped = self.until(lambda: self.count("BUFFER CHANGE ROW:", counted) >= rows,
                                  "every selected row asked")
        return self.stall("selection of all rows", pressed, done, capped)

    def connect_all(self):
        """Connect with the factory login on every selected row: the stall from the click to the
        last row's requests after it."""
        # The user entry holds the rows' user already ("admin": every row has it).
        password = scan.wait_for("the password entry", lambda: self.showing("password text"))[0]
        password.text = FACTORY_PASSWORD
        rows = len(self.cameras)
        counted = self.trace.count()
        clicked = time.monotonic()
        self.button("Connect").click()

        def finished():
            last = self.trace.find("BUFFER CONNECT:", counted)
            return last and self.count("BUFFER CONNECT:", counted) >= rows and \
                self.count("BUFFER CHANGE ROW:", counted) >= rows
        done, capped = self.until(finished, "every row connected and asked again")
        return self.stall("Connect on all rows", clicked, done, capped)


def run(lab_command, wizard, workdir, cameras, hung, cap_s, repeats):
    """The phases in turn; a list of result dicts, one per phase."""
    bench = HungCameraBench(lab_command, wizard, workdir, cameras, hung, cap_s)
    bench.start()
    results = []
    try:
        bench.enter_camera_page()
        bench.meter.start()
        for _ in range(repeats):
            results.append(bench.timed_rescan("scan, none hung"))
        # Before any row is selected: a Rescan asks the rows still selected again first.
        bench.hang(cameras)
        results.append(bench.timed_rescan(f"scan, all {len(cameras)} hung"))
        bench.hang(hung)
        results.append(bench.timed_rescan(f"scan, {len(hung)} hung"))
        results.append(bench.select_all())
        results.append(bench.connect_all())
    finally:
        bench.meter.stop()
        bench.hang([])
        bench.stop()
    return results
