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

TEST(DurationAlarmTest, TheLastSecondOfTheCalendarIsTheLimit) {
    Rig rig;
    rig.clock.set(9999, 12, 31, 23, 59, 0);
    EXPECT_EQ(rig.reply("in 59 s"), "Alarm number 1 set for  59  seconds ");
    EXPECT_EQ(rig.reply("in 60 s"), kIncorrect);
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
    for (int i = 0; i < 50; ++i) rig.type(i % 2 ? "mark" : "in 5 m");
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
