// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tallowick {

// The one rule by which every typed number is read: any blanks, an optional sign, digits with
// at most one decimal point among or around them (at least one digit), optionally an exponent
// (e or E, an optional sign, digits), any blanks. Nothing else: no hexadecimal, no digit
// grouping, no "inf" or "nan", and a full stop is the decimal point whatever the user's locale.
// Returns nullopt for a text that breaks the rule. A number too large for a double reads as an
// infinity of its sign; callers decide whether they take it.
std::optional<double> readNumber(std::string_view text);

// An order number as typed, rounded down to a whole number (toward minus infinity).
struct OrderNumber {
    double value = 0;  // the rounded-down value; may lie far outside any table
    bool inRange(int count) const { return value >= 1 && value <= count; }
    int position() const { return static_cast<int>(value); }  // only when inRange()
    // The number in plain decimal, a minus sign where negative: "7", "-1", "0".
    std::string text() const;
};

// Reads `text` by the number rule and rounds it down; nullopt when it is no number.
std::optional<OrderNumber> readOrderNumber(std::string_view text);

}  // namespace tallowick
