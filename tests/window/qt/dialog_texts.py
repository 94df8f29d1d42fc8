#!/usr/bin/python3
"""Prints what screen readers hear of a program's Open dialog, one line each.

Usage: dialog_texts.py PID TITLE
Finds, on the accessibility bus, the window titled TITLE of the program with
process id PID and prints the names of its buttons and labels and the text of
its combo boxes, as "ROLE: NAME". Exits 1 when there is no such window. The
system's Python, for its Atspi module.
"""
import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

WANTED = {"push button", "label", "combo box"}


def walk(node, depth=0):
    if node is None or depth > 30:
        return
    role = node.get_role_name()
    if role in WANTED:
        name = node.get_name()
        if role == "combo box" and not name:
            text = node.get_text_iface()
            name = text.get_text(0, -1) if text else ""
        print(f"{role}: {name}")
    for i in range(node.get_child_count()):
        walk(node.get_child_at_index(i), depth + 1)


def main():
    pid, title = int(sys.argv[1]), sys.argv[2]
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is None or app.get_process_id() != pid:
            continue
        for j in range(app.get_child_count()):
            window = app.get_child_at_index(j)
            if window is not None and window.get_name() == title:
                walk(window)
                return 0
    return 1


sys.exit(main())
