"""The main loop's stalls seen from outside: bench/stall_probe.py runs beside the wizard and asks
its window for its extents every 50 ms; this reads its calls back and finds the longest stall in
a stretch of time. A stall runs from the sending of the first call that did not come back at once
(slow, or failed: libatspi gives up after about 0.8 s) to the next answered call's return; when
every call answers, the longest stall is the slowest round trip. The probe's period bounds the
resolution: a stall may start up to 50 ms before the first call that meets it."""
import os
import signal
import subprocess
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PYTHON = "/usr/bin/python3"
READY_TIMEOUT_S = 60.0
# A probe that has written nothing for this long is inside a call that has not come back.
STUCK_PROBE_S = 1.5


class StallMeter:
    def __init__(self, path):
        self.path = path
        self.process = None

    def start(self):
        self.process = subprocess.Popen([PYTHON, os.path.join(HERE, "stall_probe.py"), self.path],
                                        stdout=subprocess.DEVNULL, stderr=open(self.path + ".err", "w"))
        deadline = time.monotonic() + READY_TIMEOUT_S
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise RuntimeError(f"the stall probe ended: {open(self.path + '.err').read().strip()}")
            if len(self.calls()) >= 3:
                return
            time.sleep(0.1)
        raise RuntimeError("the stall probe never got an answer from the window")

    def stop(self):
        if self.process is not None and self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    def calls(self):
        """(sent, back, answered) of every call so far; a half-written last line is left out."""
        result = []
        try:
            with open(self.path, encoding="ascii") as f:
                for line in f:
                    if line.startswith("#") or not line.endswith("\n"):
                        continue
                    sent, back, answered = line.split()
                    result.append((float(sent), float(back), answered == "1"))
        except FileNotFoundError:
            pass
        return result

    def longest(self, begin, end):
        """The longest stall (s) that touches [begin, end], whether it was still running at end,
        and the number of calls in the stretch: (seconds, open, calls, failed calls)."""
        calls = [c for c in self.calls() if c[1] >= begin and c[0] <= end]
        longest, trouble, still_open = 0.0, None, False
        failed = sum(1 for c in calls if not c[2])
        for sent, back, answered in calls:
            if trouble is None:
                trouble = sent
            if answered:
                longest = max(longest, back - trouble)
                trouble = None
        if calls and trouble is None and calls[-1][1] < end - STUCK_PROBE_S:
            trouble = calls[-1][1]  # the probe's own call has hung since then
        if trouble is not None:  # no answer came before the stretch ended
            longest = max(longest, end - trouble)
            still_open = True
        return longest, still_open, len(calls), failed
