#!/usr/bin/python3
"""The wizard command's on-screen keyboard starts hidden, and a password field's request shows it."""
import os
import shutil
import signal
import subprocess
import tempfile
import unittest

from wizard_driver import HERE, wait_for

START_KEYBOARD = os.path.join(HERE, "../../tools/start-keyboard.sh")
KEYBOARD = ["--dest=org.onboard.Onboard", "/org/onboard/Onboard/Keyboard"]


def bus(*args):
    return subprocess.run(["dbus-send", "--session", "--print-reply", *args],
                          capture_output=True, text=True).stdout


def on_the_bus():
    return "boolean true" in bus("--dest=org.freedesktop.DBus", "/", "org.freedesktop.DBus.NameHasOwner",
                                 "string:org.onboard.Onboard")


def visible():
    return bus(*KEYBOARD, "org.freedesktop.DBus.Properties.Get", "string:org.onboard.Onboard.Keyboard",
               "string:Visible").strip().endswith("true")


class StartKeyboard(unittest.TestCase):
    def test_hidden_until_a_password_field_asks(self):
        self.assertFalse(on_the_bus(), "another Onboard runs on the test's bus")
        folder = tempfile.mkdtemp(prefix="velnor-keyboard-")
        self.addCleanup(shutil.rmtree, folder, True)
        pid = int(subprocess.run(["bash", START_KEYBOARD, folder], capture_output=True, text=True,
                                 check=True).stdout)
        self.addCleanup(lambda: wait_for(lambda: not on_the_bus(), what="Onboard gone"))
        self.addCleanup(os.kill, pid, signal.SIGTERM)
        wait_for(on_the_bus, what="Onboard on the session bus")
        # Its window is made hidden: asked after its start-up, it is still not shown.
        wait_for(lambda: "boolean" in bus(*KEYBOARD, "org.freedesktop.DBus.Properties.Get",
                                          "string:org.onboard.Onboard.Keyboard", "string:Visible"),
                 what="the keyboard's properties")
        self.assertFalse(visible())
        # What the wizard sends when a password field gets the focus.
        subprocess.run(["dbus-send", "--session", "--type=method_call", *KEYBOARD,
                        "org.onboard.Onboard.Keyboard.Show"], check=True)
        wait_for(visible, what="the keyboard shown")


if __name__ == "__main__":
    unittest.main()
