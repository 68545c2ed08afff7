#!/bin/sh
# Called by busybox udhcpc inside the camera's namespace. Debian's busybox has no
# default script; this one applies the lease to the interface and drops it again.
case "$1" in
  deconfig)
    ip -4 addr flush dev "$interface"
    ;;
  bound|renew)
    ip -4 addr flush dev "$interface"
    ip addr add "$ip/$mask" dev "$interface"
    if [ -n "$router" ]; then
      for r in $router; do ip route add default via "$r" dev "$interface" && break; done
    fi
    ;;
esac
exit 0
