"""One start-up of a program in the lab: the time from its exec to the first frame of its first
1024x600 window, and its peak resident memory a few seconds after the exec."""
import os
import select
import signal
import subprocess
import time

from Xlib import X, display as xdisplay
from Xlib.ext import damage

HERE = os.path.dirname(os.path.abspath(__file__))
PYTHON = "/usr/bin/python3"
WINDOW_SIZE = (1024, 600)
MEMORY_AFTER_SECONDS = 5.0
START_TIMEOUT_SECONDS = 60.0


class FirstFrameWatch:
    """Watches the display's top-level windows of the splash's size. A window's first frame is
    the first drawing into it after it is mapped: the X server reports it through a Damage
    object made when the window is created, before the program can draw."""

    def __init__(self):
        self.connection = xdisplay.Display()
        self.connection.damage_query_version()
        # python-xlib registers a copy of the event class, so damage events are told by their code.
        self.damage_notify = self.connection.query_extension("DAMAGE").first_event + damage.DamageNotifyCode
        self.connection.screen().root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self.connection.sync()
        self.watched = set()
        self.first_map = None  # (window id, when it was mapped)
        self.first_frame = None

    def close(self):
        self.connection.close()

    def wait(self, deadline):
        """Handles events until the first mapped window has drawn; returns (map, frame) times."""
        fd = self.connection.fileno()
        while self.first_frame is None:
            left = deadline - time.monotonic()
            if left <= 0:
                return self.first_map, None
            if not self.connection.pending_events():
                select.select([fd], [], [], min(left, 0.5))
            now = time.monotonic()
            while self.connection.pending_events():
                self.handle(self.connection.next_event(), now)
        return self.first_map, self.first_frame

    def handle(self, event, now):
        if event.type == X.CreateNotify and (event.width, event.height) == WINDOW_SIZE:
            event.window.damage_create(damage.DamageReportNonEmpty)
            self.watched.add(event.window.id)
        elif event.type == X.MapNotify and event.window.id in self.watched and self.first_map is None:
            self.first_map = (event.window.id, now)
        elif event.type == self.damage_notify and self.first_map is not None:
            if event.drawable.id == self.first_map[0] and self.first_frame is None:
                self.first_frame = now


def read_stamp(path, deadline):
    """The program's pid and its exec time, once the exec stamp is written."""
    while time.monotonic() < deadline:
        try:
            with open(path, encoding="ascii") as stamp:
                pid, started = stamp.read().split()
            return int(pid), float(started)
        except (FileNotFoundError, ValueError):
            time.sleep(0.01)
    return None, None


def peak_memory_kib(pid):
    try:
        with open(f"/proc/{pid}/status", encoding="ascii") as status:
            for line in status:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except FileNotFoundError:
        pass
    return None


def measure(lab, program, workdir, tag):
    """Starts the program as the recorder's program; returns a dict with first_frame and map (ms
    after the exec) and peak_kib, any of them None when it was not seen."""
    stamp = os.path.join(workdir, f"{tag}.stamp")
    if os.path.exists(stamp):
        os.remove(stamp)
    watch = FirstFrameWatch()
    with open(os.path.join(workdir, f"{tag}.out"), "w", encoding="utf-8") as trace:
        runner = subprocess.Popen([lab, "run", PYTHON, os.path.join(HERE, "exec_stamp.py"), stamp, program],
                                  stdout=trace, stderr=subprocess.STDOUT)
    deadline = time.monotonic() + START_TIMEOUT_SECONDS
    pid = None
    try:
        mapped, frame = watch.wait(deadline)
        pid, started = read_stamp(stamp, deadline)
        result = {"map": None, "first_frame": None, "peak_kib": None}
        if pid is None:
            return result
        if mapped is not None:
            result["map"] = (mapped[1] - started) * 1000
        if frame is not None:
            result["first_frame"] = (frame - started) * 1000
        time.sleep(max(0.0, started + MEMORY_AFTER_SECONDS - time.monotonic()))
        result["peak_kib"] = peak_memory_kib(pid)
        return result
    finally:
        watch.close()
        if pid is not None and runner.poll() is None:
            try:
                os.kill(pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
        try:
            runner.wait(timeout=30)
        except subprocess.TimeoutExpired:
            runner.kill()
            runner.wait()
