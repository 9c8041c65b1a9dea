// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/duration_phrase.h"

#include <cmath>
#include <iterator>

#include "clock/time_wording.h"
#include "commands/number.h"

namespace tallowick {
namespace {

static_assert(std::size(kTimeUnits) == DurationPhrase::kUnits);

// Whole seconds for a count of them. Anything past the calendar's whole span (some 3e11 s) is
// as good as infinite; the cap keeps the conversion defined.
long long cappedSeconds(double seconds) {
    constexpr double kCap = 1e15;
    return static_cast<long long>(std::fmin(seconds, kCap));
}

}  // namespace

DurationPhrase DurationPhrase::split(std::string_view text) {
    DurationPhrase phrase;
    for (int u = 0; u < kUnits; ++u) {
        const size_t at = text.find(kTimeUnits[u].letter);
        if (at == std::string_view::npos) continue;
        Amount& amount = phrase.amounts_[static_cast<size_t>(u)];
        amount.present = true;
        amount.piece = std::string(text.substr(0, at));
        const std::optional<double> value = readNumber(amount.piece);
        amount.number = value.has_value();
        amount.value = value.value_or(0);
        text.remove_prefix(at + 1);
    }
    return phrase;
}

bool DurationPhrase::valid() const {
    bool anyAboveZero = false;
    for (const Amount& amount : amounts_) {
        if (!amount.number || amount.value < 0 || !std::isfinite(amount.value)) return false;
        anyAboveZero = anyAboveZero || amount.value > 0;
    }
    // The amounts are finite, but their sum in seconds may still not be.
    return anyAboveZero && std::isfinite(totalSeconds());
}

std::string DurationPhrase::echo(std::string start) const {
    for (int u = 0; u < kUnits; ++u) {
        const Amount& amount = amounts_[static_cast<size_t>(u)];
        if (amount.present && amount.value == 1) start += amount.piece + kTimeUnits[u].singular;
    }
    for (int u = 0; u < kUnits; ++u) {
        const Amount& amount = amounts_[static_cast<size_t>(u)];
        if (amount.present && amount.value > 1) start += amount.piece + kTimeUnits[u].plural;
    }
    return start;
}

double DurationPhrase::totalSeconds() const {
    double total = 0;
    for (int u = kUnits - 1; u >= 0; --u) {
        total +=
            amounts_[static_cast<size_t>(u)].value * static_cast<double>(kTimeUnits[u].seconds);
    }
    return total;
}

long long DurationPhrase::roundedSeconds() const {
    return cappedSeconds(std::round(totalSeconds()));
}

long long DurationPhrase::roundedUpSeconds() const {
    return cappedSeconds(std::ceil(totalSeconds()));
}

std::optional<Instant> DurationPhrase::dueFrom(Instant now) const {
    return now.plusSeconds(roundedSeconds());
}

}  // namespace tallowick
