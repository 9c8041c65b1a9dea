// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ports/clock.h"

namespace tallowick {

// A local wall-clock reading in whole seconds, as the calendar on the wall shows it.
struct WallTime {
    int year = 1;    // 1 to 9999
    int month = 1;   // 1 to 12
    int day = 1;     // 1 to 31
    int hour = 0;    // 0 to 23
    int minute = 0;  // 0 to 59
    int second = 0;  // 0 to 59
};

// A local wall-clock date-time in whole seconds, from 1 January of the year 1 to 31 December 9999
// 23:59:59. It is a plain count of wall-clock seconds: every day has 86400 of them, whatever
// daylight saving does, so differences and sums are exact integer arithmetic.
class DateTime {
  public:
    DateTime() = default;

    static DateTime fromWallTime(const WallTime& t);
    // Checks the calendar: nullopt for a day or time that does not exist or lies out of range.
    static std::optional<DateTime> make(int year, int month, int day, int hour = 0, int minute = 0,
                                        int second = 0);
    static DateTime latest();    // 31 December 9999 23:59:59
    static DateTime earliest();  // 1 January 1 00:00:00
    // The date-time `seconds` after 1 January 1970 00:00:00, held to the span; and back.
    static DateTime fromSecondsSince1970(int64_t seconds);
    int64_t secondsSince1970() const;

    WallTime wallTime() const;
    int64_t secondsSinceEpoch() const { return seconds_; }

    // Moves by `delta` seconds, clamped to the representable span.
    DateTime plusSecondsClamped(int64_t delta) const;
    // Moves by `delta` seconds; nullopt when the result would leave the representable span.
    std::optional<DateTime> plusSeconds(int64_t delta) const;
    // Whole seconds from `earlier` to this one (negative when this one is earlier).
    int64_t secondsSince(DateTime earlier) const { return seconds_ - earlier.seconds_; }

    // The settings file's date-time form, the same on every machine: month/day/year, a blank,
    // and the 12-hour time with seconds and AM or PM (12/6/2026 3:22:01 AM); at midnight the
    // date alone (12/6/2026).
    std::string toSettingsText() const;
    // Reads the settings file's date-time form back. Also takes hyphens between the date's
    // parts, a time without seconds, a 24-hour time, and am/pm in any case. nullopt otherwise.
    static std::optional<DateTime> fromSettingsText(std::string_view text);

    friend auto operator<=>(const DateTime&, const DateTime&) = default;

  private:
    explicit DateTime(int64_t seconds) : seconds_(seconds) {}
    int64_t seconds_ = 0;  // since 1 January of the year 1, 00:00:00
};

// The local date and time that the wall clock of `clock`'s time zone shows at `instant`.
DateTime localTime(Clock& clock, Instant instant);

// Which of the two instants at which the wall clock shows the same time in the hour it repeats
// when summer time ends: the first is still summer time.
enum class Showing { first, second };

// The instant at which the wall clock shows `local`. Where it shows it twice, `showing` says
// which; where it never does (the hour skipped when summer time begins), the instant it skips
// past it, when it jumps from the second before to the first after (from 1:59:59 to 3:00:00).
Instant instantOf(Clock& clock, DateTime local, Showing showing);

// The first instant from `from` on at which the wall clock shows `local`; nothing when it shows
// it only before. On the night summer time ends either showing may be the first.
std::optional<Instant> nextInstantOf(Clock& clock, DateTime local, Instant from);

}  // namespace tallowick
