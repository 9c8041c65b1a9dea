#include "orders/date_time.h"

#include <gtest/gtest.h>

namespace tallowick {
namespace {

DateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return *DateTime::make(y, mo, d, h, mi, s);
}

TEST(DateTimeTest, SettingsTextHasTheFixedUnitedStatesForm) {
    struct Row {
        DateTime value;
        const char* text;
    } rows[] = {
        {at(2026, 12, 6, 3, 22, 1), "12/6/2026 3:22:01 AM"},
        {at(2026, 12, 6), "12/6/2026"},
        {at(2026, 12, 6, 0, 0, 1), "12/6/2026 12:00:01 AM"},
        {at(2026, 12, 6, 12, 0, 0), "12/6/2026 12:00:00 PM"},
        {at(2026, 1, 31, 23, 59, 59), "1/31/2026 11:59:59 PM"},
        {at(2024, 2, 29, 13, 5, 0), "2/29/2024 1:05:00 PM"},
        {at(1, 1, 1), "1/1/1"},
        {DateTime::latest(), "12/31/9999 11:59:59 PM"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.value.toSettingsText(), row.text);
        EXPECT_EQ(DateTime::fromSettingsText(row.text), row.value) << row.text;
    }
}

TEST(DateTimeTest, EverySecondOfADayAndManyDaysReadBackTheSame) {
    for (int64_t s = 0; s < 86400; s += 7) {
        const DateTime t = at(2026, 3, 29).plusSecondsClamped(s);
        ASSERT_EQ(DateTime::fromSettingsText(t.toSettingsText()), t) << t.toSettingsText();
    }
    for (int64_t day = 0; day < 3700000; day += 997) {
        const DateTime t = at(1, 1, 1, 17, 3, 4).plusSecondsClamped(day * 86400);
        ASSERT_EQ(DateTime::fromSettingsText(t.toSettingsText()), t) << t.toSettingsText();
    }
}

TEST(DateTimeTest, ReadsTheOtherFormsADateMayHaveBeenWrittenIn) {
    struct Row {
        const char* text;
        DateTime value;
    } rows[] = {
        {"12-06-2026 7:30:00 pm", at(2026, 12, 6, 19, 30)},
        {"12-06-2026 12:15:00 am", at(2026, 12, 6, 0, 15)},
        {"12-06-2026 19:30:00 pm", at(2026, 12, 6, 19, 30)},
        {"12/6/2026 19:30:05", at(2026, 12, 6, 19, 30, 5)},
        {"12/6/2026 7:30 PM", at(2026, 12, 6, 19, 30)},
        {" 12/6/2026 ", at(2026, 12, 6)},
    };
    for (const Row& row : rows)
        EXPECT_EQ(DateTime::fromSettingsText(row.text), row.value) << row.text;
}

TEST(DateTimeTest, RejectsTextsThatAreNoDate) {
    for (const char* text :
         {"", "mark", "2/30/2026", "13/1/2026", "12/6/10000", "12/6/2026 3:60:00 AM",
          "12/6/2026 3:22:01 XM", "12/6/2026 24:00:00", "12/6/2026 3:22:01 AM x", "12/6-2026",
          "0/6/2026", "12/6/0", "12.6.2026"}) {
        EXPECT_FALSE(DateTime::fromSettingsText(text).has_value()) << text;
    }
}

TEST(DateTimeTest, ArithmeticIsWholeWallClockSecondsAndStaysInTheCalendar) {
    EXPECT_EQ(at(2024, 3, 1).secondsSince(at(2024, 2, 28)), 2 * 86400);  // leap year
    EXPECT_EQ(at(2026, 3, 29, 3).secondsSince(at(2026, 3, 29, 1)), 7200);
    EXPECT_EQ(DateTime::latest().plusSeconds(1), std::nullopt);
    EXPECT_EQ(DateTime::earliest().plusSeconds(-1), std::nullopt);
    EXPECT_EQ(DateTime::latest().plusSecondsClamped(INT64_MAX), DateTime::latest());
    EXPECT_EQ(DateTime::earliest().plusSecondsClamped(INT64_MIN), DateTime::earliest());
    EXPECT_EQ(at(9999, 12, 31, 23, 59, 58).plusSeconds(1), DateTime::latest());
}

TEST(DateTimeTest, AClockReadingOutsideTheCalendarIsHeldToIt) {
    EXPECT_EQ(DateTime::fromWallTime(WallTime{2026, 12, 6, 23, 59, 60}),
              at(2026, 12, 6, 23, 59, 59));
    EXPECT_EQ(DateTime::fromWallTime(WallTime{12000, 1, 1, 0, 0, 0}).wallTime().year, 9999);
}

}  // namespace
}  // namespace tallowick
