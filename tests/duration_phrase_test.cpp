#include "commands/duration_phrase.h"

#include <gtest/gtest.h>

namespace tallowick {
namespace {

// Each row is a line as typed after the two letters "in", with the phrase's verdict, its echo
// and its total in seconds.
struct Row {
    const char* line;
    bool valid;
    const char* echo;
    double total;
};

const Row kRows[] = {
    {"in 2 h 10 m", true, " 2  hours  10  minutes ", 7800},
    {"in 2h10m", true, " 2 hours 10 minutes ", 7800},
    {"in2h10m", true, "2 hours 10 minutes ", 7800},
    {"in 90 s", true, " 90  seconds ", 90},
    {"in 1 w", true, " 1  week ", 604800},
    {"in 2 h 1 m", true, " 1  minute  2  hours ", 7260},
    {"in 1 d 1 h", true, " 1  day  1  hour ", 90000},
    {"in 01 m", true, " 01  minute ", 60},
    {"in 1.5 m", true, " 1.5  minutes ", 90},
    {"in 0.5 m", true, "", 30},
    {"in 0 h 5 m", true, " 5  minutes ", 300},
    {"in 10 m 7", true, " 10  minutes ", 600},
    {"in 1 week", true, " 1  week ", 604800},
    {"in 1 hour", true, " 1  hour ", 3600},
    {"in 1w2d3h4m5s", true, " 1 week 2 days 3 hours 4 minutes 5 seconds ", 788645},
    {"in 1e1 m", true, " 1e1  minutes ", 600},
    {"in 5", false, "", 0},
    {"in", false, "", 0},
    {"in 0 h 0 m", false, "", 0},
    {"in -5 m", false, "", 0},
    {"in m", false, "", 0},
    {"in 30 s 10 m", false, "", 0},
    {"in 2 weeks", false, "", 0},
    {"in 2 hours", false, "", 0},
    {"in 1 second", false, "", 0},
    {"in 5 mins", false, "", 0},
    {"inn 5 m", false, "", 0},
    {"in 1e999 s", false, "", 0},
    {"in 1e308 w", false, "", 0},  // each amount is finite, the total is not
    {"in 0x10 m", false, "", 0},
    {"in 1,5 m", false, "", 0},
};

TEST(DurationPhraseTest, SplitsTestsAndEchoesEveryKnownPhrase) {
    for (const Row& row : kRows) {
        const DurationPhrase phrase = DurationPhrase::split(std::string_view(row.line).substr(2));
        ASSERT_EQ(phrase.valid(), row.valid) << row.line;
        if (!row.valid) continue;
        EXPECT_EQ(phrase.echo(""), row.echo) << row.line;
        EXPECT_DOUBLE_EQ(phrase.totalSeconds(), row.total) << row.line;
    }
}

TEST(DurationPhraseTest, DueAddsTheTotalRoundedToTheNearestSecond) {
    const DateTime now = *DateTime::make(2026, 12, 6, 14, 5, 9);
    EXPECT_EQ(DurationPhrase::split(" 2 h 10 m").dueFrom(now), now.plusSeconds(7800));
    EXPECT_EQ(DurationPhrase::split(" 1.5 h").dueFrom(now), now.plusSeconds(5400));
    EXPECT_EQ(DurationPhrase::split(" 0.4 s").dueFrom(now), now);
    EXPECT_EQ(DurationPhrase::split(" 0.5 s").dueFrom(now), now.plusSeconds(1));
    EXPECT_EQ(DurationPhrase::split(" 2.6 s").dueFrom(now), now.plusSeconds(3));
}

TEST(DurationPhraseTest, NoDueAfterTheLastDayOfTheCalendar) {
    const DateTime lastSecondButOne = *DateTime::make(9999, 12, 31, 23, 59, 58);
    EXPECT_EQ(DurationPhrase::split(" 1 s").dueFrom(lastSecondButOne), DateTime::latest());
    EXPECT_EQ(DurationPhrase::split(" 2 s").dueFrom(lastSecondButOne), std::nullopt);
    const DateTime now = *DateTime::make(2026, 12, 6);
    EXPECT_EQ(DurationPhrase::split(" 1e15 w").dueFrom(now), std::nullopt);
    EXPECT_EQ(DurationPhrase::split(" 500000 w").dueFrom(now), std::nullopt);
    EXPECT_TRUE(DurationPhrase::split(" 500000 w").valid());
}

}  // namespace
}  // namespace tallowick
