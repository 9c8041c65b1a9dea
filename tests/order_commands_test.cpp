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
    rig.canvas.calls.clear();
    EXPECT_EQ(rig.type("stop"), "say:");
    EXPECT_EQ(rig.canvas.calls, std::vector<std::string>{"clear"});
    ASSERT_EQ(rig.count(), 2);
    EXPECT_EQ(rig.order(1), third);
    EXPECT_EQ(rig.order(2), fourth);
    rig.canvas.calls.clear();
    EXPECT_EQ(rig.reply("delete 1"), "Alarm deleted.");
    EXPECT_EQ(rig.canvas.calls, std::vector<std::string>{"clear"});
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
