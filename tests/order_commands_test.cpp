#include <gtest/gtest.h>

#include "fakes.h"

namespace tallowick {
namespace {

// The panel draws only rows 1 to the order count, so "stop" and "delete" must wipe it when they
// take orders away; the next tick draws the rest in their new places.
TEST(RemovingTest, StopRemovesExactlyTheSoundingOrdersAndClearsThePanel) {
    Rig rig;
    for (const char* line : {"in 1 s", "in 1 s", "in 1 h", "every 1 s"}) rig.type(line);
    rig.clock.advance(1);
    rig.core.tick();
    const Order third = rig.order(3), fourth = rig.order(4);
    ASSERT_EQ(rig.canvas.rows.size(), 4u);
    EXPECT_EQ(rig.type("stop"), "say:");
    EXPECT_TRUE(rig.canvas.rows.empty());
    ASSERT_EQ(rig.count(), 2);
    EXPECT_EQ(rig.order(1), third);
    EXPECT_EQ(rig.order(2), fourth);
    rig.core.tick();
    EXPECT_EQ(rig.reply("delete 1"), "Alarm deleted.");
    EXPECT_TRUE(rig.canvas.rows.empty());
    rig.core.tick();
    rig.type("delete all");
    EXPECT_TRUE(rig.canvas.rows.empty());
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
