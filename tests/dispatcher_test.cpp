#include <gtest/gtest.h>

#include "fakes.h"

namespace tallowick {
namespace {

const char* const kIncorrect = "Incorrect entry, type help to list commands";

// Which command takes a line: the tests run in a fixed order, and a prefix owns every line
// that starts with it, valid or not. Replies on an empty table, clock at 12/6/2026 14:05:09.
TEST(DispatcherTest, TheFirstTestThatHoldsOwnsTheLine) {
    struct Row {
        const char* line;
        const char* reply;
    } rows[] = {
        {"in 5 m", "Alarm number 1 set for  5  minutes "},
        {"IN 5 M", "Alarm number 1 set for  5  minutes "},
        {"inn 5 m", kIncorrect},
        {"info", kIncorrect},
        {"index 5 m", kIncorrect},  // the d of "index" leaves an empty days amount
        {"attention", kIncorrect},
        {"at 7:30pm", "Alarm number 1 set for  7:30pm"},
        {"every 5 m", "Alarm number 1 set for every  5  minutes "},
        {"everyday", kIncorrect},
        {"mark", "Mark number 1 set"},
        {"marks", "Mark number 1 set"},
        {"marker", "Mark number 1 set"},
        {" mark", kIncorrect},
        {"delete all", "All alarms and marks deleted."},
        {"DeleteAll", "All alarms and marks deleted."},
        {"delete all ", kIncorrect},
        {"delete  all", kIncorrect},
        {"delete 1", "There is no order number 1 to delete."},
        {"delete", kIncorrect},
        {"alarm 1 is bell", "There is no order number 1 to set."},
        {"alarm is bell", kIncorrect},
        {"stop", ""},
        {"stop ", kIncorrect},
        {"time", "14:05:09"},
        {"date", "12-06-2026"},
        {"orders", "There are no standing orders"},
        {"orders ", kIncorrect},
        {"order", kIncorrect},
        {"say marks", "There are no time marks"},
        {"SayMarks", "There are no time marks"},
        {"say marks ", kIncorrect},
        {"say mark 1", "There is no mark number 1"},
        {"saymark0", "There is no mark number 0"},
        {"say mark", kIncorrect},
        {"help", nullptr},
        {"HELP", nullptr},
        {" help", kIncorrect},
        {"help ", kIncorrect},
        {"help 7", kIncorrect},
        {"help 2", nullptr},
        {"help6", nullptr},
        {"about", nullptr},
        {"dunwel", "Yes, Dunwel is the man! ha ha ha"},
        {"", kIncorrect},
        {"hello", kIncorrect},
        {"shutdown", kIncorrect},
        {"shutdownin 5 m", kIncorrect},  // shutdown comes first; its minutes amount is "in 5 "
    };
    for (const Row& row : rows) {
        Rig rig;
        const std::string reply = rig.reply(row.line);
        if (row.reply) {
            EXPECT_EQ(reply, row.reply) << '"' << row.line << '"';
        } else {
            EXPECT_NE(reply, kIncorrect) << '"' << row.line << '"';
        }
    }
}

TEST(DispatcherTest, HelpPagesAreTheirOwnTexts) {
    Rig rig;
    EXPECT_EQ(rig.reply("help").substr(0, 54),
              "To exit the program type EXIT.  To stop a chiming alar");
    EXPECT_EQ(rig.reply("help 2").substr(0, 35), "To set an alarm for a specific time");
    EXPECT_EQ(rig.reply("help3").substr(0, 29), "To set a periodic alarm, type");
    EXPECT_EQ(rig.reply("help 4").substr(0, 45), "To list all of the current alarms, type Order");
    EXPECT_EQ(rig.reply("help 5").substr(0, 37), "To set a custom alarm sound first you");
    EXPECT_EQ(rig.reply("help 6"),
              "For timing things you can create marks.  Type mark, and a new mark will be "
              "created.  At a later time you can either type, say marks, to hear them all, or "
              "you can type, say mark, followed by the order number of a specific mark.  You "
              "will be told how much time has passed since that mark was created.  Deleting "
              "marks works exactly the same as deleting alarms, and they both show up on the "
              "same order list.  Type shutdown, followed by an amount of time, and the computer "
              "will shut itself down at that time.");
}

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

TEST(DispatcherTest, TimeAndDateUseTwoDigitFields) {
    Rig rig;
    rig.clock.set(2027, 1, 2, 3, 4, 5);
    EXPECT_EQ(rig.reply("time"), "03:04:05");
    EXPECT_EQ(rig.reply("date"), "01-02-2027");
}

TEST(DispatcherTest, AnEmptyReplyOnlySilencesTheVoice) {
    Rig rig;
    EXPECT_EQ(rig.type("stop"), "say:");
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
    for (int c = 0; c < 32; ++c)
        control += static_cast<char>(c);
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
