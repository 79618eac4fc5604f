#!/usr/bin/python3
"""Pings X windows the way a window manager does (_NET_WM_PING every 20 ms) and reports the
longest time any ping waited for its answer.

Usage: ping_probe.py OUTFILE WINDOW_ID...   (ends on SIGTERM; writes "worst_ms pings answered")
A window that goes away stops being pinged."""
import select
import signal
import sys
import time

from Xlib import X, display, error
from Xlib.protocol import event

PERIOD = 0.020


def main():
    out = sys.argv[1]
    d = display.Display()
    root = d.screen().root
    # The answer goes to the root window with the structure masks: any client selecting one of
    # them hears it, so no window manager is needed.
    root.change_attributes(event_mask=X.SubstructureNotifyMask | X.StructureNotifyMask)
    protocols = d.intern_atom("WM_PROTOCOLS")
    ping = d.intern_atom("_NET_WM_PING")
    windows = [d.create_resource_object("window", int(w, 0)) for w in sys.argv[2:]]
    for w in windows:
        advertised = w.get_wm_protocols() or []
        if ping not in advertised:
            print(f"window {w.id:#x} does not advertise _NET_WM_PING", file=sys.stderr)
            sys.exit(2)
    d.set_error_handler(lambda err, req: None)
    pending = {}  # stamp -> (window id, send time)
    gone = set()
    stats = {"worst": 0.0, "pings": 0, "answered": 0}
    stamp = [1]
    stop = []
    signal.signal(signal.SIGTERM, lambda *a: stop.append(1))

    def send(now):
        for w in windows:
            if w.id in gone:
                continue
            s = stamp[0]
            stamp[0] += 1
            ev = event.ClientMessage(window=w, client_type=protocols,
                                     data=(32, [ping, s, w.id, 0, 0]))
            try:
                w.send_event(ev, event_mask=0, propagate=False)
                pending[s] = (w.id, now)
                stats["pings"] += 1
            except error.XError:
                gone.add(w.id)
        d.flush()

    def drain():
        while d.pending_events():
            e = d.next_event()
            if e.type == X.DestroyNotify:
                gone.add(e.window.id)
                for s in [s for s, (wid, _) in pending.items() if wid == e.window.id]:
                    del pending[s]
            if e.type != X.ClientMessage or e.client_type != protocols:
                continue
            fmt, data = e.data
            if data[0] != ping or data[1] not in pending:
                continue
            _, sent = pending.pop(data[1])
            stats["answered"] += 1
            stats["worst"] = max(stats["worst"], time.monotonic() - sent)

    next_send = time.monotonic()
    while not stop:
        now = time.monotonic()
        if now >= next_send:
            send(now)
            next_send += PERIOD
            if next_send < now:
                next_send = now + PERIOD
        try:
            select.select([d.fileno()], [], [], max(0.0, next_send - time.monotonic()))
        except InterruptedError:
            pass
        drain()
    now = time.monotonic()
    drain()
    for _, sent in pending.values():  # still unanswered: waiting all along
        stats["worst"] = max(stats["worst"], now - sent)
    with open(out, "w") as f:
        f.write(f"{stats['worst'] * 1000:.0f} {stats['pings']} {stats['answered']}\n")


if __name__ == "__main__":
    main()
