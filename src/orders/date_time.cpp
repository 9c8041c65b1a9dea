// SPDX-License-Identifier: GPL-3.0-or-later
#include "orders/date_time.h"

#include <algorithm>
#include <cstdio>

namespace tallowick {
namespace {

constexpr int64_t kSecondsPerDay = 86400;

// Days from 1 January of the year 1 to the given date of the proleptic Gregorian calendar.
constexpr int64_t daysFromCivil(int year, int month, int day) {
    const int64_t y = year - (month <= 2 ? 1 : 0);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t mp = (month + 9) % 12;
    const int64_t doy = (153 * mp + 2) / 5 + day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 306;  // day 0 of the count is 0000-03-01; shift to 0001-01-01
}

void civilFromDays(int64_t days, int& year, int& month, int& day) {
    const int64_t z = days + 306;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

constexpr int64_t kLatest = daysFromCivil(9999, 12, 31) * kSecondsPerDay + kSecondsPerDay - 1;
constexpr int64_t kUnixEpoch = daysFromCivil(1970, 1, 1) * kSecondsPerDay;
// An instant read in UTC is a date-time of the calendar, and every such date-time an instant.
static_assert(Instant::earliest().secondsSince1970() == -kUnixEpoch &&
              Instant::latest().secondsSince1970() == kLatest - kUnixEpoch);

// A small cursor over the text of a date-time, reading unsigned numbers and single characters.
struct Reader {
    std::string_view text;
    size_t pos = 0;

    void skipBlanks() {
        while (pos < text.size() && text[pos] == ' ') ++pos;
    }
    bool number(int& value, size_t maxDigits) {
        size_t start = pos;
        value = 0;
        while (pos < text.size() && pos - start < maxDigits && text[pos] >= '0' &&
               text[pos] <= '9') {
            value = value * 10 + (text[pos] - '0');
            ++pos;
        }
        return pos > start && (pos >= text.size() || text[pos] < '0' || text[pos] > '9');
    }
    bool character(char c) {
        if (pos < text.size() && text[pos] == c) {
            ++pos;
            return true;
        }
        return false;
    }
    bool letters(std::string_view word) {
        if (text.size() - pos < word.size()) return false;
        for (size_t i = 0; i < word.size(); ++i) {
            char c = text[pos + i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            if (c != word[i]) return false;
        }
        pos += word.size();
        return true;
    }
    bool atEnd() const { return pos == text.size(); }
};

}  // namespace

DateTime DateTime::fromWallTime(const WallTime& t) {
    if (auto made = make(t.year, t.month, t.day, t.hour, t.minute, t.second)) return *made;
    // A clock outside the calendar's span (or reading a leap second as 60) is held to the span.
    int year = t.year < 1 ? 1 : (t.year > 9999 ? 9999 : t.year);
    int month = t.month < 1 ? 1 : (t.month > 12 ? 12 : t.month);
    int day = t.day < 1 ? 1 : (t.day > daysInMonth(year, month) ? daysInMonth(year, month) : t.day);
    auto clamp = [](int v, int hi) { return v < 0 ? 0 : (v > hi ? hi : v); };
    return *make(year, month, day, clamp(t.hour, 23), clamp(t.minute, 59), clamp(t.second, 59));
}

std::optional<DateTime> DateTime::make(int year, int month, int day, int hour, int minute,
                                       int second) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > daysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59) {
        return std::nullopt;
    }
    return DateTime(daysFromCivil(year, month, day) * kSecondsPerDay + hour * 3600 + minute * 60 +
                    second);
}

DateTime DateTime::latest() {
    return DateTime(kLatest);
}
DateTime DateTime::earliest() {
    return DateTime(0);
}

DateTime DateTime::fromSecondsSince1970(int64_t seconds) {
    return DateTime(std::clamp(seconds, -kUnixEpoch, kLatest - kUnixEpoch) + kUnixEpoch);
}

int64_t DateTime::secondsSince1970() const {
    return seconds_ - kUnixEpoch;
}

WallTime DateTime::wallTime() const {
    WallTime t;
    civilFromDays(seconds_ / kSecondsPerDay, t.year, t.month, t.day);
    const int64_t inDay = seconds_ % kSecondsPerDay;
    t.hour = static_cast<int>(inDay / 3600);
    t.minute = static_cast<int>(inDay / 60 % 60);
    t.second = static_cast<int>(inDay % 60);
    return t;
}

DateTime DateTime::plusSecondsClamped(int64_t delta) const {
    if (delta >= 0) return DateTime(delta > kLatest - seconds_ ? kLatest : seconds_ + delta);
    return DateTime(delta < -seconds_ ? 0 : seconds_ + delta);
}

std::optional<DateTime> DateTime::plusSeconds(int64_t delta) const {
    if (delta > kLatest - seconds_ || delta < -seconds_) return std::nullopt;
    return DateTime(seconds_ + delta);
}

std::string DateTime::toSettingsText() const {
    const WallTime t = wallTime();
    char buffer[48];
    if (t.hour == 0 && t.minute == 0 && t.second == 0) {
        std::snprintf(buffer, sizeof buffer, "%d/%d/%d", t.month, t.day, t.year);
    } else {
        const int hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
        std::snprintf(buffer, sizeof buffer, "%d/%d/%d %d:%02d:%02d %s", t.month, t.day, t.year,
                      hour12, t.minute, t.second, t.hour < 12 ? "AM" : "PM");
    }
    return buffer;
}

std::optional<DateTime> DateTime::fromSettingsText(std::string_view text) {
    Reader r{text};
    int month = 0, day = 0, year = 0, hour = 0, minute = 0, second = 0;
    r.skipBlanks();
    if (!r.number(month, 2)) return std::nullopt;
    const char separator = r.pos < text.size() ? text[r.pos] : '\0';
    if (separator != '/' && separator != '-') return std::nullopt;
    ++r.pos;
    if (!r.number(day, 2) || !r.character(separator) || !r.number(year, 4)) return std::nullopt;
    r.skipBlanks();
    if (!r.atEnd()) {
        if (!r.number(hour, 2) || !r.character(':') || !r.number(minute, 2)) return std::nullopt;
        if (r.character(':') && !r.number(second, 2)) return std::nullopt;
        r.skipBlanks();
        if (r.letters("am") || r.letters("pm")) {
            const bool pm = text[r.pos - 2] == 'p' || text[r.pos - 2] == 'P';
            // The 12-hour rule; an hour of 13 to 23 keeps its value whatever the marker says.
            if (hour <= 12) hour = hour % 12 + (pm ? 12 : 0);
        }
        r.skipBlanks();
        if (!r.atEnd()) return std::nullopt;
    }
    return make(year, month, day, hour, minute, second);
}

DateTime localTime(Clock& clock, Instant instant) {
    return DateTime::fromSecondsSince1970(instant.secondsSince1970() + clock.utcOffset(instant));
}

Instant instantOf(Clock& clock, DateTime local, Showing showing) {
    const int64_t wall = local.secondsSince1970();
    // The offsets a day before and a day after: where the wall shows `local`, it does so at one
    // of them, unless the offset changes twice within two days.
    const int64_t before = clock.utcOffset(Instant(wall - kSecondsPerDay));
    const int64_t after = clock.utcOffset(Instant(wall + kSecondsPerDay));
    auto shownAt = [&](int64_t offset) -> std::optional<Instant> {
        const Instant candidate(wall - offset);
        if (clock.utcOffset(candidate) != offset) return std::nullopt;
        return candidate;
    };
    const std::optional<Instant> a = shownAt(before), b = shownAt(after);
    if (a && b) return showing == Showing::first ? std::min(*a, *b) : std::max(*a, *b);
    if (a || b) return a ? *a : *b;
    // Skipped: the wall jumps past it between these two, at the first second of the new offset.
    int64_t low = wall - after, high = wall - before;
    if (low >= high) return Instant(high);
    while (high - low > 1) {
        const int64_t middle = low + (high - low) / 2;
        (clock.utcOffset(Instant(middle)) == before ? low : high) = middle;
    }
    return Instant(high);
}

std::optional<Instant> nextInstantOf(Clock& clock, DateTime local, Instant from) {
    for (const Showing showing : {Showing::first, Showing::second}) {
        const Instant when = instantOf(clock, local, showing);
        if (when >= from) return when;
    }
    return std::nullopt;
}

}  // namespace tallowick
