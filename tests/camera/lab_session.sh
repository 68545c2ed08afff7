#!/bin/bash
# Brings up a lab of the given cameras, runs one program in it as the recorder's program,
# and always takes that lab down again. The exit status is the program's.
#   lab_session.sh LAB_SCRIPT CAMERAS_JSON PROGRAM [ARG...]
set -u
lab=$1
cameras=$2
shift 2

# Never touch a lab that someone else brought up.
if [ -f /run/velnor-lab/up ]; then
    echo "lab_session: another lab is up; not starting one" >&2
    exit 1
fi
"$lab" up --config "$cameras" || exit 1
trap '"$lab" down >/dev/null 2>&1' EXIT
trap 'exit 143' TERM INT

"$lab" run "$@"
