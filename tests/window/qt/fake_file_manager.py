#!/usr/bin/python3
"""A file manager on the session bus that only notes what it is asked to show.

Usage: fake_file_manager.py LOG READY
Writes "ShowItems URI" to LOG for each item it is asked to show, and touches
READY once it owns its name. The system's Python, for its dbus module.
"""
import pathlib
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = "org.freedesktop.FileManager1"


class FileManager(dbus.service.Object):
    def __init__(self, bus, log):
        super().__init__(bus, "/org/freedesktop/FileManager1")
        self.log = log

    @dbus.service.method(NAME, in_signature="ass", out_signature="")
    def ShowItems(self, uris, startup_id):
        with open(self.log, "a", encoding="utf-8") as log:
            for uri in uris:
                log.write(f"ShowItems {uri}\n")


DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
owned = dbus.service.BusName(NAME, bus, do_not_queue=True)
manager = FileManager(bus, sys.argv[1])
pathlib.Path(sys.argv[2]).touch()
GLib.MainLoop().run()
