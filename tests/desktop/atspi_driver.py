#!/usr/bin/python3
# Usage: choose_menu_item.py NAME LABEL COMMAND...
# Runs COMMAND, which opens a menu of the application NAME, and chooses the
# item labelled LABEL in it through the accessibility tree. Exit status 0 once
# chosen, 1 when no single such item shows within 5 seconds.
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

name, label, command = sys.argv[1], sys.argv[2], sys.argv[3:]
deadline = time.monotonic() + 5
status = 1
menus = []  # Qt lists its open menus nowhere in the tree: they are caught as they show


def on_showing(event):
    if event.detail1 and event.source.getRoleName() == 'popup menu':
        menus.append(event.source)


def items(node, found):
    try:
        if node.name == label and node.getRoleName() in ('menu item', 'check menu item'):
            found.append(node)
        for i in range(node.childCount):
            items(node.getChildAtIndex(i), found)
    except Exception:  # a node that went away while we looked
        pass
    return found


def found():
    apps = [app for app in pyatspi.Registry.getDesktop(0) if app and app.name == name]
    # GTK 4 lists some items under more than one parent: one object per path.
    return {item.path: item for root in apps + menus for item in items(root, [])}


def look():
    global status
    # A menu bar may hold the same item; the open menu's shows. GTK 4 marks
    # no popover item as showing, and keeps closed popovers: the open one's
    # items are those that were not there before.
    now = found()
    showing = [item for item in now.values() if item.getState().contains(pyatspi.STATE_SHOWING)]
    chosen = showing or [item for path, item in now.items() if path not in before]
    if len(chosen) == 1:
        status = 0 if chosen[0].queryAction().doAction(0) else 1
    elif time.monotonic() < deadline:
        return True
    else:
        print(f'no single item {label!r} in {name}: {len(chosen)} of {len(now)}', file=sys.stderr)
    pyatspi.Registry.stop()
    return False


before = found()
pyatspi.Registry.registerEventListener(on_showing, 'object:state-changed:showing')
subprocess.run(command, check=False)
GLib.timeout_add(100, look)
pyatspi.Registry.start()
sys.exit(status)
