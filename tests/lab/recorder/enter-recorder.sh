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
# The program's own state folder, /var/lib/velnor-config-tool, is the lab's folder. The host may
# have no such folder to mount on: /var/lib becomes an overlay whose writes go to a tmpfs of this
# namespace alone (other `lab run`s at the same time have their own), so the host's stays untouched.
mount -t tmpfs velnor-lab-var-lib "$LAB_DIR/var-lib-overlay"
mkdir "$LAB_DIR/var-lib-overlay/upper" "$LAB_DIR/var-lib-overlay/work"
mount -t overlay velnor-lab-var-lib -o "lowerdir=/var/lib,upperdir=$LAB_DIR/var-lib-overlay/upper,workdir=$LAB_DIR/var-lib-overlay/work" /var/lib
mkdir -p /var/lib/velnor-config-tool
mount --bind "$LAB_DIR/var-lib-velnor-config-tool" /var/lib/velnor-config-tool
export PATH="$LAB_DIR/bin:$PATH"
export LD_PRELOAD="$LAB_DIR/libvelnor_poe_stub.so${LD_PRELOAD:+:$LD_PRELOAD}"
exec "$@"
