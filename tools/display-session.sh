# Sourced by the test command and the benchmark: a virtual display, a private session bus and
# the accessibility bus for the toolkit programs they run, all ended when the caller exits.
# Usage: start_display_session FIRST_DISPLAY_NUMBER. Sets DISPLAY, DBUS_SESSION_BUS_ADDRESS and
# display_session (the folder holding the servers' logs and the bus socket).
# Run as a command, `bash tools/display-session.sh -- COMMAND...` runs COMMAND in a session of
# its own (a test that drives windows through the accessibility bus, beside others that do).
#
# The programs started afterwards see the icon theme, schemas, MIME data and themes only as a
# private copy taken at the start (XDG_DATA_DIRS, XDG_DATA_HOME): a package installed on the
# machine meanwhile rewrites the icon theme's cache, and a running toolkit program would drop
# the icons it had loaded.

display_session_pids=()
end_display_session() {
    for pid in "${display_session_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$display_session"
}

# What the toolkit reads from the data folders; hard links where the file system allows,
# since a package replaces files by renaming new ones into place, never by writing into them.
private_data_folders() {
    local share="$display_session/share" part
    mkdir -p "$share" "$display_session/home-share"
    for part in icons glib-2.0 mime themes; do
        [ -d "/usr/share/$part" ] || continue
        cp -al "/usr/share/$part" "$share/" 2>/dev/null || cp -a "/usr/share/$part" "$share/"
    done
    export XDG_DATA_DIRS="$share"
    export XDG_DATA_HOME="$display_session/home-share"
}

start_display_session() {
    display_session="$(mktemp -d /tmp/velnor-session.XXXXXX)"
    trap end_display_session EXIT

    # The server takes the first free display number itself: sessions may start side by side.
    # (The number asked for is no longer needed; it stays for the callers' sake.)
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$display_session/display" \
        >"$display_session/xvfb.log" 2>&1 &
    display_session_pids+=($!)

    # A path socket, not an abstract one: programs run in the lab's network namespaces and must
    # still reach the bus.
    dbus-daemon --session --nofork --address="unix:path=$display_session/bus" \
        >"$display_session/dbus.log" 2>&1 &
    display_session_pids+=($!)
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$display_session/bus"

    local _ display=""
    for _ in $(seq 100); do
        display=$(cat "$display_session/display" 2>/dev/null)
        [ -S "$display_session/bus" ] && [ -n "$display" ] && break
        sleep 0.1
    done
    export DISPLAY=":$display"
    # The accessibility bridge is on in every toolkit program: the journeys drive the windows
    # through it.
    gsettings set org.gnome.desktop.interface toolkit-accessibility true
    /usr/libexec/at-spi-bus-launcher --launch-immediately >"$display_session/atspi.log" 2>&1 &
    display_session_pids+=($!)
    private_data_folders
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -eu
    [ "${1:-}" = -- ] && [ $# -gt 1 ] || { echo "usage: bash $0 -- COMMAND..." >&2; exit 2; }
    shift
    trap 'exit 143' TERM INT  # so that the session is ended on the way out
    start_display_session 90
    status=0
    "$@" || status=$?
    exit "$status"
fi
