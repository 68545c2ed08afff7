#!/bin/bash
# Runs inside the recorder's network namespace, in a private mount namespace made
# for this one command (see `lab run`): puts the lab's stand-ins where the program
# looks for the real things, then becomes the command.
set -eu
LAB_DIR=/run/velnor-lab

mount --bind "$LAB_DIR/etc-dhcp" /etc/dhcp
if [ -e /etc/init.d/isc-dhcp-server ]; then
    mount --bind "$LAB_DIR/recorder/isc-dhcp-server" /etc/init.d/isc-dhcp-server
else
    mount --bind "$LAB_DIR/init.d" /etc/init.d
fi
export PATH="$LAB_DIR/bin:$PATH"
export LD_PRELOAD="$LAB_DIR/libvelnor_poe_stub.so${LD_PRELOAD:+:$LD_PRELOAD}"
exec "$@"
