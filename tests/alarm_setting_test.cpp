#include <gtest/gtest.h>

#include "commands/dispatcher.h"
#include "commands/text.h"
#include "fakes.h"

namespace tallowick {
namespace {

const char* const kIncorrect = "Incorrect entry, type help to list commands";
const char* const kNoRoom = "There is no room for another order.  Delete an order first.";

TEST(DurationAlarmTest, AddsAChimingOneShotAlarmDueAfterTheDuration) {
    Rig rig;
    EXPECT_EQ(rig.reply("in 2 h 10 m"), "Alarm number 1 set for  2  hours  10  minutes ");
    EXPECT_EQ(rig.order(1), (Order{"in  2  hours  10  minutes ",
                                   rig.clock.time.plusSecondsClamped(7800), 0, "chime.wav", 0}));
    EXPECT_EQ(rig.reply("in2h10m"), "Alarm number 2 set for 2 hours 10 minutes ");
    EXPECT_EQ(rig.order(2).description, "in 2 hours 10 minutes ");
    EXPECT_EQ(rig.reply("in 0.5 m"), "Alarm number 3 set for ");
    EXPECT_EQ(rig.order(3).description, "in ");
    EXPECT_EQ(rig.order(3).due, rig.clock.time.plusSecondsClamped(30));
    EXPECT_EQ(rig.reply("in 1.5 h"), "Alarm number 4 set for  1.5  hours ");
    EXPECT_EQ(rig.order(4).due, rig.clock.time.plusSecondsClamped(5400));
}

TEST(DurationAlarmTest, RejectedPhrasesLeaveTheTableAsItWas) {
    for (const char* line : {"inn 5 m", "info", "in", "in 5", "in 0 m", "in -5 m", "in 2 weeks",
                             "in 1e999 s", "in 10000000 w"}) {
        Rig rig;
        rig.type("mark");
        EXPECT_EQ(rig.reply(line), kIncorrect) << line;
        EXPECT_EQ(rig.count(), 1) << line;
    }
}

TEST(DurationAlarmTest, TheLastSecondOfTheCalendarIsTheLimit) {
    Rig rig;
    rig.clock.set(9999, 12, 31, 23, 59, 0);
    EXPECT_EQ(rig.reply("in 59 s"), "Alarm number 1 set for  59  seconds ");
    EXPECT_EQ(rig.reply("in 60 s"), kIncorrect);
}

struct AtRow {
    const char* line;
    int hour, minute;  // -1: rejected
    const char* replyTail;
};

// The clock stands at midnight, so every time of the day is still to come.
TEST(ClockTimeAlarmTest, ReadsEveryFormOfTheTimeOfDay) {
    const AtRow rows[] = {
        {"at 7:30pm", 19, 30, " 7:30pm"},
        {"at 7:30 pm", 19, 30, " 7:30 pm"},
        {"AT 7:30 PM", 19, 30, " 7:30 pm"},
        {"at 7:30", 7, 30, " 7:30 a m"},
        {"at 7:30am", 7, 30, " 7:30am"},
        {"at 19:30", 19, 30, " 19:30 a m"},
        {"at 19:30pm", 19, 30, " 19:30pm"},
        {"at 12:15", 0, 15, " 12:15 a m"},
        {"at 12:15am", 0, 15, " 12:15am"},
        {"at 12:15pm", 12, 15, " 12:15pm"},
        {"at 0:30pm", 12, 30, " 0:30pm"},
        {"at 0:30", 0, 30, " 0:30 a m"},
        {"at7:30", 7, 30, "7:30 a m"},
        {"at 7:5 pm", 19, 5, " 7:5 pm"},
        {"at 7:3030", 7, 30, " 7:3030 a m"},
        {"at 7.9:30", 7, 30, " 7.9:30 a m"},
        {"at 23:59", 23, 59, " 23:59 a m"},
        {"at 0:00", 0, 0, " 0:00 a m"},  // the present second: today, due at once
        {"at 7", -1, -1, nullptr},
        {"at", -1, -1, nullptr},
        {"at 7:5", -1, -1, nullptr},
        {"at :30", -1, -1, nullptr},
        {"at 24:00", -1, -1, nullptr},
        {"at 7:60", -1, -1, nullptr},
        {"at -1:30", -1, -1, nullptr},
        {"at 7:30 p.m.", -1, -1, nullptr},
        {"at 7:30xx", -1, -1, nullptr},
        {"at 23.5:00", -1, -1, nullptr},
        {"attention", -1, -1, nullptr},
        {"at 0x7:30", -1, -1, nullptr},
        {"at 7:é5", -1, -1, nullptr},
    };
    for (const AtRow& row : rows) {
        Rig rig;
        rig.clock.set(2026, 12, 6, 0, 0, 0);
        const std::string reply = rig.reply(row.line);
        if (row.hour < 0) {
            EXPECT_EQ(reply, kIncorrect) << row.line;
            EXPECT_EQ(rig.count(), 0) << row.line;
            continue;
        }
        EXPECT_EQ(reply, std::string("Alarm number 1 set for ") + row.replyTail) << row.line;
        ASSERT_EQ(rig.count(), 1) << row.line;
        EXPECT_EQ(rig.order(1).due, DateTime::make(2026, 12, 6, row.hour, row.minute)) << row.line;
        EXPECT_EQ(rig.order(1).description, lowerCase(row.line));
        EXPECT_EQ(rig.order(1).soundFile, "windup.wav");
        EXPECT_EQ(rig.order(1).period, 0);
        EXPECT_EQ(rig.order(1).sounding, 0);
    }
}

TEST(ClockTimeAlarmTest, ATimeGoneByIsTomorrow) {
    Rig rig;
    rig.clock.set(2026, 12, 31, 14, 5, 9);
    EXPECT_EQ(rig.reply("at 2:05pm"), "Alarm number 1 set for  2:05pm tomorrow");
    EXPECT_EQ(rig.order(1).due, DateTime::make(2027, 1, 1, 14, 5));
    rig.clock.set(2026, 12, 31, 14, 5, 0);
    EXPECT_EQ(rig.reply("at 14:05"), "Alarm number 2 set for  14:05 a m");
    EXPECT_EQ(rig.order(2).due, rig.clock.time);
    rig.clock.set(9999, 12, 31, 23, 0, 0);
    EXPECT_EQ(rig.reply("at 1:00"), kIncorrect);
    EXPECT_EQ(rig.count(), 2);
}

TEST(PeriodicAlarmTest, AddsADeepBellThatComesBackEveryPeriod) {
    Rig rig;
    EXPECT_EQ(rig.reply("every 5 m"), "Alarm number 1 set for every  5  minutes ");
    EXPECT_EQ(rig.order(1),
              (Order{"every 5 m", rig.clock.time.plusSecondsClamped(300), 300, "deepbell.wav", 0}));
    EXPECT_EQ(rig.reply("EVERY 1h30m"), "Alarm number 2 set for every  1 hour 30 minutes ");
    EXPECT_EQ(rig.order(2).period, 5400);
    EXPECT_EQ(rig.reply("every 2 h 1 m"), "Alarm number 3 set for every  1  minute  2  hours ");
    EXPECT_EQ(rig.order(3).period, 7260);
    EXPECT_EQ(rig.reply("every 0.5 m"), "Alarm number 4 set for every ");
    EXPECT_EQ(rig.order(4).period, 30);
    for (const char* line :
         {"every", "every 5", "every 0 m", "every -5 m", "every 2 hours", "everyday"}) {
        EXPECT_EQ(rig.reply(line), kIncorrect) << line;
    }
    EXPECT_EQ(rig.count(), 4);
}

TEST(AlarmSettingTest, TheResultCodesTellTheCommandsApart) {
    struct Row {
        const char* entry;
        int handled;
    } rows[] = {{"in 5 m", 1}, {"at 7:30", 2}, {"every 5 m", 3}, {"in 5", 0},
                {"at 7", 0},   {"every 5", 0}, {"hello", 0},     {"time", 1}};
    for (const Row& row : rows) {
        FakeClock clock;
        FakeVoice voice;
        FakeCanvas canvas;
        FakeShell shell;
        MemoryFiles files;
        OrderTable table;
        const std::string dir = "/prog";
        CommandContext c(row.entry, table, clock, voice, canvas, shell, files, dir);
        dispatch(c);
        EXPECT_EQ(c.handled, row.handled) << row.entry;
    }
}

TEST(AlarmSettingTest, AFullTableTakesNoMoreOrdersAndSaysSo) {
    Rig rig;
    for (int i = 0; i < 50; ++i)
        rig.type(i % 2 ? "mark" : "in 5 m");
    ASSERT_EQ(rig.count(), 50);
    const OrderTable before = rig.core.table();
    const std::string saved = rig.files.files[Rig::kSettings];
    for (const char* line : {"in 5 m", "at 7:30", "every 5 m", "mark"}) {
        EXPECT_EQ(rig.reply(line), kNoRoom) << line;
        EXPECT_EQ(rig.core.table(), before);
        EXPECT_EQ(rig.files.files[Rig::kSettings], saved);
    }
    EXPECT_EQ(rig.reply("in 5"), kIncorrect);  // a wrong line is still told so
    EXPECT_EQ(rig.reply("delete 50"), "Mark deleted.");
    EXPECT_EQ(rig.reply("every 5 m"), "Alarm number 50 set for every  5  minutes ");
}

}  // namespace
}  // namespace tallowick
