// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/text.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace tallowick {
namespace {

struct LowerRun {
    char32_t first;
    char32_t last;
    int32_t delta;
    int32_t stride;
};

constexpr LowerRun kLowerRuns[] = {
#include "commands/lower_table.inc"
};

// Length of the character at the start of a non-empty `text`.
size_t characterLength(std::string_view text) {
    char32_t cp;
    const size_t length = decodeUtf8(text, cp);
    return length == 0 ? 1 : length;
}

void encode(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

char32_t lower(char32_t cp) {
    if (cp < 0x80) return cp >= 'A' && cp <= 'Z' ? cp + 32 : cp;
    const auto* run = std::upper_bound(std::begin(kLowerRuns), std::end(kLowerRuns), cp,
                                       [](char32_t c, const LowerRun& r) { return c < r.first; });
    if (run == std::begin(kLowerRuns)) return cp;
    --run;
    if (cp > run->last || (cp - run->first) % static_cast<char32_t>(run->stride) != 0) return cp;
    return static_cast<char32_t>(static_cast<int32_t>(cp) + run->delta);
}

}  // namespace

size_t decodeUtf8(std::string_view text, char32_t& cp) {
    if (text.empty()) return 0;
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char b0 = byte(0);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    size_t length;
    char32_t min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2, cp = b0 & 0x1Fu, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3, cp = b0 & 0x0Fu, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4, cp = b0 & 0x07u, min = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i) & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return length;
}

std::string lowerCase(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        char32_t cp;
        const size_t length = decodeUtf8(text, cp);
        if (length == 0) {
            out += text[0];
            text.remove_prefix(1);
        } else {
            encode(lower(cp), out);
            text.remove_prefix(length);
        }
    }
    return out;
}

size_t characterCount(std::string_view text) {
    size_t count = 0;
    for (; !text.empty(); ++count) text.remove_prefix(characterLength(text));
    return count;
}

std::string_view firstCharacters(std::string_view text, size_t n) {
    size_t bytes = 0;
    for (size_t i = 0; i < n && bytes < text.size(); ++i) {
        bytes += characterLength(text.substr(bytes));
    }
    return text.substr(0, bytes);
}

std::string_view dropCharacters(std::string_view text, size_t n) {
    return text.substr(firstCharacters(text, n).size());
}

std::string_view lastCharacters(std::string_view text, size_t n) {
    const size_t count = characterCount(text);
    return count <= n ? text : dropCharacters(text, count - n);
}

}  // namespace tallowick
