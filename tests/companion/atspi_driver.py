#!/usr/bin/python3
"""Drives desktop programs through their accessibility tree (AT-SPI).

    atspi_driver.py do APP ROLE NAME     run the first action of the object
    atspi_driver.py find APP ROLE NAME   wait until the object exists

The object is the first one, breadth first, of role ROLE (such as "check box"
or "push button"; "any" for every role) named exactly NAME in the
application whose accessible name is APP. Waits up to 20 seconds; exits 0
on success, 1 when nothing matched.
"""
import sys
import time

import pyatspi


def find(app_name, role, name):
    def matches(node):
        return node is not None and node.name == name and role in ("any", node.getRoleName())

    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == app_name:
            found = pyatspi.findDescendant(app, matches, breadth_first=True)
            if found is not None:
                return found
    return None


def main(command, app_name, role, name):
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        try:
            node = find(app_name, role, name)
            if node is not None:
                if command == "do":
                    node.queryAction().doAction(0)
                return 0
        except Exception as error:  # a window that changes while it is read
            print(error, file=sys.stderr)
        time.sleep(0.2)
    print(f"no {role} named {name!r} in {app_name!r}", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:5]))
