// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the benchmarks share: a settings file of many orders, a voice that only keeps the last
// text, and percentiles of a list of times.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "ports/voice.h"

namespace tallowick::bench {

// The bytes of a settings file holding `count` orders, as the program writes them: alarms due
// far in the future (every fifth one periodic) and, every third order, a mark.
inline std::string makeSettings(int count) {
    // Appended piece by piece: g++ 12 warns (-Wrestrict) wrongly on " " + std::to_string(n).
    std::string s = " ";
    s += std::to_string(count);
    s += " \r\n";
    for (int i = 1; i <= count; ++i) {
        if (i % 3 == 0) {
            s += "mark\r\n12/6/2026 3:22:01 AM\r\n 0 \r\n\r\n 0 \r\n";
        } else if (i % 5 == 0) {
            s += "every  5  minutes \r\n12/31/2099 3:22:01 PM\r\n 300 \r\nchime.wav\r\n 0 \r\n";
        } else {
            s += "in  ";
            s += std::to_string(i);
            s += "  hours \r\n12/31/2099 3:22:01 PM\r\n 0 \r\nchime.wav\r\n 0 \r\n";
        }
    }
    return s;
}

// A voice that keeps only what it was last asked, so that a long run does not grow.
class LastTextVoice final : public Voice {
  public:
    std::string last;
    long requests = 0;
    void say(const std::string& text) override {
        last = text;
        ++requests;
    }
    void queue(const std::string& text) override {
        last = text;
        ++requests;
    }
};

// The value below which a fraction `p` (0 to 1) of `values` lies, by the nearest-rank rule.
// `values` must not be empty; it is sorted in place.
inline double percentile(std::vector<double>& values, double p) {
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p * static_cast<double>(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

}  // namespace tallowick::bench
