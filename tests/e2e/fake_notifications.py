#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""fake_notifications.py LOG PRESS_DELAY: a stand-in notification server. Appends to LOG a line
per event: "notify ID URGENCY ACTION,KEYS BODY", "close ID", and Tallowick's signals "sounding
N,N,..." and "spoken TEXT". Presses "stop" on the first notice PRESS_DELAY seconds after it came,
and "snooze" on the newest one on SIGUSR2.
With DBUS_SYSTEM_BUS_ADDRESS, a stand-in logind there too: "inhibit WHAT|WHO|WHY|MODE" when a lock
is taken, "release" when it is let go; on SIGUSR1 it says the computer woke (PrepareForSleep); and
a stand-in RealtimeKit: "raise PID THREAD NICE".
"""
import os
import signal
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = "org.freedesktop.Notifications"
LOGIN1 = "org.freedesktop.login1.Manager"
RTKIT = "org.freedesktop.RealtimeKit1"


def record(line):
    with open(sys.argv[1], "a", encoding="utf-8") as f:
        print(line, file=f)


class Server(dbus.service.Object):
    next_id = 1

    @dbus.service.method(NAME, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        nid, self.next_id = self.next_id, self.next_id + 1
        self.newest = nid
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


class Login1(dbus.service.Object):
    @dbus.service.method(LOGIN1, in_signature="ssss", out_signature="h")
    def Inhibit(self, what, who, why, mode):
        record(f"inhibit {what}|{who}|{why}|{mode}")
        kept, given = os.pipe()
        GLib.unix_fd_add_full(GLib.PRIORITY_DEFAULT, kept, GLib.IO_HUP,
                              lambda *_: record("release") or os.close(kept) or False)
        lock = dbus.types.UnixFd(given)  # a copy: the program's end is the only one left
        os.close(given)
        return lock

    @dbus.service.signal(LOGIN1, signature="b")
    def PrepareForSleep(self, start):
        pass


class RealtimeKit(dbus.service.Object):
    @dbus.service.method(RTKIT, in_signature="tti")
    def MakeThreadHighPriorityWithPID(self, pid, thread, nice):
        record(f"raise {pid} {thread} {nice}")


DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
server = Server(bus, "/org/freedesktop/Notifications")
OURS = "io.github.tallowick.Tallowick"
GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR2,
                     lambda: server.ActionInvoked(dbus.UInt32(server.newest), "snooze") or True)
bus.add_signal_receiver(lambda numbers: record("sounding " + ",".join(map(str, map(int, numbers)))),
                        signal_name="SoundingChanged", dbus_interface=OURS)
bus.add_signal_receiver(lambda text: record("spoken " + text), signal_name="Spoken",
                        dbus_interface=OURS)
# The names last: the test waits for them, and everything must be in place by then.
if os.environ.get("DBUS_SYSTEM_BUS_ADDRESS"):
    system = dbus.SystemBus()
    login1 = Login1(system, "/org/freedesktop/login1")
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1,
                         lambda: login1.PrepareForSleep(False) or True)
    rtkit = RealtimeKit(system, "/org/freedesktop/RealtimeKit1")
    rtkit_name = dbus.service.BusName(RTKIT, system)
    logind = dbus.service.BusName("org.freedesktop.login1", system)
name = dbus.service.BusName(NAME, bus)  # kept: dropping it gives the name up
GLib.MainLoop().run()
