// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "orders/clock_steps.h"
#include "orders/order_table.h"
#include "orders/order_watcher.h"
#include "orders/settings_file.h"
#include "ports/clock.h"
#include "ports/diagnostics.h"
#include "ports/files.h"
#include "ports/panel_canvas.h"
#include "ports/shell.h"
#include "ports/sound_player.h"
#include "ports/voice.h"

namespace tallowick {

class Core;

// A watcher's place among those the core tells of changes (see Core::addWatcher), held by the
// watcher's owner beside the watcher: it ends when this is destroyed, so that the core never
// tells a watcher that is gone. The core must outlive it.
class WatcherSubscription {
  public:
    WatcherSubscription(const WatcherSubscription&) = delete;
    WatcherSubscription& operator=(const WatcherSubscription&) = delete;
    ~WatcherSubscription();

  private:
    friend class Core;
    WatcherSubscription(Core& core, OrderWatcher& watcher) : core_(core), watcher_(watcher) {}

    Core& core_;
    OrderWatcher& watcher_;
};

// Everything the program's logic needs from the world. The front-end that makes the core owns
// them and keeps them alive as long as the core.
struct Seams {
    Clock& clock;
    Voice& voice;
    SoundPlayer& player;
    PanelCanvas& panel;
    Shell& shell;
    Files& files;
    Diagnostics& diagnostics;
};

// The program's state and the two things that happen to it: a typed line and a tick. Owns the
// order table for the whole run; the window and the terminal each drive one.
class Core {
  public:
    // `dataDir` is the data directory, that of settings.ini, temp.bat and the user's sounds,
    // without a trailing slash.
    Core(const Seams& seams, std::string dataDir);
    Core(const Core&) = delete;
    Core& operator=(const Core&) = delete;

    // Fills the table from settings.ini once at start-up. When the file was damaged, says so
    // on the diagnostics and by voice.
    void load();

    enum class LineResult { keepRunning, exit };
    // Handles one typed line as Enter in the entry box does: carries out its command, saves the
    // table and speaks the reply. `exit` asks the front-end to end the program at once; nothing
    // was saved or spoken then.
    LineResult line(std::string_view typed);
    // Handles a typed line longer than kMaxLineBytes whose bytes a front-end dropped as they
    // came: answered as line() answers any line that long.
    LineResult overlongLine() { return handle({}, true); }

    // The once-a-second tick: counts every order, rings due alarms, draws the panel. When an
    // alarm cannot be heard because the audio output does not work, says so once on the
    // diagnostics and by voice, and again once sound works again. An alarm rung late (see
    // lateAlarms) is told so, queued.
    void tick();

    // Writes the whole table to settings.ini. The first failure of a run of failures is told on
    // the diagnostics and, queued behind what is being said, by voice.
    bool save();

    const OrderTable& table() const { return table_; }

    // `watcher` is told of every change to the set of orders from now on, until the returned
    // subscription ends.
    [[nodiscard]] WatcherSubscription addWatcher(OrderWatcher& watcher) {
        watchers_.push_back(&watcher);
        return {*this, watcher};
    }

    // A longer typed line is an incorrect entry, whichever front-end it came through.
    static constexpr std::size_t kMaxLineBytes = 64 * 1024;

    static constexpr const char* kIncorrectEntryReply =
        "Incorrect entry, type help to list commands";
    static constexpr const char* kNotSavedNotice = "The orders could not be saved.";
    static constexpr const char* kSoundFailedNotice =
        "The sound does not work. Alarms cannot be heard.";
    static constexpr const char* kSoundBackNotice = "The sound works again.";

  private:
    friend class WatcherSubscription;
    LineResult handle(std::string_view typed, bool tooLong);
    // Tells the watchers when the set of orders differs from `before`.
    void notifyIfChanged(const OrderTable& before);

    Seams seams_;
    std::string dataDir_;
    OrderTable table_;
    ClockSteps steps_;  // followed before every line and tick
    SettingsStore store_;
    bool saveFailing_ = false;   // the last save failed, and that has been told
    bool soundFailing_ = false;  // the audio output did not work, and that has been told
    SoundKeys sounds_;           // the key of each order's sound
    std::vector<OrderWatcher*> watchers_;
};

}  // namespace tallowick
