// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "ports/clock.h"

namespace tallowick {

// An amount of time as typed after "in", "every" and "shutdown": up to five numbers, each
// followed by its unit letter, in the order w, d, h, m, s ("2 h 10 m", "1w2d").
class DurationPhrase {
  public:
    static constexpr int kUnits = 5;

    // Splits `text` at the first w, then at the first d after it, and so on: each amount is
    // the text between the previous unit letter found and its own, blanks included. A letter
    // that does not occur leaves its amount at 0; what follows the last letter found is
    // ignored. Splitting never fails.
    static DurationPhrase split(std::string_view text);

    // Valid when every amount reads as a number, none is below 0 and not all are 0. Any
    // amount that is not finite is rejected too.
    bool valid() const;

    // The duration in words for replies: `start`, then each amount of exactly 1 as typed with
    // its singular word, then each amount above 1 with its plural word (" 2  hours ").
    std::string echo(std::string start) const;

    // The duration in seconds, fractions kept (1.5 minutes is 90). Only for a valid phrase.
    double totalSeconds() const;

    // `now` plus the duration rounded to the nearest whole second; nullopt when that would fall
    // after 31 December 9999 23:59:59 UTC. Only for a valid phrase.
    std::optional<Instant> dueFrom(Instant now) const;

    // The duration in whole seconds, rounded to the nearest (as dueFrom adds it) or up.
    long long roundedSeconds() const;
    long long roundedUpSeconds() const;

  private:
    struct Amount {
        bool present = false;  // its letter occurred
        std::string piece;     // the typed text, blanks included
        double value = 0;      // what the piece reads as; 0 when not present
        bool number = true;    // the piece reads as a number
    };
    std::array<Amount, kUnits> amounts_;
};

}  // namespace tallowick
