#!/usr/bin/python3
"""lab_session.py LAB UP-ARGS... -- COMMAND...

Holds a lab instance's lock (the one VELNOR_LAB_INSTANCE names, else the first
free one), brings a lab up there (`LAB up UP-ARGS`), runs COMMAND on the host with
VELNOR_LAB set to the lab command and VELNOR_LAB_INSTANCE to the instance, and
takes the lab down again however COMMAND ends; the exit status is COMMAND's. For
test runners and the wizard command: `lab session --config cams.json -- lab run ./my_tests`."""
import os
import signal
import subprocess
import sys

import lab_instance
from lab_lock import LabLock, reserve

LOCK_WAIT_S = float(os.environ.get("VELNOR_LAB_LOCK_WAIT", "600"))
CHILD_STOP_S = 10


class Stop(Exception):
    pass


def raise_stop(signum, frame):
    raise Stop()


def main(argv):
    if len(argv) < 4 or "--" not in argv[2:]:
        sys.stderr.write(__doc__)
        return 2
    lab = argv[1]
    split = argv.index("--", 2)
    up_args, command = argv[2:split], argv[split + 1:]
    if not command:
        sys.stderr.write(__doc__)
        return 2
    signal.signal(signal.SIGTERM, raise_stop)
    signal.signal(signal.SIGHUP, raise_stop)
    child = None
    who = "lab session: " + " ".join(command)
    try:
        instance = lab_instance.given()
        lock = LabLock(LOCK_WAIT_S, who, instance) if instance else reserve(LOCK_WAIT_S, who)
        with lock:
            os.environ[lab_instance.ENV] = lock.instance
            if lock.instance != lab_instance.DEFAULT:
                sys.stderr.write(f"lab: instance {lock.instance} "
                                 f"({lab_instance.ENV}={lock.instance} {lab} status)\n")
            try:
                # Holding the lock, any lab that is up was left behind by a crash.
                subprocess.run([lab, "down"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                if subprocess.run([lab, "up", *up_args]).returncode != 0:
                    return 1
                child = subprocess.Popen(command, env=dict(os.environ, VELNOR_LAB=lab))
                status = child.wait()
                return 128 - status if status < 0 else status  # killed by a signal: as a shell says
            except (Stop, KeyboardInterrupt):
                if child is not None and child.poll() is None:
                    child.terminate()
                    try:
                        child.wait(CHILD_STOP_S)
                    except subprocess.TimeoutExpired:
                        child.kill()
                return 128 + signal.SIGTERM
            finally:
                signal.signal(signal.SIGTERM, signal.SIG_IGN)
                signal.signal(signal.SIGINT, signal.SIG_IGN)
                subprocess.run([lab, "down"], stdout=subprocess.DEVNULL)
    except (TimeoutError, ValueError) as exc:
        sys.stderr.write(f"lab: {exc}\n")
        return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
