"""The program's window seen over AT-SPI, as a screen reader sees it.

Runs inside the D-Bus session and on the display that atspi-session.sh makes: starts
the accessibility bus, then the program with its accessibility on, and finds it on the
desktop. Every wait polls against a deadline.
"""
import os
import subprocess
import sys
import tempfile
import time

import pyatspi
from gi.repository import GLib


def wait_for(what, done, seconds):
    """Polls done() until it gives a true value, which is returned; None when time is up."""
    end = time.monotonic() + seconds
    while True:
        value = done()
        if value or time.monotonic() > end:
            return value or None
        pump(0.1)


def pump(seconds):
    """Lets the events the application sends arrive for that long."""
    context = GLib.MainContext.default()
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        while context.pending():
            context.iteration(False)
        time.sleep(0.01)


def role(accessible):
    try:
        return accessible.getRoleName()
    except Exception:  # an object that went away meanwhile
        return "?"


def describe(accessible):
    """'role "name"' and the description where there is one, as one line."""
    try:
        text = '%s "%s"' % (role(accessible), accessible.name)
        if accessible.description:
            text += ' description "%s"' % accessible.description
        return text
    except Exception:
        return "(gone)"


def walk(accessible, depth=0, limit=30):
    """Every object under accessible with its depth, the showing ones only."""
    yield accessible, depth
    if depth >= limit:
        return
    try:
        children = [accessible.getChildAtIndex(i) for i in range(accessible.childCount)]
    except Exception:
        return
    for child in children:
        if child is not None:
            yield from walk(child, depth + 1, limit)


def find(root, check):
    for accessible, _ in walk(root):
        try:
            if check(accessible):
                return accessible
        except Exception:
            continue
    return None


def dump(root, out=sys.stderr, limit=12):
    """The tree under root, one object a line, indented by depth."""
    for accessible, depth in walk(root, limit=limit):
        print("  " * depth + describe(accessible), file=out)


def key(*keys):
    """Presses keys on the display as a person would (xdotool's names: ctrl+l)."""
    subprocess.run(["xdotool", "key", "--delay", "30", *keys], check=True, timeout=10)


def type_text(text):
    subprocess.run(["xdotool", "type", "--delay", "30", text], check=True, timeout=10)


class Session:
    """The accessibility bus and the program on it; both end with the object."""

    def __init__(self, bin_dir, on_bus=None):
        """on_bus runs once the accessibility bus is up, before the program starts."""
        self.processes = []
        program = os.path.join(os.path.abspath(bin_dir), "glyphtint")
        if not os.access(program, os.X_OK):
            raise SystemExit("FAIL: no program %s (build the targets glyphtint and glyph_archive)" % program)
        self.folder = tempfile.TemporaryDirectory()
        launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(launcher)
        bus = wait_for("the accessibility bus", self._bus_address, 10)
        if not bus:
            raise SystemExit("FAIL: the accessibility bus did not start")
        if on_bus is not None:
            on_bus()
        self.log = os.path.join(self.folder.name, "glyphtint.log")
        self.start_program(program)
        self.app = wait_for("the application", self._find_application, 20)
        if self.app is None:
            others = ", ".join(describe(a) for a in self._applications()) or "none"
            self.fail("glyphtint did not show up on the AT-SPI desktop (applications there: %s)" % others)

    def start_program(self, path):
        environment = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1",
                           QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=self.folder.name)
        with open(self.log, "wb") as log:
            self.program = subprocess.Popen([path], cwd=self.folder.name, env=environment, stdout=log, stderr=log,
                                            stdin=subprocess.DEVNULL)
        self.processes.append(self.program)

    @staticmethod
    def _bus_address():
        # Asks whether the launcher owns its name: asking the launcher itself would have
        # D-Bus start a second one.
        result = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                                 "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", "string:org.a11y.Bus"],
                                capture_output=True, text=True, timeout=5)
        return result.returncode == 0 and "boolean true" in result.stdout

    @staticmethod
    def _applications():
        desktop = pyatspi.Registry.getDesktop(0)
        return [desktop.getChildAtIndex(i) for i in range(desktop.childCount)]

    def _find_application(self):
        if self.program.poll() is not None:
            self.fail("glyphtint ended with status %d" % self.program.returncode)
        for application in self._applications():
            try:
                if application is not None and application.get_process_id() == self.program.pid:
                    return application
            except Exception:
                continue
        return None

    def fail(self, message):
        print("FAIL: " + message, file=sys.stderr)
        with open(self.log, errors="replace") as log:
            output = log.read()
        if output:
            print("--- glyphtint's output:\n" + output, file=sys.stderr)
        self.close()
        sys.exit(1)

    def close(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        self.processes = []
        self.folder.cleanup()

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()
