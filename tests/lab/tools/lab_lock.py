"""One lab per machine: whoever brings a lab up and takes it down again (a test
module, `lab session`, the wizard command) holds this lock for the lab's life, so
that two test runs from different build folders never tear down each other's lab.

The descriptor is not inherited (Python's default), so the lab's daemons never
hold the lock after their starter has gone."""
import fcntl
import os
import sys
import time

LOCK_PATH = "/run/velnor-lab.lock"
POLL_S = 0.5


class LabLock:
    def __init__(self, wait_s, who):
        self.wait_s = wait_s
        self.who = who
        self._fd = None

    def __enter__(self):
        self.acquire()
        return self

    def __exit__(self, *exc):
        self.release()

    def acquire(self):
        fd = os.open(LOCK_PATH, os.O_RDWR | os.O_CREAT, 0o644)
        deadline = time.monotonic() + self.wait_s
        told = False
        while True:
            try:
                fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
                break
            except BlockingIOError:
                if time.monotonic() >= deadline:
                    holder = os.pread(fd, 200, 0).decode(errors="replace").strip()
                    os.close(fd)
                    raise TimeoutError(f"the lab is in use by {holder or 'another process'}")
                if not told:
                    holder = os.pread(fd, 200, 0).decode(errors="replace").strip()
                    sys.stderr.write(f"lab: waiting for the lab, in use by {holder or 'another process'}\n")
                    told = True
                time.sleep(POLL_S)
        os.ftruncate(fd, 0)
        os.pwrite(fd, f"{self.who} (pid {os.getpid()})\n".encode(), 0)
        self._fd = fd

    def release(self):
        if self._fd is not None:
            os.ftruncate(self._fd, 0)
            os.close(self._fd)
            self._fd = None
