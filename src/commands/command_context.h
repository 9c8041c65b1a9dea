// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "orders/date_time.h"
#include "orders/order_table.h"
#include "ports/clock.h"
#include "ports/files.h"
#include "ports/panel_canvas.h"
#include "ports/shell.h"
#include "ports/sound_player.h"
#include "ports/voice.h"

namespace tallowick {

// The world a command sees while one typed line is handled: the line, the reply it leaves, the
// order table and the seams. Made afresh for every line; nothing in it outlives the line.
struct CommandContext {
    CommandContext(std::string lowerCaseEntry, OrderTable& orders, Clock& clockSeam,
                   Voice& voiceSeam, PanelCanvas& panelSeam, Shell& shellSeam, Files& filesSeam,
                   const std::string& directory, SoundKeys& orderSounds)
        : entry(std::move(lowerCaseEntry)),
          reply(entry),
          table(orders),
          clock(clockSeam),
          voice(voiceSeam),
          panel(panelSeam),
          shell(shellSeam),
          files(filesSeam),
          dataDir(directory),
          sounds(orderSounds) {}

    // The typed line, lower-cased; nothing trimmed.
    std::string entry;
    // The line as it was typed, in its own case, for what keeps it (a label); set by the core.
    std::string_view typed;
    // What is spoken when the command is done; starts as `entry`.
    std::string reply;
    // Set when a command recognises the line, cleared when that command rejects it: a line not
    // accepted is answered as an incorrect entry.
    bool accepted = false;

    OrderTable& table;
    Clock& clock;
    Voice& voice;
    PanelCanvas& panel;
    Shell& shell;
    Files& files;
    const std::string& dataDir;

    // Set by "exit": the program ends without saving or speaking.
    bool exitRequested = false;
    // Set by the listing commands: an empty reply then is not spoken, so that the listing's
    // sentences are heard to the end.
    bool listed = false;
    // The key of each order's sound (it may still be playing). A command that removes orders
    // removes their keys too and notes them in `silenced`, so that their sounds stop with them;
    // `silenceAll` stops every sound.
    SoundKeys& sounds;
    std::vector<int> silenced;
    bool silenceAll = false;

    Instant now() { return clock.now(); }
    // The date and time the wall clock shows now.
    DateTime localNow() { return localTime(clock, clock.now()); }

    // Hands one sentence of a listing to the voice: the first drops whatever was being said,
    // the later ones wait behind it.
    void speakListingSentence(const std::string& sentence) {
        if (listingSentences_++ == 0) {
            voice.say(sentence);
        } else {
            voice.queue(sentence);
        }
    }

  private:
    int listingSentences_ = 0;
};

// The reply to a line that would add an order to a full table.
inline constexpr const char* kNoRoomReply =
    "There is no room for another order.  Delete an order first.";

}  // namespace tallowick
