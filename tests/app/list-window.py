#!/usr/bin/python3
"""Lists KEB's window as a screen reader finds it over the AT-SPI bus and
checks that every control is there with its name and value; then presses ON
through the bus and waits (bounded) for the LED to read "Filter on" and the
input waterfall to name the virtual sound card's 1000 Hz tone.

Waits (bounded) for the application "KEB" on the accessibility bus, prints
its tree (role, name, value, description, one object a line) and exits 0
when all of it was found, 1 with what was missing, 2 when the application
never appeared."""

import sys
import time

import pyatspi

WAIT_SECONDS = 30


def find_application():
    deadline = time.monotonic() + WAIT_SECONDS
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for index in range(desktop.childCount):
            app = desktop.getChildAtIndex(index)
            if app is not None and app.name == "KEB":
                return app
        time.sleep(0.5)
    return None


def value_of(node):
    try:
        return node.queryValue().currentValue
    except NotImplementedError:
        return None


def walk(node, depth, found):
    value = value_of(node)
    role = node.getRoleName()
    line = "  " * depth + role + ' "' + node.name + '"'
    if value is not None:
        line += " value=%g" % value
    if node.description:
        line += ' description="' + node.description + '"'
    print(line)
    found.append((role, node.name, value, node.description))
    for index in range(node.childCount):
        child = node.getChildAtIndex(index)
        if child is not None:
            walk(child, depth + 1, found)


def expected_controls():
    """(role, name, value or None when it has none) of every control."""
    controls = [("slider", "Band %d to %d Hz" % (band * 200, band * 200 + 200), 0)
                for band in range(20)]
    controls.append(("dial", "Shift", 4))
    # The LED: Qt's AT-SPI bridge has no role for an indicator ("unknown").
    controls.append((None, "Stopped", None))
    controls += [("image", "Input waterfall", None), ("image", "Output waterfall", None)]
    for name in ["ON", "OFF", "Filter On", "0.2", "0.4", "1.8", "2.6", "A", "B", "C", "D",
                 "Save", "Def", "?"]:
        controls.append(("push button", name, None))
    return controls


def main():
    app = find_application()
    if app is None:
        print("list-window: KEB did not appear on the accessibility bus", file=sys.stderr)
        return 2
    found = []
    walk(app, 0, found)
    missing = []
    for role, name, value in expected_controls():
        match = [entry for entry in found
                 if entry[1] == name and (role is None or entry[0] == role)
                 and (value is None or entry[2] == value)]
        if not match:
            missing.append("%s \"%s\"%s" % (role or "any role", name,
                                            "" if value is None else " value=%g" % value))
    if missing:
        print("list-window: not found: " + ", ".join(missing), file=sys.stderr)
        return 1
    print("list-window: all %d controls found" % len(expected_controls()))
    return 0 if switched_on(app) else 1


def named(node, name):
    if node.name == name:
        return node
    for index in range(node.childCount):
        child = node.getChildAtIndex(index)
        found = named(child, name) if child is not None else None
        if found is not None:
            return found
    return None


def switched_on(app):
    """Presses ON by its action and waits for the LED and the waterfall."""
    on = named(app, "ON")
    action = on.queryAction()
    names = [action.getName(index) for index in range(action.nActions)]
    print("list-window: ON offers %s" % names)
    action.doAction(names.index("Press"))
    deadline = time.monotonic() + WAIT_SECONDS
    led = waterfall = ""
    while time.monotonic() < deadline:
        led = named(app, "Filter on") or named(app, "Stopped")
        waterfall = named(app, "Input waterfall").description
        if led.name == "Filter on" and "1000 Hz" in waterfall:
            print('list-window: after ON the LED reads "%s" (%s), the input waterfall "%s"'
                  % (led.name, led.description, waterfall))
            return True
        time.sleep(0.5)
    print('list-window: after ON the LED reads "%s", the input waterfall "%s"'
          % (led.name if led else "?", waterfall), file=sys.stderr)
    return False


if __name__ == "__main__":
    sys.exit(main())
