# Sourced by the test command and the benchmark: a virtual display, a private session bus and
# the accessibility bus for the toolkit programs they run, all ended when the caller exits.
# Usage: start_display_session FIRST_DISPLAY_NUMBER. Sets DISPLAY, DBUS_SESSION_BUS_ADDRESS and
# display_session (the folder holding the servers' logs and the bus socket).

display_session_pids=()
end_display_session() {
    for pid in "${display_session_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$display_session"
}

start_display_session() {
    display_session="$(mktemp -d /tmp/velnor-session.XXXXXX)"
    trap end_display_session EXIT

    local display="$1"
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
        display=$((display + 1))
    done
    Xvfb ":$display" -screen 0 1280x800x24 -nolisten tcp >"$display_session/xvfb.log" 2>&1 &
    display_session_pids+=($!)
    export DISPLAY=":$display"

    # A path socket, not an abstract one: programs run in the lab's network namespaces and must
    # still reach the bus.
    dbus-daemon --session --nofork --address="unix:path=$display_session/bus" \
        >"$display_session/dbus.log" 2>&1 &
    display_session_pids+=($!)
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$display_session/bus"

    local _
    for _ in $(seq 100); do
        [ -S "$display_session/bus" ] && [ -e "/tmp/.X11-unix/X$display" ] && break
        sleep 0.1
    done
    # The accessibility bridge is on in every toolkit program: the journeys drive the windows
    # through it.
    gsettings set org.gnome.desktop.interface toolkit-accessibility true
    /usr/libexec/at-spi-bus-launcher --launch-immediately >"$display_session/atspi.log" 2>&1 &
    display_session_pids+=($!)
}
