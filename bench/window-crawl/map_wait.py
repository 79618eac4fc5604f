#!/usr/bin/python3
"""Waits until a window whose name matches PATTERN is shown, and prints its id in hex and the
wall clock in milliseconds when it was seen.

Usage: map_wait.py PATTERN [TIMEOUT_S]   (exit 1 on time-out)
It listens for the X server's map events instead of polling with xdotool: a poll every few
milliseconds starts a process each time and takes processor time from the crawl it measures."""
import re
import select
import sys
import time

from Xlib import X, display, error


def name_of(d, w, utf8, net_name):
    try:
        prop = w.get_full_property(net_name, utf8)
        if prop and prop.value:
            v = prop.value
            return v.decode("utf-8", "replace") if isinstance(v, bytes) else str(v)
        n = w.get_wm_name()
        return n.decode("utf-8", "replace") if isinstance(n, bytes) else (n or "")
    except error.XError:
        return ""


def shown(d, root, pattern, utf8, net_name):
    for w in root.query_tree().children:
        try:
            if w.get_attributes().map_state != X.IsViewable:
                continue
        except error.XError:
            continue
        if pattern.search(name_of(d, w, utf8, net_name)):
            return w
    return None


def main():
    pattern = re.compile(sys.argv[1])
    deadline = time.monotonic() + (float(sys.argv[2]) if len(sys.argv) > 2 else 600)
    d = display.Display()
    d.set_error_handler(lambda err, req: None)
    root = d.screen().root
    root.change_attributes(event_mask=X.SubstructureNotifyMask)
    utf8 = d.intern_atom("UTF8_STRING")
    net_name = d.intern_atom("_NET_WM_NAME")
    d.sync()
    print("listening", flush=True)
    w = shown(d, root, pattern, utf8, net_name)  # already there before we listened
    while w is None:
        left = deadline - time.monotonic()
        if left <= 0:
            sys.exit(1)
        if d.pending_events() == 0:
            select.select([d], [], [], left)
        while d.pending_events():
            ev = d.next_event()
            if ev.type not in (X.MapNotify, X.PropertyNotify):
                continue
            if pattern.search(name_of(d, ev.window, utf8, net_name)):
                w = ev.window
            elif ev.type == X.MapNotify:  # named later: hear its name change
                ev.window.change_attributes(event_mask=X.PropertyChangeMask)
    print(hex(w.id), int(time.time() * 1000), flush=True)


if __name__ == "__main__":
    main()
