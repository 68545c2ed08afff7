"""Power and addressing of the camera, applied one change at a time.

Power requests come from the PoE port, address changes from the HTTP interface;
both go through one queue so that an "off" followed at once by an "on" (the
recorder power-cycles its ports back to back) is applied in that order.
"""
import queue
import threading
import time

from . import netif

LIVE_POLL_S = 0.2
ADDRESS_CHANGE_GRACE_S = 0.2  # lets the answer that ordered the change leave first


class PowerController:
    def __init__(self, state, config, guard, dhcp, log):
        self.state = state
        self.config = config
        self.guard = guard
        self.dhcp = dhcp
        self.log = log
        self._queue = queue.Queue()
        self._generation = 0

    def start(self):
        threading.Thread(target=self._run, name="power", daemon=True).start()
        threading.Thread(target=self._watch_live, name="live", daemon=True).start()
        self._queue.put(("startup",))

    @property
    def powered(self):
        return self.state.power == "on"

    def power(self, on):
        self._queue.put(("on",) if on else ("off",))

    def readdress(self):
        """Applies the addressing now in the state, once the answer that changed it has left."""
        self._queue.put(("addressing", ADDRESS_CHANGE_GRACE_S))

    def stop(self):
        self.dhcp.stop()

    def _run(self):
        while True:
            event = self._queue.get()
            try:
                getattr(self, "_on_" + event[0])(*event[1:])
            except Exception as exc:  # keep the camera alive; the log says what failed
                self.log(f"power: {event[0]} failed: {exc!r}")

    def _watch_live(self):
        while True:
            self.state.refresh_live()
            time.sleep(LIVE_POLL_S)

    def _on_startup(self):
        netif.link_up()
        self._apply_addressing()
        self.state.set_power("on")
        self.log("power: on at start")

    def _on_off(self):
        self._generation += 1
        if self.state.power == "off":
            return
        self.dhcp.stop()
        netif.flush()
        netif.link_down()
        self.guard.forget_all()
        self.state.set_power("off")
        self.state.refresh_live()
        self.log("power: off")

    def _on_on(self):
        if self.state.power != "off":
            return
        self._generation += 1
        generation = self._generation
        delay = float(self.config.get("boot_delay"))
        self.state.set_power("booting")
        self.log(f"power: booting for {delay:g} s")
        timer = threading.Timer(delay, self._queue.put, args=(("booted", generation),))
        timer.daemon = True
        timer.start()

    def _on_booted(self, generation):
        if generation != self._generation or self.state.power != "booting":
            return  # switched off again while booting
        netif.link_up()
        self._apply_addressing()
        self.state.set_power("on")
        self.log("power: on after boot")

    def _on_addressing(self, grace):
        time.sleep(grace)
        if self.state.power == "on":
            self._apply_addressing()

    def _apply_addressing(self):
        if self.state.mode == "DHCP":
            netif.flush()
            self.dhcp.start()
            self.log("address: asking DHCP")
        else:
            self.dhcp.stop()
            s = self.state.static
            if s["address"]:
                netif.apply_static(s["address"], s["prefix"], s["gateway"])
            else:
                netif.flush()
            self.log(f"address: static {s['address']}/{s['prefix']} gateway {s['gateway'] or '-'}")
        self.state.refresh_live()
