"""Records what a screen reader receives from the window, step by step.

Not a test: a report of the AT-SPI events the program sends and of what has the focus
after each step, roughly what Orca would speak. Run it on a build of glyphtint and
glyph_archive from the source folder:

    tests/e2e/atspi-session.sh tests/e2e/atspi-record.py build/bin > atspi-report.txt

Steps: start; typing ^1m00; Ctrl+L, Down, Enter (the colour menu); Ctrl+T (new tab);
Ctrl+Tab to About, counting events per second while it shows; Ctrl+Shift+C (copy the
image). Each event is printed with its source's role, name and description as read when
the event arrives, and the text that came with it.
"""
import collections
import sys
import time

import pyatspi

from atspisession import Session, describe, find, key, pump, type_text

EVENTS = ["object:state-changed", "object:text-changed", "object:text-caret-moved", "object:property-change",
          "object:selection-changed", "object:active-descendant-changed", "object:children-changed",
          "focus:", "window:"]
QUIET = 0.7
SETTLE_LIMIT = 6.0
ABOUT_SECONDS = 5
# A step's events listed; the rest are counted.
LISTED = 60


class Recorder:
    def __init__(self):
        self.pid = None
        self.events = []
        self.focused = None
        self.still_busy = False

    def listen(self):
        pyatspi.Registry.registerEventListener(self.on_event, *EVENTS)

    def on_event(self, event):
        try:
            if self.pid is None or event.host_application.get_process_id() != self.pid:
                return
        except Exception:
            return
        line = "%s (%s, %s) from %s" % (event.type, event.detail1, event.detail2, describe(event.source))
        data = event.any_data
        if isinstance(data, str) and data and event.type.startswith("object:text-changed"):
            line += ' text "%s"' % data
        elif data is not None and not isinstance(data, (str, int)) and data != event.source:
            line += " data %s" % describe(data)
        self.events.append((time.monotonic(), line))
        if event.type.startswith("object:state-changed:focused") and event.detail1:
            self.focused = event.source
        elif event.type.startswith("focus:"):
            self.focused = event.source

    def settle(self):
        """Waits until the application has been quiet for a moment; returns the events."""
        start = time.monotonic()
        seen = -1
        last_change = start
        while time.monotonic() - start < SETTLE_LIMIT:
            pump(0.1)
            if len(self.events) != seen:
                seen = len(self.events)
                last_change = time.monotonic()
            elif time.monotonic() - last_change >= QUIET:
                break
        events, self.events = self.events, []
        self.still_busy = time.monotonic() - last_change < QUIET
        return events


def menu_open(app):
    return find(app, lambda a: a.getRole() == pyatspi.ROLE_POPUP_MENU
                and a.getState().contains(pyatspi.STATE_SHOWING)) is not None


def report(title, events, recorder):
    busy = " (still sending after %.0f s)" % SETTLE_LIMIT if recorder.still_busy else ""
    print("== %s: %d events%s" % (title, len(events), busy))
    for _, line in events[:LISTED]:
        print("  " + line)
    if len(events) > LISTED:
        print("  ... and %d more" % (len(events) - LISTED))
    print("  focused after the step: %s" % (describe(recorder.focused) if recorder.focused else "nothing reported"))
    print()
    sys.stdout.flush()


def step(keys, title, recorder):
    """Presses the keys and reports what followed."""
    key(keys)
    report(title, recorder.settle(), recorder)


def main():
    recorder = Recorder()

    class Recording(Session):
        def start_program(self, *arguments, **keywords):
            super().start_program(*arguments, **keywords)
            recorder.pid = self.program.pid

    with Recording(sys.argv[1], on_bus=recorder.listen) as session:
        report("start", recorder.settle(), recorder)
        # One key at a time, so that names are read as they were after each key.
        for character in "^1m00":
            type_text(character)
            pump(0.2)
        report("typing ^1m00", recorder.settle(), recorder)
        step("ctrl+l", "Ctrl+L (colour menu)", recorder)
        step("Down", "Down", recorder)
        step("Return", "Enter", recorder)
        # Enter on a group opens it: a second Enter inserts its first code. The later
        # steps need the menus closed, or the open menu takes their keys.
        step("Return", "Enter (the group's first code)", recorder)
        for _ in range(3):
            if not menu_open(session.app):
                break
            step("Escape", "Escape (a menu was still open)", recorder)
        step("ctrl+t", "Ctrl+T (new tab)", recorder)
        step("ctrl+Tab", "Ctrl+Tab (to About)", recorder)
        pump(ABOUT_SECONDS)
        events = recorder.settle()
        counts = collections.Counter(int(t) for t, _ in events)
        print("== About showing for %d more seconds: %d events, %.1f a second (most in one second: %d)"
              % (ABOUT_SECONDS, len(events), len(events) / ABOUT_SECONDS, max(counts.values(), default=0)))
        for kind, count in collections.Counter(line.split(" ")[0] for _, line in events).most_common():
            print("  %5d %s" % (count, kind))
        print()
        step("ctrl+shift+c", "Ctrl+Shift+C on About (greyed out there)", recorder)
        step("ctrl+shift+Tab", "Ctrl+Shift+Tab (back to Attempt 2)", recorder)
        step("ctrl+shift+c", "Ctrl+Shift+C (copy image to clipboard)", recorder)


if __name__ == "__main__":
    main()
