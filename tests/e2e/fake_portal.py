#!/usr/bin/python3
"""A stand-in for the desktop portal's GlobalShortcuts on a private session bus.

Usage: fake_portal.py MODE LOG
MODE: "asked"  assigns the triggers the app asked for;
      "other"  assigns other keys than asked (as a desktop whose user chose others);
      "kde"    like Plasma 5.27: registers the shortcuts from CreateSession's
               "shortcuts" option and answers BindShortcuts with what it registered.
Every call is appended to LOG as one JSON line. org.orvell.Test.Activate(id)
emits Activated for the session, as a key press on the desktop would.
"""
import json
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

MODE, LOG = sys.argv[1], sys.argv[2]
PATH = "/org/freedesktop/portal/desktop"
IFACE = "org.freedesktop.portal.GlobalShortcuts"


def log(entry):
    with open(LOG, "a") as f:
        f.write(json.dumps(entry) + "\n")


def plain(value):
    if isinstance(value, (dbus.Array, list)):
        return [plain(v) for v in value]
    if isinstance(value, (dbus.Struct, tuple)):
        return [plain(v) for v in value]
    if isinstance(value, (dbus.Dictionary, dict)):
        return {str(k): plain(v) for k, v in value.items()}
    if isinstance(value, (dbus.String, dbus.ObjectPath)):
        return str(value)
    if isinstance(value, dbus.Boolean):
        return bool(value)
    if isinstance(value, (dbus.UInt32, dbus.Int32, dbus.UInt64, dbus.Int64)):
        return int(value)
    return value


class Request(dbus.service.Object):
    @dbus.service.signal("org.freedesktop.portal.Request", signature="ua{sv}")
    def Response(self, code, results):
        pass


class Portal(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, PATH)
        self.bus = bus
        self.session = None
        self.registered = []

    def answer(self, sender, token, results):
        path = "/org/freedesktop/portal/desktop/request/%s/%s" % (
            sender[1:].replace(".", "_"), token)
        request = Request(self.bus, path)
        GLib.timeout_add(20, lambda: (request.Response(dbus.UInt32(0), results), False)[1])
        return dbus.ObjectPath(path)

    def assigned(self, shortcuts):
        out = []
        for sid, options in shortcuts:
            trigger = str(options.get("preferred_trigger", ""))
            if MODE == "other":
                trigger = "Ctrl+Shift+F%d" % (len(out) + 1)
            else:
                trigger = trigger.replace("CTRL", "Ctrl").replace("ALT", "Alt").replace(
                    "LOGO", "Meta").replace("space", "Space")
            out.append((sid, {"description": options.get("description", ""),
                              "trigger_description": dbus.String(trigger)}))
        return dbus.Array(out, signature="(sa{sv})")

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, prop):
        if interface == IFACE and prop == "version":
            return dbus.UInt32(1)
        raise dbus.exceptions.DBusException("no such property",
                                            name="org.freedesktop.DBus.Error.UnknownProperty")

    @dbus.service.method("org.freedesktop.host.portal.Registry", in_signature="sa{sv}",
                         out_signature="", sender_keyword="sender")
    def Register(self, app_id, options, sender=None):
        log({"call": "Register", "app_id": str(app_id)})

    @dbus.service.method(IFACE, in_signature="a{sv}", out_signature="o", sender_keyword="sender")
    def CreateSession(self, options, sender=None):
        log({"call": "CreateSession", "options": plain(options)})
        if MODE == "kde":
            self.registered = list(options.get("shortcuts", []))
        self.session = "/org/freedesktop/portal/desktop/session/%s/%s" % (
            sender[1:].replace(".", "_"), options["session_handle_token"])
        return self.answer(sender, options["handle_token"],
                           {"session_handle": dbus.String(self.session)})

    @dbus.service.method(IFACE, in_signature="oa(sa{sv})sa{sv}", out_signature="o",
                         sender_keyword="sender")
    def BindShortcuts(self, session, shortcuts, parent, options, sender=None):
        log({"call": "BindShortcuts", "session": str(session), "shortcuts": plain(shortcuts)})
        chosen = self.registered if MODE == "kde" else shortcuts
        return self.answer(sender, options["handle_token"], {"shortcuts": self.assigned(chosen)})

    @dbus.service.signal(IFACE, signature="osta{sv}")
    def Activated(self, session, shortcut_id, timestamp, options):
        pass

    @dbus.service.method("org.orvell.Test", in_signature="s", out_signature="")
    def Activate(self, shortcut_id):
        self.Activated(dbus.ObjectPath(self.session), shortcut_id, dbus.UInt64(0),
                       dbus.Dictionary({}, signature="sv"))


DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
portal = Portal(bus)
name = dbus.service.BusName("org.freedesktop.portal.Desktop", bus)
GLib.MainLoop().run()
