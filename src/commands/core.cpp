// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/core.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "clock/clock_tick.h"
#include "commands/alarm_setting.h"
#include "commands/command_context.h"
#include "commands/dispatcher.h"
#include "commands/late_alarms.h"
#include "commands/text.h"

namespace tallowick {

// An order's words and its sound name are each made from one typed line, up to half as long
// again once lower-cased (Ⱥ, 2 bytes, lowers to ⱥ, 3), and a few words, with a label of up to
// 4 bytes a character and its repeat: the largest table must save to a file that the next start
// reads.
static_assert(OrderTable::kCapacity * (2 * (Core::kMaxLineBytes * 3 / 2 + 64) + 64 +
                                       (kMaxLabelCharacters * 4 + 64)) +
                  64 <=
              SettingsStore::kMaxFileBytes);

Core::Core(const Seams& seams, std::string dataDir)
    : seams_(seams),
      dataDir_(std::move(dataDir)),
      store_(seams.files, seams.diagnostics, seams.clock, dataDir_) {}

void Core::load() {
    const LoadOutcome outcome = store_.load(table_);
    // A file saved by a Tallowick that knew no repeats keeps a repeating alarm's words alone:
    // they still say when it repeats.
    for (int i = 1; i <= table_.orderCount(); ++i) {
        Order& order = table_.at(i);
        if (!order.forTimeOfDay() || order.isRepeating()) continue;
        const std::optional<ClockTimeEntry> read = readClockTimeEntry(order.description);
        if (!read || read->repeatDays == 0) continue;
        order.repeatDays = read->repeatDays;
        order.repeatMinute = read->hour * 60 + read->minute;
    }
    if (!outcome.spokenNotice.empty()) seams_.voice.say(outcome.spokenNotice);
}

namespace {

// Whether the orders differ in anything but the passing of time: an alarm re-armed by a tick is
// the same order.
bool sameSet(const OrderTable& a, const OrderTable& b) {
    if (a.orderCount() != b.orderCount()) return false;
    for (int i = 1; i <= a.orderCount(); ++i) {
        const Order& x = a.at(i);
        const Order& y = b.at(i);
        if (x.description != y.description || x.period != y.period || x.soundFile != y.soundFile ||
            x.sounding != y.sounding || x.label != y.label || x.repeatDays != y.repeatDays) {
            return false;
        }
    }
    return true;
}

}  // namespace

void Core::notifyIfChanged(const OrderTable& before) {
    if (sameSet(before, table_)) return;
    for (OrderWatcher* watcher : watchers_) watcher->ordersChanged(before, table_);
}

WatcherSubscription::~WatcherSubscription() {
    std::vector<OrderWatcher*>& watchers = core_.watchers_;
    watchers.erase(std::find(watchers.begin(), watchers.end(), &watcher_));
}

Core::LineResult Core::line(std::string_view typed) {
    return typed.size() > kMaxLineBytes ? handle({}, true) : handle(typed, false);
}

Core::LineResult Core::handle(std::string_view typed, bool tooLong) {
    steps_.follow(seams_.clock, table_);
    const OrderTable before = table_;
    // A one-line entry holds no line end; one that slipped in would split the settings file.
    std::string asTyped(typed);
    for (char& ch : asTyped) {
        if (ch == '\n') ch = ' ';
    }
    CommandContext c(lowerCase(asTyped), table_, seams_.clock, seams_.voice, seams_.panel,
                     seams_.shell, seams_.files, dataDir_, sounds_);
    c.typed = asTyped;
    if (!tooLong) dispatch(c);  // too long to be a command: rejected below
    if (c.exitRequested) return LineResult::exit;
    if (c.silenceAll) seams_.player.stopAll();
    for (const int key : c.silenced) seams_.player.stop(key);

    if (!c.accepted) c.reply = kIncorrectEntryReply;
    const bool wasFailing = saveFailing_;
    const bool saved = save();
    if (!(c.listed && c.reply.empty())) seams_.voice.say(c.reply);
    if (!saved && !wasFailing) seams_.voice.queue(kNotSavedNotice);
    notifyIfChanged(before);
    return LineResult::keepRunning;
}

bool Core::save() {
    const bool saved = store_.save(table_);
    // One failure is told once; the next failures of the same run stay quiet, and the first
    // save that works again writes everything.
    if (!saved && !saveFailing_) {
        seams_.diagnostics.report(store_.path() +
                                  " could not be written; the orders are kept in memory");
    }
    saveFailing_ = !saved;
    return saved;
}

void Core::tick() {
    steps_.follow(seams_.clock, table_);
    const Instant now = seams_.clock.now();
    const std::vector<LateAlarm> late = lateAlarms(table_, now);
    const OrderTable before = watchers_.empty() ? OrderTable() : table_;
    std::vector<bool> wasSounding;
    for (int i = 1; i <= table_.orderCount(); ++i)
        wasSounding.push_back(table_.at(i).sounding != 0);
    const TickSound sound = clockTick(table_, seams_.clock, seams_.player, seams_.panel, sounds_);
    // A labelled alarm that starts sounding is named once.
    for (int i = 1; i <= table_.orderCount(); ++i) {
        const Order& order = table_.at(i);
        if (order.sounding != 0 && !wasSounding[static_cast<size_t>(i - 1)] &&
            !order.label.empty()) {
            seams_.voice.queue("Order " + std::to_string(i) + ", " + order.label);
        }
    }
    for (const LateAlarm& alarm : late) {
        if (table_.at(alarm.number).sounding != 0)
            seams_.voice.queue(lateNotice(alarm, seams_.clock));
    }
    // Like a failing save: told once when the output fails, and once when it works again. The
    // ring waits for it meanwhile (see clockTick).
    if (sound.failed && !soundFailing_) {
        seams_.diagnostics.report(kSoundFailedNotice);
        seams_.voice.queue(kSoundFailedNotice);
        soundFailing_ = true;
    } else if (sound.started && !sound.failed && soundFailing_) {
        seams_.diagnostics.report(kSoundBackNotice);
        seams_.voice.queue(kSoundBackNotice);
        soundFailing_ = false;
    }
    if (!watchers_.empty()) notifyIfChanged(before);
}

}  // namespace tallowick
