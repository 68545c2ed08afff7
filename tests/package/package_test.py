#!/usr/bin/python3
"""Builds the recorder's Debian package, validates it, installs it with apt-get on this machine,
runs its autostart script and its postrm against the stamp of a completed installation (in a
/var/lib of their own) and starts the installed wizard once on the test's X display.

Run by ctest from the build folder, as root. The package is purged again at the end unless it
was installed before the test (then the freshly built one stays installed): an autostart entry
left behind would start the wizard in every desktop session of the host.
"""
import os
import re
import signal
import subprocess
import sys
import tempfile
import time

from Xlib import X, display as xdisplay

from autostart_test import STATE_FOLDER, check_autostart, in_private_var_lib

BUILD_DIR = os.environ.get("VELNOR_BUILD_DIR", os.getcwd())
PACKAGE = "velnor-config-tool"
WIZARD = "/usr/bin/velnor-config-tool"
TITLE = "Velnor Configuration Tool"
MAIN_WINDOW_WIDTH = 1024
APP_ID = "com.velnor.ConfigurationTool"
AUTOSTART = f"/etc/xdg/autostart/{APP_ID}.desktop"
MENU_ENTRY = f"/usr/share/applications/{APP_ID}.desktop"
# What the autostart entry runs: the wizard, until the installation has been completed.
AUTOSTART_SCRIPT = "/usr/libexec/velnor-config-tool/autostart"
POSTRM = f"/var/lib/dpkg/info/{PACKAGE}.postrm"
SKIPPED = 77

# Every file the package and an install into a DESTDIR (prefix /usr) must hold.
EXPECTED_FILES = sorted([
    WIZARD,
    MENU_ENTRY,
    AUTOSTART,
    AUTOSTART_SCRIPT,
    "/usr/share/icons/hicolor/16x16/apps/velnor-config-tool.png",
    f"/usr/share/metainfo/{APP_ID}.metainfo.xml",
    "/usr/share/man/man1/velnor-config-tool.1.gz",
    "/usr/share/doc/velnor-config-tool/copyright",
    "/usr/share/doc/velnor-config-tool/changelog.gz",
])

# Control fields: the name, and what each relation must name (libraries from dpkg-shlibdeps).
EXPECTED_RELATIONS = [
    ("Package", ["velnor-config-tool"]),
    ("Depends", ["libgtkmm-3.0-1v5", "libcurl4", "libuuid1", "libc6", "dbus-bin"]),
    ("Recommends", ["isc-dhcp-server", "onboard"]),
]

# The splash shows for 3 s first; the bound is a safety net for a loaded machine.
WINDOW_TIMEOUT = 60
APT_LOCK_TIMEOUT = 600
# Wait for another apt; no progress bars in the log.
APT_OPTIONS = ["-o", f"DPkg::Lock::Timeout={APT_LOCK_TIMEOUT}", "-o", "Dpkg::Use-Pty=0"]


class Failure(Exception):
    pass


def step(text):
    print(f"== {text}", flush=True)


def run(args, timeout=600, show=True, **kwargs):
    """Runs a command, shows its output (always when it fails), and fails on a non-zero status."""
    result = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                            timeout=timeout, **kwargs)
    if result.stdout and (show or result.returncode != 0):
        print(result.stdout, end="" if result.stdout.endswith("\n") else "\n", flush=True)
    if result.returncode != 0:
        raise Failure(f"{args[0]} exited with {result.returncode}")
    return result.stdout


def files_under(root):
    found = []
    for folder, _, names in os.walk(root):
        found += ["/" + os.path.relpath(os.path.join(folder, name), root) for name in names]
    return sorted(found)


def build_package():
    step("cpack")
    output = run(["cpack", "-G", "DEB", "--config", "CPackConfig.cmake"], cwd=BUILD_DIR)
    built = re.findall(r"package: (\S+\.deb) generated", output)
    if len(built) != 1:
        raise Failure(f"cpack named {len(built)} packages")
    return built[0]


def check_contents(deb, unpacked):
    step("contents")
    run(["dpkg-deb", "-x", deb, unpacked])
    shipped = files_under(unpacked)
    if shipped != EXPECTED_FILES:
        raise Failure(f"the package holds {shipped}, expected {EXPECTED_FILES}")
    for field, names in EXPECTED_RELATIONS:
        value = run(["dpkg-deb", "-f", deb, field], show=False)
        held = {re.split(r"[ (]", part.strip())[0] for part in value.split(",")}
        missing = [name for name in names if name not in held]
        if missing:
            raise Failure(f"{field} lacks {missing}")
    # A text mangled on its way into the control file, as by an XML escape of '.
    description = run(["dpkg-deb", "-f", deb, "Description"], show=False)
    if re.search(r"&\w+;", description):
        raise Failure("the description holds an escaped character")
    with tempfile.TemporaryDirectory() as control:
        run(["dpkg-deb", "-e", deb, control])
        with open(os.path.join(control, "conffiles")) as conffiles:
            if conffiles.read().split() != [AUTOSTART]:
                raise Failure("the autostart entry is not the one conffile")
        if not os.access(os.path.join(control, "postrm"), os.X_OK):
            raise Failure("no executable postrm: a purge would leave the wizard's stamp")
    # The session starts the script, the menu the wizard itself.
    for entry, command in ((AUTOSTART, AUTOSTART_SCRIPT), (MENU_ENTRY, "velnor-config-tool")):
        with open(unpacked + entry) as desktop:
            execs = [line.strip() for line in desktop if line.startswith("Exec=")]
        if execs != [f"Exec={command}"]:
            raise Failure(f"{entry} runs {execs}, expected Exec={command}")


def check_install_into_destdir():
    step("cmake --install into a DESTDIR")
    with tempfile.TemporaryDirectory() as destdir:
        run(["cmake", "--install", BUILD_DIR, "--prefix", "/usr"], env=dict(os.environ, DESTDIR=destdir))
        installed = files_under(destdir)
        if installed != EXPECTED_FILES:
            raise Failure(f"the install holds {installed}, expected {EXPECTED_FILES}")


def validate(deb, unpacked):
    step("desktop-file-validate")
    run(["desktop-file-validate", unpacked + MENU_ENTRY, unpacked + AUTOSTART])
    step("appstreamcli validate")
    run(["appstreamcli", "validate", "--no-net", unpacked + f"/usr/share/metainfo/{APP_ID}.metainfo.xml"])
    step("lintian")
    run(["lintian", "--fail-on", "error", "--info", deb])


def installed_version():
    result = subprocess.run(["dpkg-query", "-W", "-f", "${Status} ${Version}", PACKAGE],
                            capture_output=True, text=True)
    return result.stdout.split()[-1] if "ok installed" in result.stdout else None


def install(deb):
    step("apt-get install")
    # Package scripts may not start services while apt runs.
    policy = "/usr/sbin/policy-rc.d"
    own_policy = not os.path.exists(policy)
    if own_policy:
        with open(policy, "w") as script:
            script.write("#!/bin/sh\nexit 101\n")
        os.chmod(policy, 0o755)
    try:
        # --reinstall: a package of the same version from an earlier build is replaced too.
        run(["apt-get", *APT_OPTIONS, "install", "-y", "-q",
             "--no-install-recommends", "--reinstall", os.path.abspath(deb)],
            env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"), timeout=APT_LOCK_TIMEOUT + 300)
    finally:
        if own_policy:
            os.remove(policy)
    run(["dpkg", "--verify", PACKAGE])
    listed = run(["dpkg-query", "-L", PACKAGE], show=False).split()
    absent = [path for path in EXPECTED_FILES if path not in listed or not os.path.exists(path)]
    if absent:
        raise Failure(f"not installed: {absent}")


def check_installed_autostart():
    step(f"{AUTOSTART_SCRIPT} with and without the stamp")
    failures = check_autostart(AUTOSTART_SCRIPT)
    if failures:
        raise Failure("; ".join(failures))


def check_postrm():
    """The installed postrm, run as dpkg runs it, with a /var/lib of its own: only a purge takes
    the wizard's folder with its stamp away."""
    step("postrm with the stamp")
    with tempfile.TemporaryDirectory() as copy:
        # The script lies under /var/lib, which the private tmpfs covers.
        postrm = os.path.join(copy, "postrm")
        with open(POSTRM, "rb") as source, open(postrm, "wb") as target:
            target.write(source.read())
        os.chmod(postrm, 0o755)
        stamped = f"mkdir -p {STATE_FOLDER} && date -Iseconds > {STATE_FOLDER}/completed"
        for argument, kept in (("remove", True), ("upgrade", True), ("purge", False)):
            result = in_private_var_lib(
                stamped, ["sh", "-c", f'"$0" {argument} && if [ -e {STATE_FOLDER} ]; then echo kept; fi', postrm])
            if result.returncode != 0:
                raise Failure(f"postrm {argument} exited {result.returncode}: {result.stderr}")
            if (result.stdout == "kept\n") != kept:
                raise Failure(f"postrm {argument} {'removed' if kept else 'left'} {STATE_FOLDER}")


def purge():
    step("apt-get purge")
    run(["apt-get", *APT_OPTIONS, "purge", "-y", "-q", PACKAGE],
        env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"), timeout=APT_LOCK_TIMEOUT + 300)
    if os.path.exists(STATE_FOLDER):
        raise Failure(f"{STATE_FOLDER} left after the purge")


def main_window_of(connection, pid):
    """The mapped top-level window of pid with the wizard's title and width, or None."""
    pid_atom = connection.intern_atom("_NET_WM_PID")
    name_atom = connection.intern_atom("_NET_WM_NAME")
    for window in connection.screen().root.query_tree().children:
        try:
            if window.get_attributes().map_state != X.IsViewable:
                continue
            owner = window.get_full_property(pid_atom, X.AnyPropertyType)
            name = window.get_full_property(name_atom, X.AnyPropertyType)
            if not owner or int(owner.value[0]) != pid or not name:
                continue
            title = name.value.decode() if isinstance(name.value, bytes) else str(name.value)
            if title == TITLE and window.get_geometry().width == MAIN_WINDOW_WIDTH:
                return window
        except Exception:
            continue  # a window that vanished between the listing and the question
    return None


def start_installed_wizard():
    step(f"start {WIZARD}")
    connection = xdisplay.Display(os.environ["DISPLAY"])
    with tempfile.TemporaryFile() as output:
        # The wizard reads the DHCP server's file at start: an empty /etc/dhcp of its own, never
        # the host's. The exec keeps the pid that its windows carry.
        wizard = subprocess.Popen(
            ["unshare", "--mount", "--propagation", "private", "sh", "-c",
             'mount -t tmpfs velnor-package-test /etc/dhcp && exec "$0"', WIZARD],
            stdout=output, stderr=subprocess.STDOUT)
        try:
            deadline = time.monotonic() + WINDOW_TIMEOUT
            while main_window_of(connection, wizard.pid) is None:
                if wizard.poll() is not None:
                    raise Failure(f"the wizard ended with {wizard.returncode} before its window showed")
                if time.monotonic() > deadline:
                    raise Failure(f"no window \"{TITLE}\" {MAIN_WINDOW_WIDTH} wide within {WINDOW_TIMEOUT} s")
                time.sleep(0.1)
            print(f"window \"{TITLE}\" shown", flush=True)
        finally:
            # SIGTERM ends it before its shutdown, which would open /dev/poe.
            if wizard.poll() is None:
                wizard.send_signal(signal.SIGTERM)
            wizard.wait(timeout=30)
            connection.close()
            output.seek(0)
            traces = output.read().decode(errors="replace")
            if traces:
                print("-- the wizard's output:\n" + traces, end="", flush=True)
        if wizard.returncode != -signal.SIGTERM:
            raise Failure(f"the wizard ended with {wizard.returncode}, not by SIGTERM")


def main():
    if os.geteuid() != 0:
        print("skipped: installing a package needs root")
        return SKIPPED
    if not os.environ.get("DISPLAY"):
        raise Failure("no DISPLAY to start the wizard on")
    deb = build_package()
    with tempfile.TemporaryDirectory() as unpacked:
        check_contents(deb, unpacked)
        validate(deb, unpacked)
    check_install_into_destdir()
    was_installed = installed_version() is not None
    try:
        install(deb)
        check_installed_autostart()
        check_postrm()
        start_installed_wizard()
    finally:
        if not was_installed and installed_version() is not None:
            purge()
    print(f"passed: {os.path.basename(deb)}")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except (Failure, subprocess.TimeoutExpired) as failure:
        print(f"FAILED: {failure}", flush=True)
        sys.exit(1)
