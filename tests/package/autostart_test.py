#!/usr/bin/python3
"""The autostart script starts the wizard with the session only while the stamp of the completed
installation is missing. It runs against a stand-in wizard on PATH, in a private mount namespace
whose /var/lib is a tmpfs of its own: the host's /var/lib is never written.

Run by ctest as root with the source's script; the package test runs the installed one the same
way (check_autostart)."""
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_SCRIPT = os.path.join(HERE, "../../packaging/autostart")
STATE_FOLDER = "/var/lib/velnor-config-tool"
STAMP = STATE_FOLDER + "/completed"
SKIPPED = 77

# What /var/lib/velnor-config-tool holds, and whether the session then starts the wizard.
CASES = [
    ("a fresh recorder: no folder", "", True),
    ("the folder without the stamp", f"mkdir {STATE_FOLDER}", True),
    ("the stamp the wizard writes", f"mkdir {STATE_FOLDER} && echo 2026-12-10T19:05:12+00:00 > {STAMP}", False),
    ("an empty stamp", f"mkdir {STATE_FOLDER} && : > {STAMP}", False),
]


def in_private_var_lib(setup, argv, env=None):
    """Runs setup (shell) and then argv with a tmpfs over /var/lib; returns the completed process."""
    return subprocess.run(
        ["unshare", "--mount", "--propagation", "private", "sh", "-c",
         f'mount -t tmpfs velnor-test-var-lib /var/lib && {setup or ":"} && exec "$@"', "sh", *argv],
        capture_output=True, text=True, timeout=60, env=env)


def check_autostart(script):
    """Runs the script in each case; returns the failures as texts (none: all well)."""
    failures = []
    for name, setup, starts in CASES:
        with tempfile.TemporaryDirectory() as stand_in:
            started = os.path.join(stand_in, "started")
            wizard = os.path.join(stand_in, "velnor-config-tool")
            with open(wizard, "w") as f:
                f.write(f'#!/bin/sh\nprintf "%s\\n" "$@" > {started}\n')
            os.chmod(wizard, 0o755)
            env = dict(os.environ, PATH=stand_in + ":" + os.environ.get("PATH", "/usr/bin:/bin"))
            result = in_private_var_lib(setup, [script, "--from-session"], env)
            if result.returncode != 0:
                failures.append(f"{name}: exit {result.returncode} {result.stderr.strip()}")
            elif os.path.exists(started) != starts:
                failures.append(f"{name}: the wizard {'did not start' if starts else 'started'}")
            elif starts and open(started).read() != "--from-session\n":
                failures.append(f"{name}: the wizard got {open(started).read()!r}")
    return failures


class AutostartScript(unittest.TestCase):
    def test_starts_the_wizard_only_while_the_stamp_is_missing(self):
        self.assertEqual(check_autostart(SOURCE_SCRIPT), [])


if __name__ == "__main__":
    if os.geteuid() != 0:
        print("skipped: a private mount namespace needs root")
        sys.exit(SKIPPED)
    unittest.main()
