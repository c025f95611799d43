#!/usr/bin/python3
# Usage: atspi_driver.py do|find APP ROLE NAME [COMMAND...]
# Runs COMMAND, if given (one that opens a menu, say), then waits for the one
# object of role ROLE ("any" for every role; "menu item" takes check menu
# items too) named exactly NAME in the accessibility tree of the application
# APP; "do" runs its first action. Exit status 0 once done, 1 when no single
# such object shows within 10 seconds of COMMAND, or 20 without one.
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

command, app_name, role, name, opener = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5:]
deadline = time.monotonic() + (10 if opener else 20)
status = 1
menus = []  # Qt lists its open menus nowhere in the tree: they are caught as they show


def on_showing(event):
    if event.detail1 and event.source.getRoleName() == 'popup menu':
        menus.append(event.source)


def matches(node):
    kind = node.getRoleName()
    return role in ('any', kind) or (role, kind) == ('menu item', 'check menu item')


def collect(node, found):
    try:
        if node.name == name and matches(node):
            found.append(node)
        for i in range(node.childCount):
            collect(node.getChildAtIndex(i), found)
    except Exception:  # a node that went away while we looked
        pass
    return found


def found():
    apps = [app for app in pyatspi.Registry.getDesktop(0) if app and app.name == app_name]
    # GTK 4 lists some items under more than one parent: one object per path.
    return {node.path: node for root in apps + menus for node in collect(root, [])}


def look():
    global status
    try:
        # A menu bar may hold the same item; the open menu's shows. GTK 4
        # marks no popover item as showing, and keeps closed popovers: the
        # open one's items are those that were not there before.
        now = found()
        showing = [node for node in now.values() if node.getState().contains(pyatspi.STATE_SHOWING)]
        chosen = showing or [node for path, node in now.items() if path not in before]
        if command == 'find' and now:
            status = 0
        elif command == 'do' and len(chosen) == 1:
            status = 0 if chosen[0].queryAction().doAction(0) else 1
        elif time.monotonic() < deadline:
            return True
        else:
            print(f'no single {role} {name!r} in {app_name}: {len(chosen)} of {len(now)}',
                  file=sys.stderr)
    except Exception as error:  # a window that changes while it is read
        print(error, file=sys.stderr)
        if time.monotonic() < deadline:
            return True
    pyatspi.Registry.stop()
    return False


before = found() if opener else {}
pyatspi.Registry.registerEventListener(on_showing, 'object:state-changed:showing')
if opener:
    subprocess.run(opener, check=False)
GLib.timeout_add(100, look)
pyatspi.Registry.start()
sys.exit(status)
