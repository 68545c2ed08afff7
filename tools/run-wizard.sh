#!/bin/bash
# Runs the wizard end to end in the camera lab (tests/lab): installs what is
# needed, builds, brings up a lab with four cameras (factory-new, factory-default
# credentials, a password of its own, a static address), and runs the program as
# the recorder's, on $DISPLAY or on a virtual display watched through VNC. When the
# wizard ends, everything started here is stopped and the lab taken down.
set -euo pipefail

REPO=$(cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/.." && pwd)
BUILD=$REPO/build
WIZARD_LOG=$BUILD/wizard.log
LAB=$REPO/tests/lab/lab
CAMERAS=4
SCREEN=1024x600x24
VNC_FIRST_PORT=5900
WAIT_TENTHS=100

say() { echo "run-wizard: $*"; }
die() { echo "run-wizard: $*" >&2; exit 1; }
[ "$(id -u)" = 0 ] || die "must run as root (the lab makes network namespaces and mounts)"

started_pids=()
work_dir=""
cleanup() {
    local status=$?
    set +e
    local i
    for ((i = ${#started_pids[@]} - 1; i >= 0; i--)); do
        kill "${started_pids[i]}" 2>/dev/null
        wait "${started_pids[i]}" 2>/dev/null
    done
    [ -n "$work_dir" ] && rm -rf "$work_dir"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

wait_for_path() {
    local i
    for ((i = 0; i < WAIT_TENTHS; i++)); do [ -e "$1" ] && return 0; sleep 0.1; done
    die "$2 did not come up ($1 missing)"
}

free_display() {
    local n
    for ((n = 90; n < 200; n++)); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { echo "$n"; return; }
    done
    die "no free X display number"
}

free_tcp_port() {
    /usr/bin/python3 - "$1" <<'PY'
import socket, sys
for port in range(int(sys.argv[1]), int(sys.argv[1]) + 100):
    with socket.socket() as s:
        try:
            s.bind(("127.0.0.1", port))
        except OSError:
            continue
        print(port)
        break
PY
}

start_virtual_display() {
    local n port
    n=$(free_display)
    Xvfb ":$n" -screen 0 "$SCREEN" -nolisten tcp >"$work_dir/xvfb.log" 2>&1 &
    started_pids+=($!)
    wait_for_path "/tmp/.X11-unix/X$n" "Xvfb"
    export DISPLAY=":$n"
    port=$(free_tcp_port "$VNC_FIRST_PORT")
    x11vnc -display "$DISPLAY" -localhost -forever -shared -nopw -rfbport "$port" \
        >"$work_dir/x11vnc.log" 2>&1 &
    started_pids+=($!)
    say "virtual display $DISPLAY; watch it with a VNC viewer on 127.0.0.1:$port"
    say "  (from another machine: ssh -L $port:127.0.0.1:$port THIS-HOST, then localhost:$port)"
}

start_session_bus() {
    # The program registers itself on the session bus from the recorder's network
    # namespace; an abstract socket would not reach there, a path socket does.
    case "${DBUS_SESSION_BUS_ADDRESS:-}" in unix:path=*) [ -S "${DBUS_SESSION_BUS_ADDRESS#unix:path=}" ] && return ;; esac
    dbus-daemon --session --nofork --address="unix:path=$work_dir/bus" >"$work_dir/dbus.log" 2>&1 &
    started_pids+=($!)
    wait_for_path "$work_dir/bus" "the session bus"
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$work_dir/bus"
}

start_keyboard() {
    # The password fields ask the on-screen keyboard to show; a recorder's session runs one.
    if dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
            string:org.onboard.Onboard 2>/dev/null | grep -q "boolean true"; then
        return
    fi
    started_pids+=("$(bash "$REPO/tools/start-keyboard.sh" "$work_dir")")
    say "started the on-screen keyboard (Onboard), hidden until a password field has the focus"
}

bash "$REPO/tools/install-deps.sh" || die "package installation failed"
say "building into $BUILD"
cmake -S "$REPO" -B "$BUILD" >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target velnor-config-tool velnor_poe_stub

work_dir=$(mktemp -d /tmp/velnor-wizard.XXXXXX)
chmod 755 "$work_dir"
if [ -n "${DISPLAY:-}" ]; then
    say "using display $DISPLAY"
else
    start_virtual_display
fi
start_session_bus
start_keyboard

say "starting the lab and the wizard; its traces are also kept in $WIZARD_LOG"
say "(the lab while it runs: $LAB status; its logs: $LAB logs)"
# `lab session` waits for the lab if tests hold it, and takes the lab down however
# the wizard ends. In the background with `wait`, so that Ctrl-C or a TERM reaches
# the clean-up at once; line-buffered so that the traces show as they are written.
export VELNOR_LAB_POE_STUB=$BUILD/tests/lab/libvelnor_poe_stub.so
"$LAB" session "$CAMERAS" -- /bin/sh -c '"$0" status; exec "$0" run stdbuf -oL -eL "$1"' \
    "$LAB" "$BUILD/velnor-config-tool" > >(tee "$WIZARD_LOG") 2>&1 &
wizard_pid=$!
started_pids+=("$wizard_pid")
set +e
wait "$wizard_pid"
status=$?
set -e
say "the wizard ended with status $status"
exit "$status"
