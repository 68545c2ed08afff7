#!/usr/bin/env bash
# Installs every Debian package that building, running the wizard in the lab, and testing need.
set -euo pipefail

packages=(
    # build
    build-essential cmake pkg-config libgtkmm-3.0-dev libcurl4-openssl-dev uuid-dev
    libglib2.0-dev-bin googletest libgtest-dev
    # the sanitizer build's stack symbols and the window suite under memcheck
    llvm valgrind
    # the order of the system calls that replace the DHCP server's file
    strace
    # the fuzz targets: clang with libFuzzer and the sanitizer runtimes
    clang libclang-rt-14-dev
    # virtual display, session bus and accessibility tree
    xvfb x11vnc xauth dbus dbus-x11 dconf-service dconf-gsettings-backend libglib2.0-bin
    gsettings-desktop-schemas at-spi2-core python3 python3-dogtail python3-xlib fonts-dejavu-core
    # the on-screen keyboard the password fields ask for
    onboard
    # the camera lab: namespaces, the DHCP server, camera DHCP clients, probes
    iproute2 isc-dhcp-server busybox curl util-linux psmisc procps
    # the Debian package: dpkg-shlibdeps for its dependencies, and its validators
    dpkg-dev file lintian desktop-file-utils appstream
    # the installation record's tests read its PDF (pdftotext) and draw its picture (pdftoppm)
    poppler-utils
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
done
[ "${#missing[@]}" -eq 0 ] && exit 0

# Installing the DHCP server must not start a DHCP service on this machine's own networks:
# package scripts may not start services while apt runs.
policy=/usr/sbin/policy-rc.d
own_policy=0
if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' >"$policy"
    chmod +x "$policy"
    own_policy=1
fi
status=0
export DEBIAN_FRONTEND=noninteractive
apt-get -o DPkg::Lock::Timeout=600 update -q || status=$?
if [ "$status" -eq 0 ]; then
    apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${missing[@]}" || status=$?
fi
[ "$own_policy" -eq 1 ] && rm -f "$policy"
exit "$status"
