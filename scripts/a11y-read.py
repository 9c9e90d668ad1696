#!/usr/bin/python3
"""Reads qm_downloader's window over the accessibility bus as a screen reader
does: lists every control that is showing with its role, name and value,
checks that each has a name, then presses Install through its action and
waits for the progress bar to move. Exit status 0 when all of that held.
Usage (inside a session bus with the accessibility bus running):
  a11y-read.py [seconds]"""
import sys
import time

import pyatspi

LIMIT = float(sys.argv[1]) if len(sys.argv) > 1 else 60
NAMED_ROLES = {pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON,
               pyatspi.ROLE_LINK, pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_PROGRESS_BAR, pyatspi.ROLE_TEXT}


def wait_for(what, check):
    end = time.time() + LIMIT
    while time.time() < end:
        found = check()
        if found:
            return found
        time.sleep(0.2)
    sys.exit("timed out waiting for " + what)


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "qm_downloader":
            return app
    return None


def showing(node, out):
    try:
        if not node.getState().contains(pyatspi.STATE_SHOWING):
            return out
        out.append(node)
        for child in node:
            if child is not None:
                showing(child, out)
    except Exception:  # a control that went away while being read
        pass
    return out


def value_of(node):
    try:
        return node.queryValue().currentValue
    except NotImplementedError:
        return None


app = wait_for("the program on the accessibility bus", application)
frame = wait_for("a shown window", lambda: next((w for w in app if w is not None and showing(w, [])), None))
nodes = showing(frame, [])
unnamed = 0
for node in nodes:
    role = node.getRole()
    value = value_of(node)
    print("%-14s %-40r%s" % (node.getRoleName(), node.name, "" if value is None else " value %s" % value))
    if role in NAMED_ROLES and not node.name.strip():
        unnamed += 1
buttons = [n for n in nodes if n.getRole() == pyatspi.ROLE_PUSH_BUTTON]
install = next((b for b in buttons if "install" in b.name.lower()), None)
if install is None:
    sys.exit("no Install button among the shown controls")
action = install.queryAction()
names = [action.getName(i) for i in range(action.nActions)]
print("pressing %r through its action %r" % (install.name, names[0]))
action.doAction(0)


def moving_bar():
    for node in showing(frame, []):
        if node.getRole() == pyatspi.ROLE_PROGRESS_BAR and (value_of(node) or 0) > 0:
            return node
    return None


bar = wait_for("the progress bar to move", moving_bar)
print("progress bar %r at %s" % (bar.name, value_of(bar)))
print("%d shown controls, %d without a name" % (len(nodes), unnamed))
sys.exit(1 if unnamed else 0)
