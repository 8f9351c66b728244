#!/usr/bin/python3
"""Presses Read in `korvel --demo` the way a screen reader would.

Runs inside a private session bus and an X display (see atspi-read.sh): starts
the accessibility bus, starts korvel with Qt's AT-SPI bridge switched on, finds
the push button named "Read" in korvel's accessible tree and does its press
action, then waits for the "Prompt" box that says "Read Success". It closes the
box and quits through the Close button and the quit question, so the program's
own exit is checked too. Every wait has a bound; whatever it started it ends.

Usage: atspi_read.py KORVEL_PROGRAM
Exit status 0 on success, 1 on failure.
"""

import os
import signal
import socket
import subprocess
import sys
import tempfile
import time

BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
START_TIMEOUT_S = 30  # the bus, the program and its window
READ_TIMEOUT_S = 30  # the demo logger is scanned for after 3 s
EXIT_TIMEOUT_S = 15


class Failure(Exception):
    pass


def step(text):
    print(f"atspi_read: {text}", flush=True)


def wait_for(what, timeout_s, probe, process=None, interval_s=0.25):
    """Calls probe() until it returns something true; fails after timeout_s.

    A Failure from probe, or the end of process, ends the wait at once; other
    errors, such as an accessible that went away while it was looked at, count
    as not yet."""
    deadline = time.monotonic() + timeout_s
    while True:
        if process is not None and process.poll() is not None:
            raise Failure(f"the program ended with status {process.returncode} "
                          f"while waiting for {what}")
        try:
            found = probe()
        except Failure:
            raise
        except Exception as error:
            found = None
            last_error = error
        else:
            last_error = None
        if found:
            return found
        if time.monotonic() > deadline:
            detail = f" (last error: {last_error})" if last_error else ""
            raise Failure(f"no {what} within {timeout_s} s{detail}")
        time.sleep(interval_s)


def display_accepts():
    """Whether the X server of $DISPLAY takes a connection on its socket."""
    number = os.environ.get("DISPLAY", "").lstrip(":").split(".")[0]
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as probe:
        try:
            probe.connect(f"/tmp/.X11-unix/X{number}")
        except OSError:
            return False
    return True


def start(args, log, env=None):
    # A session of its own, so that the process and what it starts end together.
    return subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                            env=env, start_new_session=True)


def stop(process):
    """Ends process and what it started (its process group), politely first."""
    if process is None:
        return
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            # The group may outlive its leader: the bus launcher's own bus does.
            os.killpg(process.pid, sig)
        except ProcessLookupError:
            return
        try:
            process.wait(5)
        except subprocess.TimeoutExpired:
            pass
        time.sleep(0.2)  # what is left of the group after the polite signal is killed


def session_bus_has(name):
    from gi.repository import Gio, GLib

    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    reply = bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus",
                          "org.freedesktop.DBus", "NameHasOwner", GLib.Variant("(s)", (name,)),
                          None, Gio.DBusCallFlags.NO_AUTO_START, 2000, None)
    return reply.unpack()[0]


def descendants(node):
    """Every accessible below node, depth first; children that vanish are passed over."""
    stack = [node]
    while stack:
        current = stack.pop()
        yield current
        try:
            children = [current.getChildAtIndex(i) for i in range(current.childCount)]
        except Exception:
            continue
        stack.extend(child for child in reversed(children) if child is not None)


def find(node, role, name, showing=True):
    import pyatspi

    for accessible in descendants(node):
        try:
            if accessible.getRole() != role or accessible.name != name:
                continue
            if showing and not accessible.getState().contains(pyatspi.STATE_SHOWING):
                continue
            return accessible
        except Exception:
            continue
    return None


def press(button):
    action = button.queryAction()
    names = [action.getName(i).lower() for i in range(action.nActions)]
    for wanted in ("press", "click"):
        if wanted in names:
            if not action.doAction(names.index(wanted)):
                raise Failure(f"the press action of {button.name!r} was refused")
            return
    raise Failure(f"{button.name!r} has no press action, only {names}")


def prompt_saying(app, text):
    """The top-level "Prompt" box of app that holds a label with text."""
    import pyatspi

    for window in (app.getChildAtIndex(i) for i in range(app.childCount)):
        if window is None or window.name != "Prompt":
            continue
        if find(window, pyatspi.ROLE_LABEL, text, showing=False) is not None:
            return window
    return None


def run(program, log):
    step("starting the accessibility bus")
    launcher = start([BUS_LAUNCHER, "--launch-immediately", "--a11y=1"], log)
    korvel = None
    try:
        wait_for("accessibility bus", START_TIMEOUT_S, lambda: session_bus_has("org.a11y.Bus"))
        # Imported only now: the library looks the accessibility bus up as it loads.
        import pyatspi

        # xvfb-run may hand over before its server takes connections; korvel
        # would then abort for want of a display.
        wait_for("X display", START_TIMEOUT_S, display_accepts)
        step(f"starting {program} --demo")
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
        korvel = start([program, "--demo"], log, env)

        def until(what, probe, timeout_s=START_TIMEOUT_S):
            return wait_for(what, timeout_s, probe, korvel)

        def korvel_app():
            desktop = pyatspi.Registry.getDesktop(0)
            for app in (desktop.getChildAtIndex(i) for i in range(desktop.childCount)):
                if app is not None and app.get_process_id() == korvel.pid:
                    return app
            return None

        app = until("korvel in the accessible desktop", korvel_app)
        read = until("showing push button named 'Read'",
                     lambda: find(app, pyatspi.ROLE_PUSH_BUTTON, "Read"))
        step("found the Read button; pressing it")
        press(read)

        box = until("'Prompt' box saying 'Read Success'",
                    lambda: prompt_saying(app, "Read Success"), READ_TIMEOUT_S)
        step("saw 'Read Success'; closing the box")
        press(until("OK button in the box",
                    lambda: find(box, pyatspi.ROLE_PUSH_BUTTON, "OK", False)))
        until("the box to close", lambda: prompt_saying(app, "Read Success") is None)

        step("quitting through Close")
        press(until("showing push button named 'Close'",
                    lambda: find(app, pyatspi.ROLE_PUSH_BUTTON, "Close")))
        question = until("quit question",
                         lambda: prompt_saying(app, "Are you sure you want to quit the system?"))
        press(until("OK button in the question",
                    lambda: find(question, pyatspi.ROLE_PUSH_BUTTON, "OK", False)))
        try:
            status = korvel.wait(EXIT_TIMEOUT_S)
        except subprocess.TimeoutExpired:
            raise Failure(f"korvel still runs {EXIT_TIMEOUT_S} s after OK to quit")
        if status != 0:
            raise Failure(f"korvel ended with status {status}")
        step("korvel quit")
    finally:
        stop(korvel)
        stop(launcher)


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    with tempfile.NamedTemporaryFile("w+", prefix="atspi-read-", suffix=".log") as log:
        try:
            run(sys.argv[1], log)
        except Failure as failure:
            log.flush()
            log.seek(0)
            print(f"atspi_read: FAILED: {failure}\n--- what the programs printed ---\n"
                  f"{log.read()[-6000:]}", flush=True)
            return 1
    print("atspi_read: passed", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
