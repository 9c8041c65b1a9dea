#!/usr/bin/env python3
"""fake_notifications.py LOG PRESS_DELAY: a stand-in notification server. Appends to LOG a line
per event: "notify ID URGENCY ACTION,KEYS BODY", "close ID", and Tallowick's signals "sounding
N,N,..." and "spoken TEXT". Presses "stop" on the first notice PRESS_DELAY seconds after it came.
"""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = "org.freedesktop.Notifications"


def record(line):
    with open(sys.argv[1], "a", encoding="utf-8") as f:
        print(line, file=f)


class Server(dbus.service.Object):
    next_id = 1

    @dbus.service.method(NAME, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        nid, self.next_id = self.next_id, self.next_id + 1
        record(f"notify {nid} {int(hints.get('urgency', -1))} {','.join(actions[0::2])} {body}")
        if nid == 1:
            GLib.timeout_add(int(float(sys.argv[2]) * 1000),
                             lambda: self.ActionInvoked(dbus.UInt32(nid), "stop") and False)
        return nid

    @dbus.service.method(NAME, in_signature="u")
    def CloseNotification(self, nid):
        record(f"close {nid}")
        self.NotificationClosed(nid, dbus.UInt32(3))

    @dbus.service.signal(NAME, signature="us")
    def ActionInvoked(self, nid, key):
        pass

    @dbus.service.signal(NAME, signature="uu")
    def NotificationClosed(self, nid, reason):
        pass


DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
server = Server(bus, "/org/freedesktop/Notifications")
OURS = "io.github.tallowick.Tallowick"
bus.add_signal_receiver(lambda numbers: record("sounding " + ",".join(map(str, map(int, numbers)))),
                        signal_name="SoundingChanged", dbus_interface=OURS)
bus.add_signal_receiver(lambda text: record("spoken " + text), signal_name="Spoken",
                        dbus_interface=OURS)
# The name last: the test waits for it, and everything must be in place by then.
name = dbus.service.BusName(NAME, bus)  # kept: dropping it gives the name up
GLib.MainLoop().run()
