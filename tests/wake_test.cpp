// SPDX-License-Identifier: GPL-3.0-or-later
// The wake-up helper's input.

#include <gtest/gtest.h>

#include "wake/wake_line.h"

namespace tallowick {
namespace {

TEST(WakeLineTest, TakesASecondSinceTheEpochOrNoneAndNothingElse) {
    const std::pair<const char*, std::optional<int64_t>> rows[] = {{"1796787563", 1796787563},
                                                                   {"1", 1},
                                                                   {"999999999999", 999999999999},
                                                                   {"none", 0},
                                                                   {"", std::nullopt},
                                                                   {"0", std::nullopt},
                                                                   {"0600", std::nullopt},
                                                                   {"1000000000000", std::nullopt},
                                                                   {"-5", std::nullopt},
                                                                   {"+5", std::nullopt},
                                                                   {" 5", std::nullopt},
                                                                   {"5\r", std::nullopt},
                                                                   {"None", std::nullopt},
                                                                   {"0x10", std::nullopt},
                                                                   {"none ", std::nullopt}};
    for (const auto& [line, second] : rows) EXPECT_EQ(readWakeLine(line), second) << line;
}

}  // namespace
}  // namespace tallowick
