#include <gtest/gtest.h>

#include "fakes.h"

namespace tallowick {
namespace {

TEST(AlarmSettingTest, AFullTableTakesNoMoreOrdersAndSaysSo) {
    Rig rig;
    for (int i = 0; i < 50; ++i) rig.type(i % 2 ? "mark" : "in 5 m");
    ASSERT_EQ(rig.count(), 50);
    EXPECT_EQ(rig.order(1).description, "in  5  minutes ");  // as the settings file keeps it
    const OrderTable before = rig.core.table();
    const std::string saved = rig.files.files[Rig::kSettings];
    for (const char* line : {"in 5 m", "at 7:30", "every 5 m", "mark"}) {
        EXPECT_EQ(rig.reply(line), "There is no room for another order.  Delete an order first.")
            << line;
        EXPECT_EQ(rig.core.table(), before);
        EXPECT_EQ(rig.files.files[Rig::kSettings], saved);
    }
    EXPECT_EQ(rig.reply("in 5"), "Incorrect entry, type help to list commands");
    EXPECT_EQ(rig.reply("delete 50"), "Mark deleted.");
    EXPECT_EQ(rig.reply("every 5 m"), "Alarm number 50 set for every  5  minutes ");
}

}  // namespace
}  // namespace tallowick
