#include "commands/number.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <locale.h>

namespace tallowick {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
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

    // strtod_l under the C locale reads a full stop as the decimal point whatever the user's
    // locale is; the text was checked against the rule above, so it sees nothing but that form.
    // It gives HUGE_VAL for a number too large and 0 (or a tiny value) for one too small.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    const std::string unsignedText(number.substr(mantissaStart));
    const double value = strtod_l(unsignedText.c_str(), nullptr, cLocale);
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
