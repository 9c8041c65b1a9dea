#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# `tallowick COMMAND...` on a private session bus with a stand-in notification server: replies
# come back, twenty senders lose nothing, a ringing alarm has one notification whose Stop
# silences it and holds sleep off till then (a stand-in logind on a private system bus); frozen
# past its due second, an alarm rings on waking and says it is late, once; without an instance
# the sender says how to start Tallowick, or with a display
# starts the window. Read with pyatspi as Orca reads it, that window is a frame named by the
# caption, an entry "Command" alone holding the focus, a list "Orders" of one item per order;
# every reply (a listing as one) is a notification, and ticking sends no event at all.
# Usage: bus.sh PROGRAM_DIR

set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
e2e_need "dbus, xvfb, libglib2.0-bin, xdotool and at-spi2-core" dbus-run-session Xvfb gdbus \
    xdotool /usr/libexec/at-spi-bus-launcher
py=/usr/bin/python3 # Debian's python3-* modules are its own
"$py" -c 'import dbus, pyatspi; from gi.repository import GLib' 2>/dev/null ||
    skip "python3-dbus, python3-gi or python3-pyatspi is missing"
if [[ ${TALLOWICK_E2E_PRIVATE_BUS:-} != 1 ]]; then
    TALLOWICK_E2E_PRIVATE_BUS=1 exec dbus-run-session \
        --config-file="$here/bus-session.conf" -- bash "$0" "$@"
fi
e2e_start "$@"
[[ ${DBUS_SESSION_BUS_ADDRESS:-} == unix:* ]] || fail "not on a private session bus"

out="$WORK/send.out" err="$WORK/send.err" notices="$WORK/notices"

# Runs the sender with the words given, at most 10 s; sets `status`, output in $out and $err.
# Fails unless it ended with $expected (0) and printed exactly the line $reply (if set; none if '').
send() {
    status=0
    timeout 10 env PATH="$PROGRAM_PATH" "$tallowick" "$@" >"$out" 2>"$err" </dev/null ||
        status=$?
    ((status == ${expected:-0})) &&
        [[ -z ${reply+x} || ($(<"$out") == "$reply" && (-n $reply || ! -s $out)) ]] ||
        fail_showing "tallowick $*: status $status (124: no end), or not the reply '${reply-}'"
    ! grep -q 'Sanitizer' "$err" || fail_showing "a sanitizer found a fault in the sender"
}
E2E_SHOW=("the sender's standard output" "$out" "the sender's standard error" "$err"
    "the notification log" "$notices")
order_count() { head -n1 "$prog/settings.ini" | tr -d ' \r'; }

# No instance and no display: status 1, one line that says how to start Tallowick.
expected=1 reply='' send in 1 h
[[ $(wc -l <"$err") == 1 ]] && grep -q -- "--terminal" "$err" && [[ ! -e $prog/settings.ini ]] ||
    fail_showing "the sender did not say in one line how to start Tallowick, or left traces"

# A private system bus for the stand-in logind, the stand-in notification server (which serves
# both), then a terminal instance reading from a FIFO we hold open.
dbus-daemon --config-file="$here/bus-session.conf" --nofork --print-address=4 4>"$WORK/system" &
E2E_PIDS+=($!)
wait_until 10 test -s "$WORK/system" || fail "the private system bus did not start"
export DBUS_SYSTEM_BUS_ADDRESS && DBUS_SYSTEM_BUS_ADDRESS=$(head -n1 "$WORK/system")
"$py" "$here/fake_notifications.py" "$notices" 2.5 &
E2E_PIDS+=($!) && stand_in=$!
on_bus() { busctl --user list --no-legend 2>/dev/null | grep -q "^$1 "; }
wait_until 10 on_bus org.freedesktop.Notifications || fail "the notification server did not start"
# Sounds play on SDL's silent driver, and the program may not raise a thread's priority itself.
E2E_AS=(setpriv --bounding-set=-sys_nice env SDL_AUDIODRIVER=dummy) && e2e_serve --terminal
E2E_AS=()
wait_until 10 on_bus "io.github.tallowick.Tallowick.d[0-9a-f]*" ||
    fail_showing "the program did not take its name on the bus"

# One line: the reply printed exactly as spoken, and the order saved; a line over the length cap
# is an incorrect entry, as typed.
reply="Alarm number 1 set for  1  hour " send in 1 h
(($(order_count) == 1)) || fail_showing "the order from the bus is not in settings.ini"
wait_until 2 has_line "$notices" "spoken Alarm number 1 set for  1  hour " ||
    fail_showing "no Spoken signal for the reply"
reply="Incorrect entry, type help to list commands" send "$(printf 'x%.0s' {1..70000})"

# Twenty senders at once: twenty orders, all saved, each reply to its own sender.
for i in $(seq 20); do
    timeout 20 env PATH="$PROGRAM_PATH" "$tallowick" in "$i" h >"$WORK/out.$i" 2>&1 & senders+=($!)
done
for pid in "${senders[@]}"; do wait "$pid" || fail_showing "a sender of the twenty failed"; done
for i in $(seq 20); do
    pattern="^Alarm number [0-9]+ set for  $i  hours? \$"
    [[ $(<"$WORK/out.$i") =~ $pattern ]] || fail_showing "sender $i got '$(<"$WORK/out.$i")'"
done
numbers=$(cut -d' ' -f3 "$WORK"/out.* | sort -n | tr '\n' ' ')
[[ $numbers == "$(seq -s ' ' 2 21) " ]] ||
    fail_showing "the twenty replies do not number orders 2 to 21 once each: $numbers"
(($(order_count) == 21)) || fail_showing "settings.ini does not hold 21 orders"

# A ringing alarm: one critical notification naming it, however long it rings; its Stop action
# (pressed by the stand-in 2.5 s later) silences it and the notification goes.
send in 1 s
wait_until 5 has_line "$notices" "sounding 22" || fail_showing "the alarm did not start sounding"
wait_until 5 grep -q '^close 1$' "$notices" || fail_showing "Stop did not close the notification"
has_line "$notices" "notify 1 2 stop,snooze Order 22 is ringing: in 1 second" ||
    fail_showing "the notification is not critical, has no Stop or does not name the order"
(($(grep -c '^notify ' "$notices") == 1)) || fail_showing "one ringing got more notifications"
grep -Eq "^raise $program [0-9]+ -15\$" "$notices" ||
    fail_showing "RealtimeKit was not asked to raise the sound's thread"
wait_until 2 has_line "$notices" "sounding " || fail_showing "no signal that nothing sounds"
(($(order_count) == 21)) || fail_showing "Stop did not remove the ringing alarm"
has_line "$notices" "inhibit sleep:idle|Tallowick|An alarm is ringing|block" &&
    wait_until 2 has_line "$notices" release || fail_showing "sleep was not held while it rang"

# Its Snooze action silences the ring too, and keeps the alarm; a label is said as it starts.
: >"$notices"
send in 2 s && reply='Order 22 is labelled Tea' send label 22 Tea
wait_until 5 has_line "$notices" "sounding 22" || fail_showing "the labelled alarm did not sound"
kill -USR2 "$stand_in"
wait_until 5 grep -q '^close 2$' "$notices" && wait_until 2 has_line "$notices" "sounding " &&
    has_line "$notices" "notify 2 2 stop,snooze Order 22, Tea, is ringing: in 2 seconds" &&
    has_line "$notices" "spoken Order 22, Tea" &&
    (($(order_count) == 22)) || fail_showing "Snooze did not silence and keep the labelled alarm"
reply='Alarm deleted.' send delete 22

# Frozen past an alarm's due second, as a sleeping computer holds it: on waking it rings at once
# and says once that it is late; "stop" lets sleep go.
: >"$notices"
send in 2 s
kill -STOP "$program" && sleep 8 && kill -USR1 "$stand_in" && sleep 0.5
woke=${EPOCHREALTIME/./} && kill -CONT "$program"
wait_until 1 has_line "$notices" "sounding 22" || fail_showing "it did not ring within a second"
echo "ok: rang $(((${EPOCHREALTIME/./} - woke) / 1000)) ms after waking" >&2
late='^spoken Order 22 is late: it was due at [0-9]*:[0-9][0-9][ap]m$'
wait_until 2 grep -q "$late" "$notices" && sleep 1.2 && send stop &&
    (($(grep -c "$late" "$notices") == 1)) && wait_until 2 has_line "$notices" release ||
    fail_showing "it did not say once that it was late, or did not let sleep go at stop"
reply='' send stop

# Four clients calling Line on bus name $1 without pause: an alarm due meanwhile rings within
# 250 ms of its second (as SoundingChanged tells).
flood() {
    "$py" -c 'import dbus, sys, time
line = dbus.SessionBus().get_object(sys.argv[1], "/io/github/tallowick/Tallowick").get_dbus_method(
    "Line", "io.github.tallowick.Tallowick")
end = time.monotonic() + 6
while time.monotonic() < end: line("x")' "$1"
}
rings_under_flood() {
    local floods=() pid sent rang late
    dbus-monitor --session "type='signal',member='SoundingChanged',sender='$1'" >"$WORK/monitor" &
    E2E_PIDS+=($!)
    for _ in 1 2 3 4; do flood "$1" & floods+=($!); done
    sleep 0.5 && sent=${EPOCHREALTIME/./} && send in 2 s
    for pid in "${floods[@]}"; do wait "$pid" || fail_showing "a flooding client failed"; done
    rang=$(grep -m1 'member=SoundingChanged' "$WORK/monitor" | grep -o 'time=[0-9.]*' | tr -d 'time=.')
    late=$((${rang:-0} % 1000000 / 1000))
    [[ -n $rang ]] && ((late < 250 && rang - sent < 3250000)) ||
        fail_showing "under four floods the alarm rang $late ms into its second, or not at all"
    echo "ok: under four floods it rang $late ms into its second" >&2
}
# The bus name of process $1, and how many connections it has.
name_of() { busctl --user list --no-legend | awk -v pid="$1" '$2 == pid && $1 ~ /^io/ {print $1}'; }
connections() { busctl --user list --no-legend | awk -v pid="$1" '$2 == pid && $1 ~ /^:/' | wc -l; }
name=$(name_of "$program")
(($(connections "$program") == 1)) || fail_showing "the program has more than one bus connection"
rings_under_flood "$name"

# The notification server restarts while it rings: the notice comes again on the new one, whose
# Stop silences it, and no id of the old server is closed there.
kill "$stand_in" && : >"$notices"
"$py" "$here/fake_notifications.py" "$notices" 2.5 & E2E_PIDS+=($!) && stand_in=$!
wait_until 5 grep -q '^notify 1 2 stop,snooze Order .* is ringing' "$notices" &&
    wait_until 5 has_line "$notices" "sounding " && [[ $(grep ^close "$notices") == 'close 1' ]] ||
    fail_showing "the notice did not come again on the new server, or its Stop did not silence it"

# "exit" over the bus ends the program as typed: at once, the reply sent first.
send exit
wait_until 5 gone "$program" || fail_showing "'tallowick exit' did not end the program"
! grep -q 'notification\|sleep\|Sanitizer' "$WORK/err" || fail_showing "the program complained"

# An impostor on the name: the sender names it and sends nothing; Tallowick says aloud that it
# cannot take the name. Claiming our data directory it gets a line, but 64 KiB of printable reply.
echo /elsewhere >"$WORK/claimed"
"$py" - "$name" "$WORK/claimed" <<'PYTHON' &
import sys, dbus.service, dbus.mainloop.glib  # noqa: E401
from gi.repository import GLib


class Impostor(dbus.service.Object):
    @dbus.service.method("io.github.tallowick.Tallowick", in_signature="s", out_signature="as")
    def Line(self, line):
        return ["\x1b]0;owned\x07\x1b[31mred\x9b", "x" * 10_000_000]

    @dbus.service.method("org.freedesktop.DBus.Properties", in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return open(sys.argv[2]).read().strip()


dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
impostor = Impostor(dbus.SessionBus(), "/io/github/tallowick/Tallowick")
name = dbus.service.BusName(sys.argv[1], dbus.SessionBus())
GLib.MainLoop().run()
PYTHON
E2E_PIDS+=($!)
wait_until 10 on_bus "$name" || fail "the impostor did not take the name"
expected=1 reply='' send in 5 m
grep -q "held by /.*python[0-9.]* (process $!), which is not Tallowick" "$err" ||
    fail_showing "the sender did not say who holds the name"
e2e_serve --terminal
wait_until 5 grep -q "^Tallowick cannot take its name on the session bus;" "$WORK/out" ||
    fail_showing "Tallowick did not say that it cannot take its name"
echo "$prog" >"$WORK/claimed" && send in 5 m
[[ $(head -n1 "$out") == ']0;owned[31mred' && $(wc -c <"$out") -eq 65536 ]] ||
    fail_showing "the sender printed more than the printable text, or not 64 KiB of it"

# With a display and no instance, the sender starts the window of its own copy (another
# directory: a bus name of its own), in the screen-reader mode kept from an earlier start, and
# delivers the line once the window answers. No notification server runs: the window presents
# replies and rings to the screen reader itself.
kill "$stand_in"
e2e_display
e2e_accessibility_bus
prog="$WORK/second" tallowick="$WORK/second/tallowick"
e2e_install "$prog"
env PATH="$PROGRAM_PATH" "$tallowick" --terminal --voice=screen-reader </dev/null >/dev/null 2>&1
reply="Mark number 1 set" send mark
(($(order_count) == 1)) || fail_showing "the window's copy did not save the order"
window=$(pgrep -f -x "$prog/tallowick-app") || fail_showing "no window runs for the second copy"

export TALLOWICK_CMD=$tallowick PROGRAM_PATH
PYTHONPATH=$here "$py" - <<'PYTHON' || fail_showing "the window is not what a screen reader needs"
import os, re, subprocess, time  # noqa: E401
import pyatspi
from gi.repository import GLib
from checks import check, finish


def wait_for(predicate, seconds):
    """Runs the main loop until `predicate` gives a true value, at most `seconds`; returns it."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        while GLib.MainContext.default().iteration(False):
            pass
        if value := predicate():
            return value
        time.sleep(0.01)


events, notices = [], []  # every event from the program; the label texts of each notification


def on_event(event):
    try:
        if getattr(event.host_application, "name", None) != "tallowick":
            return
        source = event.source
        events.append((event.type, source.getRoleName(), source.name))
        if event.type.startswith("object:state-changed:showing") and event.detail1 and \
                source.getRole() == pyatspi.ROLE_NOTIFICATION:
            notices.append(" ".join(label.name for label in source))
    except Exception as error:  # an object gone meanwhile
        events.append((event.type, "?", str(error)))


pyatspi.Registry.registerEventListener(on_event, "object:", "focus:", "window:")


def find(role, name=None):
    return pyatspi.findDescendant(app, lambda a: a.getRole() == role and name in (None, a.name))


def xdotool(*args):
    return subprocess.run(["xdotool", *args], check=True, capture_output=True, text=True).stdout


def type_line(text):
    xdotool("type", "--delay", "10", text)
    xdotool("key", "Return")


app = wait_for(lambda: next((a for a in pyatspi.Registry.getDesktop(0)
                             if a and a.name == "tallowick"), None), 15)
check(app is not None, "the program shows up on the accessibility bus") or finish()
window = wait_for(lambda: xdotool("search", "--onlyvisible", "--name", "Tallowick").split(), 10)
xdotool("windowfocus", "--sync", window[0])


# The program learns of our listener over the bus a while after it starts, and sends no event
# until it has: strike a key into the entry until its change comes back.
def events_flow():
    xdotool("key", "x", "BackSpace")
    return wait_for(lambda: any(e[0].startswith("object:text-changed") for e in events), 1)


check(any(events_flow() for _ in range(10)), "the program sends accessibility events")
notices.clear()

frame = find(pyatspi.ROLE_FRAME)
caption = f"Tallowick (v{os.environ['TALLOWICK_VERSION']})"
check(frame is not None and frame.name == caption, f"the window is a frame named '{caption}'")
entry = find(pyatspi.ROLE_TEXT, "Command")
check(entry is not None and entry.description == "Type a command, then Enter. Type help for help.",
      "the entry is named 'Command' and described")
check(entry is not None and wait_for(lambda: entry.getState().contains(pyatspi.STATE_FOCUSED), 5),
      "the entry has the focus")
check(frame is not None and not frame.getState().contains(pyatspi.STATE_FOCUSED),
      "the frame does not claim the focus too")
orders = find(pyatspi.ROLE_LIST, "Orders")
check(orders is not None and orders.childCount == 1, "'Orders' lists the one mark") or finish()
type_line("in 1 h")
check(wait_for(lambda: orders.childCount == 2, 5), "'in 1 h' adds an item")
names = "|".join(item.name for item in orders)
check(re.fullmatch(r"Mark 1, going \d+ seconds\|Alarm 2, rings in (1 hours 0|59 minutes \d+) "
                   r"seconds", names) is not None, "the items read %r" % names)
check(all(item.getRole() == pyatspi.ROLE_LIST_ITEM for item in orders), "the items are list items")
wait_for(lambda: notices, 3)
check(notices == ["Alarm number 2 set for 1 hour"], "the reply is a notification: %r" % notices)
check(find(pyatspi.ROLE_NOTIFICATION).parent.getRole() == pyatspi.ROLE_STATUS_BAR,
      "in a status bar, where Orca says no role name")
# A listing is one message: one each would have the screen reader cut one by the next.
type_line("orders")
wait_for(lambda: len(notices) >= 2, 3)
check(len(notices) == 2 and re.fullmatch(
    r"Mark 1 has been going \d+ seconds\. "
    r"Order 2 will alarm in (1 hours 0|59 minutes \d+) seconds\.",
    notices[1]) is not None, "the listing was presented as one: %r" % notices[1:])

# Tab moves the focus to the orders, Up and Down from one to the next; the focus stays while
# seconds pass, moves to a neighbour when its order goes, and Escape goes back.
xdotool("key", "Tab")
focused = lambda: [i for i, item in enumerate(orders) if item.getState().contains(pyatspi.STATE_FOCUSED)]
check(wait_for(lambda: focused() == [0], 3), "Tab focuses the first order: %r" % focused())
xdotool("key", "Down")
check(wait_for(lambda: focused() == [1], 3) and not wait_for(lambda: focused() != [1], 1.5),
      "Down focuses the second order, and it stays: %r" % focused())
check(any(e[0] == "focus:" and e[1] == "list item" and e[2].startswith("Alarm 2") for e in events),
      "the second order was told focused")
xdotool("key", "Escape")
check(wait_for(lambda: entry.getState().contains(pyatspi.STATE_FOCUSED), 3), "Escape goes back")

type_line("in 1 s")
check(wait_for(lambda: orders.childCount == 3 and
               orders.getChildAtIndex(2).name == "Alarm 3, ringing", 6),
      "the item of the alarm that went off reads %r" % [item.name for item in orders][2:])
type_line("label 3 Tea")
check(wait_for(lambda: orders.getChildAtIndex(2).name == "Alarm 3, Tea, ringing", 3),
      "the labelled item reads %r" % [item.name for item in orders][2:])
check(wait_for(lambda: "Order 3 is ringing" in notices, 3), "the ring is presented: %r" % notices)
# The focused order deleted (over the bus): its neighbour, now in its place, gets the focus.
xdotool("key", "Tab")
check(wait_for(lambda: focused() == [1], 3), "Tab again focuses the second order: %r" % focused())
events.clear()
subprocess.run([os.environ["TALLOWICK_CMD"], "delete", "2"], capture_output=True, timeout=10,
               env=dict(os.environ, PATH=os.environ["PROGRAM_PATH"]))
check(wait_for(lambda: any(e[:3] == ("focus:", "list item", "Alarm 2, Tea, ringing") for e in events), 3),
      "the focus moved to the neighbour: %r" % [e for e in events if e[0] == "focus:"])
xdotool("key", "Shift+Tab")

wait_for(lambda: False, 0.5)
events.clear()
wait_for(lambda: False, 5)
check(not events, "no event in 5 s of ticking (%d: %r)" % (len(events), events[:5]))
finish()
PYTHON
# Beside its own, the window has only the connection with which Qt finds the accessibility bus;
# there too the alarm rings on time under a flood.
(($(connections "$window") == 2)) || fail_showing "the window has more than two bus connections"
rings_under_flood "$(name_of "$window")"
# "exit" over the bus ends the window through Qt's event loop.
send exit
wait_until 5 gone "$window" || fail_showing "'tallowick exit' did not end the window"
