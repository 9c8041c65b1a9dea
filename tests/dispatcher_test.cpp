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

// Whatever is typed ends in a reply and a table that saves and loads as itself.
TEST(DispatcherTest, AnyLineEndsInAReplyAndAConsistentTable) {
    std::string longLine(100000, '7');
    std::string control;
    for (int c = 0; c < 32; ++c) control += static_cast<char>(c);
    const std::string lines[] = {
        "in " + longLine + " s",
        "in " + longLine + "." + longLine + " m",
        "at " + longLine + ":30",
        "delete " + longLine,
        "say mark " + longLine,
        "alarm" + longLine + " is x",
        "shutdown " + longLine + " s",
        longLine,
        "in 5\n m",
        "in " + control + " 5 m",
        "mark" + control,
        "at \xff\xfe:\xc3",
        "at 7:\xc3\xa9\xc3\xa9",
        "alarm1 is \xff",
        "in 1e308 w 1e308 d",
        "in 9999999999999999999999 s",
        "in 1e-320 s",
        "every 0.4 s",
        "every 1e-999 s 1 m",
        "delete -1e999",
        "delete 1e999",
        "say mark 2147483648",
        "alarm-9 is x",
        "shutdown 1e20 s",
        std::string("in 5 m\0x", 8),
    };
    Rig rig;
    rig.type("mark");
    for (const std::string& line : lines) {
        const std::string heard = rig.type(line);
        EXPECT_FALSE(heard.empty()) << line.substr(0, 40);
        ParsedSettings reread = parseSettings(rig.files.files[Rig::kSettings]);
        EXPECT_FALSE(reread.damaged) << reread.problem;
        EXPECT_EQ(reread.table, rig.core.table()) << line.substr(0, 40);
        rig.core.tick();
    }
}

}  // namespace
}  // namespace tallowick
