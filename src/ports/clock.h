#pragma once

namespace tallowick {

// A local wall-clock reading in whole seconds, as the calendar on the wall shows it.
struct WallTime {
    int year = 1;    // 1 to 9999
    int month = 1;   // 1 to 12
    int day = 1;     // 1 to 31
    int hour = 0;    // 0 to 23
    int minute = 0;  // 0 to 59
    int second = 0;  // 0 to 59 (a leap second reads as 59)
};

// Isolates the program from the real time of day, so that the logic can be run on a clock that
// tests move by hand.
class Clock {
  public:
    Clock() = default;
    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;
    virtual ~Clock() = default;

    // The present local date and time, truncated to the second. Never fails.
    virtual WallTime now() = 0;
};

}  // namespace tallowick
