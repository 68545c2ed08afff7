#!/usr/bin/env bash
# Installs every Debian package that building, running the wizard in the lab, and testing need.
set -euo pipefail

packages=(
    # build
    build-essential cmake pkg-config libgtkmm-3.0-dev libcurl4-openssl-dev uuid-dev
    libglib2.0-dev-bin googletest libgtest-dev
    # virtual display, session bus and accessibility tree
    xvfb x11vnc xauth dbus dbus-x11 dconf-service dconf-gsettings-backend libglib2.0-bin
    gsettings-desktop-schemas at-spi2-core python3 python3-dogtail python3-xlib
    # the camera lab: namespaces, the DHCP server, camera DHCP clients, probes
    iproute2 isc-dhcp-server busybox curl util-linux psmisc procps
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
