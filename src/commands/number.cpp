// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/number.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

namespace tallowick {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The power of ten of the first significant digit of an unsigned number in the checked form
// ("0.05e3" gives 1). Only for a number that is not 0.
long long decimalExponent(std::string_view text) {
    const size_t e = std::min(text.find_first_of("eE"), text.size());
    const std::string_view mantissa = text.substr(0, e);
    const size_t point = std::min(mantissa.find('.'), mantissa.size());
    const size_t first = mantissa.find_first_of("123456789");
    long long power = first < point ? static_cast<long long>(point - first) - 1
                                    : -static_cast<long long>(first - point);
    if (e == text.size()) return power;
    std::string_view exponent = text.substr(e + 1);
    const bool negative = exponent.front() == '-';
    if (exponent.front() == '+' || negative) exponent.remove_prefix(1);
    int shift = 0;
    if (std::from_chars(exponent.data(), exponent.data() + exponent.size(), shift).ec !=
        std::errc{})
        return negative ? -1 : 1;  // an exponent beyond an int outweighs any mantissa
    return power + (negative ? -static_cast<long long>(shift) : shift);
}

}  // namespace

std::optional<double> readNumber(std::string_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && text[begin] == ' ') ++begin;
    while (end > begin && text[end - 1] == ' ') --end;
    std::string_view number = text.substr(begin, end - begin);

    size_t i = 0;
    bool negative = false;
    if (i < number.size() && (number[i] == '+' || number[i] == '-')) {
        negative = number[i] == '-';
        ++i;
    }
    const size_t mantissaStart = i;
    size_t digits = 0, points = 0;
    for (; i < number.size(); ++i) {
        if (isDigit(number[i])) {
            ++digits;
        } else if (number[i] == '.' && points == 0) {
            ++points;
        } else {
            break;
        }
    }
    if (digits == 0) return std::nullopt;
    if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
        ++i;
        if (i < number.size() && (number[i] == '+' || number[i] == '-')) ++i;
        const size_t exponentStart = i;
        while (i < number.size() && isDigit(number[i])) ++i;
        if (i == exponentStart) return std::nullopt;
    }
    if (i != number.size()) return std::nullopt;

    // from_chars reads a full stop as the decimal point whatever the user's locale is. A number
    // beyond a double's range it leaves unread: one too large then reads as infinity, one too
    // small as 0.
    const std::string_view unsignedText = number.substr(mantissaStart);
    double value = 0;
    if (std::from_chars(unsignedText.data(), unsignedText.data() + unsignedText.size(), value).ec ==
        std::errc::result_out_of_range)
        value = decimalExponent(unsignedText) >= 0 ? HUGE_VAL : 0.0;
    return negative ? -value : value;
}

std::string OrderNumber::text() const {
    if (std::isinf(value)) return value < 0 ? "-infinity" : "infinity";
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.0f", value == 0 ? 0.0 : value);
    return buffer;
}

std::optional<OrderNumber> readOrderNumber(std::string_view text) {
    const std::optional<double> value = readNumber(text);
    if (!value) return std::nullopt;
    return OrderNumber{std::floor(*value)};
}

}  // namespace tallowick
