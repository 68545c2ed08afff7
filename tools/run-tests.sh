#!/usr/bin/env bash
# Installs what the tests need, builds, and runs every suite (unit, in-process window tests,
# the executable, the camera lab) with ctest under a virtual display, a private session bus
# and the accessibility bus.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"

bash "$root/tools/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$(nproc)"

session="$(mktemp -d /tmp/velnor-tests.XXXXXX)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$session"
}
trap cleanup EXIT

display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x800x24 -nolisten tcp >"$session/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=":$display"

# A path socket, not an abstract one: the wizard runs in the lab's network namespaces and must
# still reach the bus.
dbus-daemon --session --nofork --address="unix:path=$session/bus" >"$session/dbus.log" 2>&1 &
pids+=($!)
export DBUS_SESSION_BUS_ADDRESS="unix:path=$session/bus"

for _ in $(seq 100); do
    [ -S "$session/bus" ] && [ -e "/tmp/.X11-unix/X$display" ] && break
    sleep 0.1
done
gsettings set org.gnome.desktop.interface toolkit-accessibility true
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$session/atspi.log" 2>&1 &
pids+=($!)

cd "$build"
ctest --output-on-failure -j"$(nproc)"
