"""One lab per instance: whoever brings a lab up and takes it down again (a test
module, `lab session`, the wizard command) holds its instance's lock for the lab's
life, so that two test runs never tear down each other's lab. `reserve` takes the
first free instance for a runner that was given none.

The descriptor is not inherited (Python's default), so the lab's daemons never
hold the lock after their starter has gone."""
import fcntl
import os
import sys
import time

import lab_instance

POLL_S = 0.5


def live_owner_of_lab(instance=None):
    """The owner line of the instance's lab that is up, while its owner still runs; else
    None. A lab whose owner has gone (crashed) is a leftover anyone may take down."""
    try:
        with open(os.path.join(lab_instance.lab_dir(instance), "up"), encoding="utf-8",
                  errors="replace") as f:
            line = f.read().strip()
    except OSError:
        return None
    fields = line.split(" ", 2)
    if len(fields) < 2 or not fields[0].isdigit():
        return None
    try:
        with open(f"/proc/{fields[0]}/stat", encoding="ascii") as f:
            stat = f.read().rsplit(")", 1)[1].split()
    except OSError:
        return None
    if stat[0] == "Z" or stat[19] != fields[1]:
        return None
    return line


class LabLock:
    """The lock of one instance (by default the one the environment names, else 0)."""

    def __init__(self, wait_s, who, instance=None):
        self.wait_s = wait_s
        self.who = who
        self.instance = instance or lab_instance.current()
        self._fd = None

    def __enter__(self):
        if self._fd is None:  # reserve() hands it over taken
            self.acquire()
        return self

    def __exit__(self, *exc):
        self.release()

    def acquire(self):
        fd = os.open(lab_instance.lock_path(self.instance), os.O_RDWR | os.O_CREAT, 0o644)
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
        self._take(fd)
        # A lab brought up without the lock (by hand, or by a runner of its own) is
        # left alone while its owner lives.
        told = False
        while True:
            owner = live_owner_of_lab(self.instance)
            if owner is None:
                return
            if time.monotonic() >= deadline:
                self.release()
                raise TimeoutError(f"a lab is up, owned by the running process {owner}")
            if not told:
                sys.stderr.write(f"lab: waiting for the lab that is up, owned by {owner}\n")
                told = True
            time.sleep(POLL_S)

    def release(self):
        if self._fd is not None:
            os.ftruncate(self._fd, 0)
            os.close(self._fd)
            self._fd = None

    def try_acquire(self):
        """Takes the lock only when it is free and no lab of the instance is up under a
        running owner; True when taken."""
        fd = os.open(lab_instance.lock_path(self.instance), os.O_RDWR | os.O_CREAT, 0o644)
        try:
            fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            os.close(fd)
            return False
        if live_owner_of_lab(self.instance) is not None:
            os.close(fd)
            return False
        self._take(fd)
        return True

    def _take(self, fd):
        """Holding the lock: the file names the holder for those who wait."""
        os.ftruncate(fd, 0)
        os.pwrite(fd, f"{self.who} (pid {os.getpid()})\n".encode(), 0)
        self._fd = fd


def reserve(wait_s, who):
    """The lock of the first free instance, waiting at most wait_s for one to come free."""
    deadline = time.monotonic() + wait_s
    told = False
    while True:
        for instance in lab_instance.ALL:
            lock = LabLock(wait_s, who, instance)
            if lock.try_acquire():
                return lock
        if time.monotonic() >= deadline:
            raise TimeoutError("every lab instance is in use")
        if not told:
            sys.stderr.write("lab: waiting for a free lab instance\n")
            told = True
        time.sleep(POLL_S)
