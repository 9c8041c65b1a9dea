// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <compare>
#include <cstdint>
#include <optional>

namespace tallowick {

// A moment in time, the same whatever the time zone and whatever daylight saving does: whole
// seconds since 1 January 1970 00:00:00 UTC, leap seconds not counted, as the system's real-time
// clock counts them. Held to the years 1 to 9999 of UTC, and so is all arithmetic on it.
class Instant {
  public:
    constexpr Instant() = default;
    constexpr explicit Instant(int64_t secondsSince1970)
        : seconds_(std::clamp(secondsSince1970, kEarliest, kLatest)) {}
    static constexpr Instant earliest() { return Instant(kEarliest); }  // 1 January 1, 00:00:00
    static constexpr Instant latest() { return Instant(kLatest); }  // 31 December 9999, 23:59:59

    constexpr int64_t secondsSince1970() const { return seconds_; }
    // Moves by `delta` seconds; nullopt when that would leave the span.
    constexpr std::optional<Instant> plusSeconds(int64_t delta) const {
        if (delta > kLatest - seconds_ || delta < kEarliest - seconds_) return std::nullopt;
        return Instant(seconds_ + delta);
    }
    // Moves by `delta` seconds, held to the span.
    constexpr Instant plusSecondsClamped(int64_t delta) const {
        return plusSeconds(delta).value_or(delta > 0 ? latest() : earliest());
    }
    // Whole seconds from `earlier` to this one (negative when this one is earlier).
    constexpr int64_t secondsSince(Instant earlier) const { return seconds_ - earlier.seconds_; }

    friend constexpr auto operator<=>(Instant, Instant) = default;

  private:
    static constexpr int64_t kEarliest = -62135596800;
    static constexpr int64_t kLatest = 253402300799;
    int64_t seconds_ = 0;
};

// Isolates the program from the real time and the time zone, so that the logic can be run on a
// clock that tests move by hand, in any zone.
class Clock {
  public:
    Clock() = default;
    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;
    virtual ~Clock() = default;

    // The present instant, truncated to the second. Never fails.
    virtual Instant now() = 0;
    // How far the local wall clock is ahead of UTC at `instant`, in seconds: in Berlin 3600 in
    // winter and 7200 in summer. Never fails.
    virtual int64_t utcOffset(Instant instant) = 0;
};

}  // namespace tallowick
