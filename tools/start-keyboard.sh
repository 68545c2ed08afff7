#!/bin/bash
# Starts the on-screen keyboard (Onboard) on the session bus, hidden: the first focus on a
# password field shows it, so it does not cover the welcome page before. Its settings are kept
# in a keyfile inside FOLDER, so the user's own Onboard settings stay as they are.
# Usage: start-keyboard.sh FOLDER (Onboard's log goes there too); prints Onboard's process id.
set -euo pipefail
folder=$1
mkdir -p "$folder/onboard-config"
export XDG_CONFIG_HOME=$folder/onboard-config GSETTINGS_BACKEND=keyfile
gsettings set org.onboard start-minimized true
onboard >"$folder/onboard.log" 2>&1 &
echo $!
