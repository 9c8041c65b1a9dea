// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "orders/order_table.h"
#include "ports/clock.h"
#include "ports/diagnostics.h"
#include "ports/files.h"

namespace tallowick {

// The settings file keeps the order table as one value per line, each line ended by CR LF:
// the order count, then for each order its description, due, period, sound file and sounding
// flag. Numbers are written with a blank (or a minus sign) before the digits and one blank
// after them (" 300 "); dues as the wall clock of `clock` shows them, in the fixed form of
// DateTime::toSettingsText. When an order repeats or has a label, the line "[repeats and
// labels]" follows the orders, and then for each order its repeat days and minute (0 and 0 when
// it does not repeat) and its label, each on a line of its own. The file is replaced whole, so
// the two parts are always of the same save.
std::string formatSettings(const OrderTable& table, Clock& clock);

// What reading a settings file found. When `damaged`, `table` holds the complete orders that
// came before the damage, and `problem` says where and what it was.
struct ParsedSettings {
    OrderTable table;
    bool damaged = false;
    std::string problem;
};

// Reads the bytes of a settings file. Accepts line ends of LF alone as well as CR LF. Never
// fails: damage is reported in the result. A due that the wall clock shows twice (in the hour
// it repeats when summer time ends) is taken as the first, so that no alarm rings later than
// it was saved for; one that it skips, as the instant it skips past it.
ParsedSettings parseSettings(std::string_view bytes, Clock& clock);

// Reads a whole number written in the settings file's number form, blanks around it allowed.
bool parseSettingsNumber(std::string_view text, int64_t& value);

// What start-up found in the data directory.
struct LoadOutcome {
    bool damaged = false;
    std::string spokenNotice;  // what to tell the user by voice; empty when all is well
};

// The settings file `settings.ini` in the data directory, read once at start-up and written in
// full after every command line.
class SettingsStore {
  public:
    SettingsStore(Files& files, Diagnostics& diagnostics, Clock& clock, std::string dataDir);

    // The largest file read: what a save writes for 50 orders whose words and sound name are
    // each as long as a typed line can make them (see Core::kMaxLineBytes), with room to spare.
    // A larger one is no settings file, and no save writes one.
    static constexpr std::size_t kMaxFileBytes = 10 << 20;

    // Fills `table` from the file. A missing file gives an empty table. A damaged one is first
    // kept unchanged as settings.ini.bad (settings.ini.bad2, ... when taken), its complete
    // orders before the damage are loaded, and the fault is reported on the diagnostics. More
    // after the counted orders is damage too. What is no regular file, or a file over
    // kMaxFileBytes, is damage that is moved aside rather than copied.
    LoadOutcome load(OrderTable& table);

    // Writes the whole table, replacing the file all at once. Returns false, with the file as
    // it was, when it cannot be written; the caller decides how to tell the user.
    bool save(const OrderTable& table);

    const std::string& path() const { return path_; }

  private:
    // Keeps a damaged file aside as settings.ini.bad (.bad2, ... when taken): copies `bytes`
    // when the file was read, moves it when not. The name it was kept as, or "" when it could
    // not be kept.
    std::string keepAside(const std::string* bytes);
    // Tells the damage on the diagnostics; returns what to say by voice.
    std::string tellDamage(const std::string& problem, int orders, const std::string& keptAs);

    Files& files_;
    Diagnostics& diagnostics_;
    Clock& clock_;
    std::string dataDir_;
    std::string path_;
    // A damaged file that could not be kept aside must not be overwritten by the next save.
    bool holdBackSaves_ = false;
};

}  // namespace tallowick
