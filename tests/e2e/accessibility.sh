#!/usr/bin/env bash
# What a screen reader gets from the window, through the real accessibility stack: the window on
# a private Xvfb display, AT-SPI on a private session bus, read with pyatspi as Orca reads it.
#
#  1. A frame named by the caption; the entry "Command", described, alone in holding the focus.
#  2. After "in 1 h" and "mark", the list "Orders" holds one readable item per order.
#  3. In the screen-reader mode every reply is shown as a notification whose label holds the
#     reply's text (Orca 43 speaks and brailles that); a listing is one notification.
#  4. The item of an alarm that goes off says that it is ringing.
#  5. Five seconds of ticking with orders standing, one of them ringing, send no event at all.
#
# Usage: accessibility.sh PROGRAM_DIR

set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

e2e_need "xvfb, dbus, libglib2.0-bin and xdotool" Xvfb dbus-run-session gdbus xdotool
[[ -x /usr/libexec/at-spi-bus-launcher ]] ||
    skip "at-spi-bus-launcher is missing (install at-spi2-core)"
e2e_python 'import pyatspi' "pyatspi is missing (install python3-pyatspi)"

# Everything runs on a session bus of its own, which ends with this script.
if [[ -z ${TALLOWICK_E2E_PRIVATE_BUS:-} ]]; then
    TALLOWICK_E2E_PRIVATE_BUS=1 exec dbus-run-session -- bash "${BASH_SOURCE[0]}" "$@"
fi

e2e_start "$@"

e2e_display
e2e_accessibility_bus

env PATH="$PROGRAM_PATH" "$tallowick" --voice=screen-reader \
    >"$WORK/out" 2>"$WORK/err" </dev/null &
E2E_PIDS+=("$!")

status=0
PYTHONPATH=$here "$py" - <<'PYTHON' || status=$?
"""Drives the window with xdotool and reads it with pyatspi; prints each check."""
import re
import subprocess
import time

import pyatspi
from gi.repository import GLib

from checks import check, finish


def pump(seconds):
    end = time.monotonic() + seconds
    context = GLib.MainContext.default()
    while time.monotonic() < end:
        while context.iteration(False):
            pass
        time.sleep(0.01)


def wait_for(predicate, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        pump(0.05)
        value = predicate()
        if value:
            return value
    return None


events = []      # every event from the program: (type, role, name)
notices = []     # the label texts of each notification shown


def on_event(event):
    try:
        if event.host_application is None or event.host_application.name != "tallowick":
            return
        source = event.source
        role = source.getRoleName()
        events.append((event.type, role, source.name))
        if event.type.startswith("object:state-changed:showing") and event.detail1 and \
                source.getRole() == pyatspi.ROLE_NOTIFICATION:
            notices.append(" ".join(source.getChildAtIndex(i).name
                                    for i in range(source.childCount)))
    except Exception as error:  # an object gone meanwhile
        events.append((event.type, "?", str(error)))


pyatspi.Registry.registerEventListener(on_event, "object:", "focus:", "window:")


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "tallowick":
            return app
    return None


def find(root, role, name=None):
    if root.getRole() == role and (name is None or root.name == name):
        return root
    for i in range(root.childCount):
        found = find(root.getChildAtIndex(i), role, name)
        if found is not None:
            return found
    return None


def item_names(orders):
    return [orders.getChildAtIndex(i).name for i in range(orders.childCount)]


def xdotool(*args):
    return subprocess.run(["xdotool", *args], check=True, capture_output=True,
                          text=True).stdout


def type_line(text):
    xdotool("type", "--delay", "10", text)
    xdotool("key", "Return")


app = wait_for(application, 15)
check(app is not None, "the program shows up on the accessibility bus")
if app is None:
    finish()
window = wait_for(lambda: xdotool("search", "--onlyvisible", "--name", "Tallowick").split(), 10)
xdotool("windowfocus", "--sync", window[0])


# The program learns of our listener over the bus a while after it starts, and sends no event
# until it has: strike a key into the entry until its change comes back.
def events_flow():
    xdotool("type", "x")
    xdotool("key", "BackSpace")
    return wait_for(lambda: any(e[0].startswith("object:text-changed") for e in events), 1)


check(any(events_flow() for _ in range(10)), "the program sends accessibility events")

# 1. The frame, the entry, the list.
frame = find(app, pyatspi.ROLE_FRAME)
check(frame is not None and frame.name == "Tallowick (v1.2)",
      "the window is a frame named 'Tallowick (v1.2)'")
entry = find(app, pyatspi.ROLE_TEXT, "Command")
check(entry is not None and entry.description.startswith("Type a command and press Enter."),
      "the entry is named 'Command' and described")
check(entry is not None and wait_for(lambda: entry.getState().contains(pyatspi.STATE_FOCUSED), 5),
      "the entry has the focus")
check(frame is not None and not frame.getState().contains(pyatspi.STATE_FOCUSED),
      "the frame does not claim the focus too")
orders = find(app, pyatspi.ROLE_LIST, "Orders")
check(orders is not None and orders.childCount == 0, "'Orders' is an empty list")
if orders is None:
    finish()

# 2. and 3. One item per order, and each reply as a notification.
type_line("in 1 h")
check(wait_for(lambda: orders.childCount == 1, 5), "'in 1 h' adds an item")
type_line("mark")
check(wait_for(lambda: orders.childCount == 2, 5), "'mark' adds a second item")
names = item_names(orders)
check(len(names) == 2 and re.fullmatch(r"Alarm 1, rings in (1 hours 0|59 minutes \d+) seconds",
                                       names[0]) is not None
      and re.fullmatch(r"Mark 2, going \d+ seconds", names[1]) is not None,
      "the items read %r" % names)
check(all(orders.getChildAtIndex(i).getRole() == pyatspi.ROLE_LIST_ITEM
          for i in range(orders.childCount)), "the items are list items")
wait_for(lambda: len(notices) >= 2, 3)
check(notices[:2] == ["Alarm number 1 set for  1  hour", "Mark number 2 set"],
      "the replies were shown as notifications: %r" % notices)
# A listing is one notification: one each would have the screen reader cut one by the next.
type_line("orders")
wait_for(lambda: len(notices) >= 3, 3)
check(len(notices) == 3 and re.fullmatch(
    r"Order 1 will alarm in (1 hours 0|59 minutes \d+) seconds\. "
    r"Mark 2 has been going \d+ seconds\.",
    notices[2]) is not None, "the listing was shown as one notification: %r" % notices[2:])

# 4. A ringing alarm.
type_line("in 1 s")
check(wait_for(lambda: orders.childCount == 3 and
               orders.getChildAtIndex(2).name == "Alarm 3, ringing", 6),
      "the item of the alarm that went off reads %r" % item_names(orders)[2:])

# 5. Quiet while it ticks.
pump(0.5)
events.clear()
pump(5)
check(not events, "no event in 5 s of ticking (%d: %r)" % (len(events), events[:5]))
finish()
PYTHON

((status == 0)) || fail_showing "the window is not what a screen reader needs"
