#!/usr/bin/python3
"""Asks the wizard's main window for its extents over the accessibility bus every 50 ms and
writes one line per call: the monotonic time it was sent, the time it came back, and 1 when the
window answered or 0 when the call failed. The toolkit answers such calls from its main loop, so
a blocked main loop shows as slow or failed calls. Runs until it is ended (SIGTERM).

  stall_probe.py OUTPUT_FILE [APPLICATION_NAME] [WINDOW_TITLE]
"""
import signal
import sys
import time

PERIOD_S = 0.05
FIND_TIMEOUT_S = 60.0


def find_window(application, title):
    import pyatspi
    deadline = time.monotonic() + FIND_TIMEOUT_S
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for index in range(desktop.childCount):
            try:
                app = desktop.getChildAtIndex(index)
                if app is None or app.name != application:
                    continue
                for window in app:
                    if window is not None and window.name == title:
                        return window
            except Exception:  # an application that went away or does not answer now
                continue
        time.sleep(0.2)
    raise SystemExit(f"stall_probe: no window {title!r} of {application!r}")


def main(argv):
    path = argv[1]
    application = argv[2] if len(argv) > 2 else "velnor-config-tool"
    title = argv[3] if len(argv) > 3 else "Velnor Configuration Tool"
    window = find_window(application, title)
    component = window.queryComponent()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    with open(path, "w", encoding="ascii", buffering=1) as out:
        out.write(f"# ready {time.monotonic():.6f}\n")
        while True:
            sent = time.monotonic()
            try:
                component.getExtents(0)
                answered = 1
            except Exception:  # libatspi's own time-out, or the bus refused the call
                answered = 0
            back = time.monotonic()
            out.write(f"{sent:.6f} {back:.6f} {answered}\n")
            time.sleep(max(0.0, sent + PERIOD_S - time.monotonic()))


if __name__ == "__main__":
    sys.exit(main(sys.argv))
