#include <gtest/gtest.h>

#include "commands/shutdown.h"
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

TEST(MarkTest, SayMarksSpeaksEveryMarkInFullAndNothingElse) {
    Rig rig;
    rig.type("mark");
    rig.clock.advance(60);
    rig.type("in 5 m");
    rig.type("mark");
    rig.clock.advance(3725);
    EXPECT_EQ(rig.type("say marks"),
              "say:Mark 1 has been going 1 hours 3 minutes 5 seconds.    | "
              "queue:Mark 3 has been going 1 hours 2 minutes 5 seconds.   ");
    EXPECT_EQ(rig.type("say mark 3"), "say:Mark 3 has been going 1 hours 2 minutes 5 seconds.   ");
    EXPECT_EQ(rig.type("saymark2.5"), "say:There are no time marks");
}

TEST(ListingTest, OrdersSpeaksEachOrderQueuedBehindTheOneBefore) {
    Rig rig;
    rig.type("mark");
    rig.type("in 1 s");
    rig.type("in 2 h");
    rig.type("every 1 m");
    rig.clock.advance(1);
    rig.core.tick();
    EXPECT_EQ(rig.type("orders"),
              "say:Mark 1 has been going 1 seconds.    | "
              "queue:Order 2 is currently sounding.    | "
              "queue:Order 3 will alarm in 1 hours 59 minutes 59 seconds.    | "
              "queue:Order 4 will alarm in 59 seconds.   ");
    rig.type("delete 1");
    EXPECT_EQ(rig.type("orders").substr(0, 40), "say:Order 1 is currently sounding.    | ");
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
