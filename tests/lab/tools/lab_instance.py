"""Which lab a process works with. Several labs may be up at once on one machine, each an
instance with names of its own; instance 0 has the names a lab has always had, and is what
a command without an instance means (`lab up` by hand).

  VELNOR_LAB_INSTANCE   0..9: the instance to use. Unset: `lab session` and the test
                        helpers take a free one and set it for everything they start.

The `lab` script applies the same rule in shell; keep the two alike."""
import os

ENV = "VELNOR_LAB_INSTANCE"
DEFAULT = "0"
# One character, so that the longest namespace, vlab9- and a camera name of nine, is 15 long.
ALL = [str(n) for n in range(10)]


def given():
    """The instance asked for in the environment, or None when none was."""
    value = os.environ.get(ENV, "")
    if value == "":
        return None
    if value not in ALL:
        raise ValueError(f"{ENV}={value!r}: expected one of {' '.join(ALL)}")
    return value


def current():
    return given() or DEFAULT


def suffix(instance):
    return "" if instance == DEFAULT else f"-{instance}"


def lab_dir(instance=None):
    return "/run/velnor-lab" + suffix(instance or current())


def lock_path(instance=None):
    return lab_dir(instance) + ".lock"


def namespace_prefix(instance=None):
    instance = instance or current()
    return "vlab-" if instance == DEFAULT else f"vlab{instance}-"
