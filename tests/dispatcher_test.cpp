#include <gtest/gtest.h>

#include "fakes.h"

namespace tallowick {
namespace {

// Which command takes a line: the tests run in a fixed order, and a prefix owns every line
// that starts with it, valid or not. Replies on an empty table, clock at 12/6/2026 14:05:09.
TEST(DispatcherTest, EveryLineIsSavedAndAnsweredButExitDoesNeither) {
    Rig rig;
    rig.type("hello");
    EXPECT_EQ(rig.files.replaces, 1);
    EXPECT_EQ(rig.files.files[Rig::kSettings], " 0 \r\n");
    EXPECT_EQ(rig.files.modes[Rig::kSettings], 0666);  // less the umask, or the old file's
    rig.type("in 5 m");
    EXPECT_EQ(rig.files.replaces, 2);
    const std::string saved = rig.files.files[Rig::kSettings];
    const size_t requests = rig.voice.requests.size();
    EXPECT_EQ(rig.core.line("EXIT"), Core::LineResult::exit);
    EXPECT_EQ(rig.files.replaces, 2);
    EXPECT_EQ(rig.files.files[Rig::kSettings], saved);
    EXPECT_EQ(rig.voice.requests.size(), requests);
}

TEST(DispatcherTest, ASaveThatFailsIsToldOnceAndTheNextGoodSaveWritesEverything) {
    Rig rig;
    rig.files.writesFail = true;
    EXPECT_EQ(rig.type("in 5 m"),
              "say:Alarm number 1 set for  5  minutes  | queue:The orders could not be saved.");
    EXPECT_EQ(rig.type("mark"), "say:Mark number 2 set");
    EXPECT_EQ(rig.diagnostics.lines.size(), 1u);
    EXPECT_EQ(rig.count(), 2);
    rig.files.writesFail = false;
    rig.type("time");
    EXPECT_EQ(rig.files.files[Rig::kSettings].substr(0, 5), " 2 \r\n");
    rig.files.writesFail = true;
    EXPECT_EQ(rig.type("time"), "say:14:05:09 | queue:The orders could not be saved.");
}

TEST(DispatcherTest, ADamagedSettingsFileIsToldAtStartByVoiceAndOnStderr) {
    Rig rig;
    rig.files.files[Rig::kSettings] = " 3 \r\nmark\r\n12/6/2026\r\n 0 \r\n\r\n 0 \r\n";
    rig.core.load();
    EXPECT_EQ(rig.count(), 1);
    ASSERT_EQ(rig.voice.requests.size(), 1u);
    EXPECT_EQ(rig.voice.requests[0].substr(0, 35), "say:The settings file was damaged. ");
    EXPECT_EQ(rig.diagnostics.lines.size(), 1u);
    EXPECT_TRUE(rig.files.files.count("/prog/settings.ini.bad"));
}

// Valid but for its length: the cap holds for every front-end.
TEST(DispatcherTest, ALineLongerThanTheCapIsAnIncorrectEntry) {
    Rig rig;
    EXPECT_EQ(rig.reply("in 5 m" + std::string(Core::kMaxLineBytes, ' ')),
              "Incorrect entry, type help to list commands");
    EXPECT_EQ(rig.count(), 0);
}

}  // namespace
}  // namespace tallowick
