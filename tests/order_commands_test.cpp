#include <gtest/gtest.h>

#include "fakes.h"

namespace tallowick {
namespace {

const char* const kIncorrect = "Incorrect entry, type help to list commands";

TEST(MarkTest, AMarkRecordsThePresentSecond) {
    Rig rig;
    rig.type("in 5 m");
    rig.type("in 6 m");
    EXPECT_EQ(rig.reply("Mark"), "Mark number 3 set");
    EXPECT_EQ(rig.order(3), (Order{"mark", rig.clock.time, 0, "", 0}));
    EXPECT_EQ(rig.reply("mark 5"), "Mark number 4 set");
}

TEST(RemovingTest, DeleteRenumbersTheOrdersAfterIt) {
    Rig rig;
    rig.type("in 1 m");
    rig.type("mark");
    rig.type("every 3 m");
    const Order third = rig.order(3);
    rig.canvas.calls.clear();
    EXPECT_EQ(rig.reply("delete 2"), "Mark deleted.");
    EXPECT_EQ(rig.canvas.calls, std::vector<std::string>{"clear"});
    EXPECT_EQ(rig.count(), 2);
    EXPECT_EQ(rig.order(2), third);
    EXPECT_EQ(rig.reply("delete2.9"), "Alarm deleted.");
    EXPECT_EQ(rig.count(), 1);
    EXPECT_EQ(rig.reply("delete all"), "All alarms and marks deleted.");
    EXPECT_EQ(rig.reply("deleteall"), "All alarms and marks deleted.");
    EXPECT_EQ(rig.reply("in 5 m"), "Alarm number 1 set for  5  minutes ");
}

TEST(RemovingTest, StopRemovesExactlyTheSoundingOrders) {
    Rig rig;
    rig.type("in 1 s");
    rig.type("in 1 h");
    rig.type("in 1 s");
    rig.type("mark");
    rig.type("every 1 s");
    rig.clock.advance(1);
    rig.core.tick();
    const Order second = rig.order(2), fourth = rig.order(4), fifth = rig.order(5);
    rig.canvas.calls.clear();
    EXPECT_EQ(rig.type("stop"), "say:");
    EXPECT_EQ(rig.canvas.calls, std::vector<std::string>{"clear"});
    ASSERT_EQ(rig.count(), 3);
    EXPECT_EQ(rig.order(1), second);
    EXPECT_EQ(rig.order(2), fourth);
    EXPECT_EQ(rig.order(3), fifth);
    rig.type("stop");
    EXPECT_EQ(rig.count(), 3);
}

TEST(RemovingTest, AFullTableLosesItsLastOrderLikeAnyOther) {
    Rig rig;
    for (int i = 0; i < 49; ++i) rig.type("mark");
    rig.type("in 1 s");
    rig.clock.advance(1);
    rig.core.tick();
    rig.type("stop");
    EXPECT_EQ(rig.count(), 49);
    EXPECT_EQ(rig.reply("delete 49"), "Mark deleted.");
    EXPECT_EQ(rig.count(), 48);
}

TEST(RemovingTest, TheSoundStopsWithTheOrderThatRangItAndOnlyThen) {
    // "tick" rings what is due a second later. Order 1 waits an hour, order 2 is a one-shot
    // alarm, order 3 a periodic one; the last started sound (order 3's) is the one playing.
    const std::vector<std::string> setUp = {"in 1 h", "in 1 s", "every 1 s", "tick"};
    const struct Row {
        std::vector<std::string> lines;
        int stops;
    } rows[] = {
        {{"orders", "time", "in 5 m"}, 0},
        {{"delete 1"}, 0},
        {{"delete 1", "delete 2"}, 1},  // the order that rang moved up, and went
        {{"delete 3"}, 1},
        {{"stop"}, 1},  // order 3 stays, but "stop" silences its ring too
        {{"stop", "delete 2"}, 1},
        {{"delete all"}, 1},
        {{"delete 3", "tick", "stop"}, 2},  // the one-shot alarm rang again, alone
        {{"delete 3", "tick", "delete 1"}, 1},
    };
    for (const Row& row : rows) {
        Rig rig;
        std::string all;
        for (const std::vector<std::string>* lines : {&setUp, &row.lines}) {
            for (const std::string& line : *lines) {
                all += line + "; ";
                if (line == "tick") {
                    rig.clock.advance(1);
                    rig.core.tick();
                } else {
                    rig.type(line);
                }
            }
        }
        EXPECT_EQ(rig.player.stops, row.stops) << all;
    }
}

TEST(ShutdownTest, AFailureIsNeverReportedAsSuccess) {
    Rig rig;
    rig.shell.fails = true;
    EXPECT_EQ(rig.reply("shutdown 5 m"), "The shutdown could not be scheduled.");
    EXPECT_EQ(rig.files.modes["/prog/temp.bat"], 0600);
    Rig full;
    full.files.writesFail = true;
    EXPECT_EQ(full.type("shutdown 5 m"),
              "say:The shutdown could not be scheduled. | queue:The orders could not be saved.");
    EXPECT_TRUE(full.shell.scripts.empty());
}

}  // namespace
}  // namespace tallowick
