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

TEST(MarkTest, SayMarkReadsItsNumberByTheNumberRule) {
    struct Row {
        const char* line;
        const char* reply;
    } rows[] = {
        {"say mark 0", "There is no mark number 0"},
        {"say mark 5", "There is no mark number 5"},
        {"say mark -0.5", "There is no mark number -1"},
        {"say mark 1e999", "There is no mark number infinity"},
        {"say mark 99999999999", "There is no mark number 99999999999"},
        {"say mark", kIncorrect},
        {"say mark x", kIncorrect},
        {"say marks 2", kIncorrect},
        {"say marks ", kIncorrect},
        {"saymark 1e0", "Mark 1 has been going 0 seconds.   "},
        {"say mark1", "Mark 1 has been going 0 seconds.   "},
    };
    for (const Row& row : rows) {
        Rig rig;
        rig.type("mark");
        rig.type("in 5 m");
        rig.type("in 6 m");
        EXPECT_EQ(rig.reply(row.line), row.reply) << row.line;
    }
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

TEST(ListingTest, OrdersThatSayNothingLeaveTheNoOrdersReply) {
    Rig rig;
    EXPECT_EQ(rig.type("orders"), "say:There are no standing orders");
    rig.files.files[Rig::kSettings] =
        " 1 \r\nin \r\n12/6/2026 3:22:01 PM\r\n 0 \r\nchime.wav\r\n 2 \r\n";
    rig.core.load();
    EXPECT_EQ(rig.type("orders"), "say:There are no standing orders");
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

TEST(RemovingTest, DeleteReadsItsNumberByTheNumberRule) {
    struct Row {
        const char* line;
        const char* reply;
    } rows[] = {
        {"delete 0", "There is no order number 0 to delete."},
        {"delete -0.5", "There is no order number -1 to delete."},
        {"delete 7", "There is no order number 7 to delete."},
        {"delete 007", "There is no order number 7 to delete."},
        {"delete 4294967297", "There is no order number 4294967297 to delete."},
        {"delete -1e999", "There is no order number -infinity to delete."},
        {"delete", kIncorrect},
        {"delete x", kIncorrect},
        {"delete 2x", kIncorrect},
        {"delete 0x1", kIncorrect},
        {"delete 3", "Alarm deleted."},
    };
    for (const Row& row : rows) {
        Rig rig;
        for (int i = 0; i < 3; ++i)
            rig.type("in 5 m");
        EXPECT_EQ(rig.reply(row.line), row.reply) << row.line;
    }
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
    for (int i = 0; i < 49; ++i)
        rig.type("mark");
    rig.type("in 1 s");
    rig.clock.advance(1);
    rig.core.tick();
    rig.type("stop");
    EXPECT_EQ(rig.count(), 49);
    EXPECT_EQ(rig.reply("delete 49"), "Mark deleted.");
    EXPECT_EQ(rig.count(), 48);
}

TEST(AlarmSoundTest, ReadsTheOrderNumberAndTheNameAfterIs) {
    struct Row {
        const char* line;
        const char* reply;
        int order;  // whose sound changed, 0 for none
        const char* sound;
    } rows[] = {
        {"alarm 3 is bell", "Alarm 3, set to  bell.wav", 3, " bell.wav"},
        {"alarm 3 isbell", "Alarm 3, set to bell.wav", 3, "bell.wav"},
        {"alarm 3 is Bell.WAV", "Alarm 3, set to  bell.wav", 3, " bell.wav"},
        {"alarm 3 is tune.mp3", "Alarm 3, set to  tune.mp3.wav", 3, " tune.mp3.wav"},
        {"alarm12 is bell", "Alarm 12, set to  bell.wav", 12, " bell.wav"},
        {"alarm 12 is bell", "Alarm 1, set to  bell.wav", 1, " bell.wav"},
        {"alarm5 is bell", "Alarm 5, set to  bell.wav", 5, " bell.wav"},
        {"alarm 3 this is bell", "Alarm 3, set to  is bell.wav", 3, " is bell.wav"},
        {"alarm 2 is ; rm -rf ~", "Alarm 2, set to  ; rm -rf ~.wav", 2, " ; rm -rf ~.wav"},
        {"alarm 2 is café", "Alarm 2, set to  café.wav", 2, " café.wav"},
        {"alarm 99 is bell", "Alarm 9, set to  bell.wav", 9, " bell.wav"},  // reads " 9"
        {"alarm99 is bell", "There is no order number 99 to set.", 0, nullptr},
        {"alarm-1 is bell", "There is no order number -1 to set.", 0, nullptr},
        {"alarm 2 bell", kIncorrect, 0, nullptr},
        {"alarm 2 is", kIncorrect, 0, nullptr},
        {"alarm is bell", kIncorrect, 0, nullptr},
        {"alarm 0 is bell", kIncorrect, 0, nullptr},
        {"alarm", kIncorrect, 0, nullptr},
    };
    for (const Row& row : rows) {
        Rig rig;
        for (int i = 0; i < 12; ++i)
            rig.type("in 5 m");
        EXPECT_EQ(rig.reply(row.line), row.reply) << row.line;
        for (int i = 1; i <= 12; ++i) {
            EXPECT_EQ(rig.order(i).soundFile, i == row.order ? row.sound : "chime.wav")
                << row.line << " order " << i;
        }
    }
}

TEST(ShutdownTest, WritesTheOneLineScriptAndStartsIt) {
    struct Row {
        const char* line;
        const char* script;
        const char* reply;
    } rows[] = {
        {"shutdown 2 h 10 m", "sleep 7800 && systemctl poweroff\n",
         "Shutdown will occur in  2  hours  10  minutes "},
        {"SHUTDOWN 10 M", "sleep 600 && systemctl poweroff\n",
         "Shutdown will occur in  10  minutes "},
        {"shutdown 1 w", "sleep 604800 && systemctl poweroff\n",
         "Shutdown will occur in  1  week "},
        {"shutdown 90 s", "sleep 90 && systemctl poweroff\n",
         "Shutdown will occur in  90  seconds "},
        {"shutdown 1.5 m", "sleep 90 && systemctl poweroff\n",
         "Shutdown will occur in  1.5  minutes "},
        {"shutdown5m", "sleep 300 && systemctl poweroff\n", "Shutdown will occur in 5 minutes "},
        {"shutdown 0.2 s", "sleep 1 && systemctl poweroff\n", "Shutdown will occur in "},
        {"shutdown 1000 w", "sleep 604800000 && systemctl poweroff\n",
         "Shutdown will occur in  1000  weeks "},
    };
    for (const Row& row : rows) {
        Rig rig;
        rig.type("mark");
        const OrderTable before = rig.core.table();
        EXPECT_EQ(rig.reply(row.line), row.reply) << row.line;
        EXPECT_EQ(rig.files.files["/prog/temp.bat"], row.script) << row.line;
        EXPECT_EQ(rig.files.modes["/prog/temp.bat"], 0600);
        EXPECT_EQ(rig.shell.scripts, std::vector<std::string>{"/prog/temp.bat"});
        EXPECT_EQ(rig.core.table(), before);
    }
}

TEST(ShutdownTest, ABadDurationWritesAndRunsNothing) {
    for (const char* line : {"shutdown", "shutdown now", "shutdown 0 s", "shutdown -1 h",
                             "shutdown 1e999 s", "shutdown 100000000 w", "shutdown 5 m; reboot"}) {
        Rig rig;
        rig.files.files["/prog/temp.bat"] = "old";
        const std::string reply = rig.reply(line);
        if (std::string(line) == "shutdown 5 m; reboot") {
            // What follows the last unit is ignored; only the number reaches the script.
            EXPECT_EQ(rig.files.files["/prog/temp.bat"], "sleep 300 && systemctl poweroff\n");
            continue;
        }
        EXPECT_EQ(reply, kIncorrect) << line;
        EXPECT_EQ(rig.files.files["/prog/temp.bat"], "old") << line;
        EXPECT_TRUE(rig.shell.scripts.empty()) << line;
    }
}

TEST(ShutdownTest, AFailureIsNeverReportedAsSuccess) {
    Rig rig;
    rig.shell.fails = true;
    EXPECT_EQ(rig.reply("shutdown 5 m"), "The shutdown could not be scheduled.");
    Rig full;
    full.files.writesFail = true;
    EXPECT_EQ(full.type("shutdown 5 m"),
              "say:The shutdown could not be scheduled. | queue:The orders could not be saved.");
    EXPECT_TRUE(full.shell.scripts.empty());
}

TEST(ShutdownTest, TheSecondScriptReplacesTheFirst) {
    Rig rig;
    rig.type("shutdown 1 h");
    rig.type("shutdown 2 m");
    EXPECT_EQ(rig.files.files["/prog/temp.bat"], shutdownScript(120));
}

}  // namespace
}  // namespace tallowick
