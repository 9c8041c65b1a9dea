// SPDX-License-Identifier: GPL-3.0-or-later
// The order table's dates, its settings file, and the ringing notices.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <tuple>

#include "fakes.h"
#include "orders/ringing.h"
#include "orders/settings_file.h"
#include "orders/sleep_watch.h"

namespace tallowick {
namespace {

namespace fs = std::filesystem;

TEST(DateTimeTest, HasOneWrittenFormReadsOthersAndStaysInTheCalendar) {
    const std::pair<const char*, DateTime> written[] = {
        {"12/6/2026 3:22:01 AM", at(2026, 12, 6, 3, 22, 1)},
        {"12/6/2026", at(2026, 12, 6)},
        {"12/6/2026 12:00:01 AM", at(2026, 12, 6, 0, 0, 1)},
        {"12/6/2026 12:00:00 PM", at(2026, 12, 6, 12)},
        {"2/29/2000 1:05:00 PM", at(2000, 2, 29, 13, 5)},
        {"1/1/1", at(1, 1, 1)},
        {"12/31/9999 11:59:59 PM", DateTime::latest()}};
    for (const auto& [text, value] : written) {
        EXPECT_EQ(value.toSettingsText(), text);
        EXPECT_EQ(DateTime::fromSettingsText(text), value) << text;
    }
    const std::pair<const char*, DateTime> read[] = {
        {"12-06-2026 12:15:00 am", at(2026, 12, 6, 0, 15)},
        {"12-06-2026 19:30:00 pm", at(2026, 12, 6, 19, 30)},
        {"12/6/2026 19:30:05", at(2026, 12, 6, 19, 30, 5)},
        {" 12/6/2026 7:30 PM ", at(2026, 12, 6, 19, 30)}};
    for (const auto& [text, value] : read) EXPECT_EQ(DateTime::fromSettingsText(text), value);
    for (const char* text :
         {"", "mark", "2/29/2100", "13/1/2026", "12/6/10000", "12/6/2026 3:60:00 AM",
          "12/6/2026 3:22:01 XM", "12/6/2026 24:00:00", "12/6/2026 3:22:01 AM x", "12/6-2026",
          "0/6/2026", "12/6/0", "12.6.2026"}) {
        EXPECT_FALSE(DateTime::fromSettingsText(text).has_value()) << text;
    }
    for (int64_t s = 0; s < DateTime::latest().secondsSinceEpoch(); s += 997 * 86400 + 7919) {
        const DateTime t = DateTime::earliest().plusSecondsClamped(s);
        ASSERT_EQ(DateTime::fromSettingsText(t.toSettingsText()), t) << t.toSettingsText();
    }
    EXPECT_EQ(at(2024, 3, 1).secondsSince(at(2024, 2, 28)), 2 * 86400);
    EXPECT_FALSE(DateTime::latest().plusSeconds(1) || DateTime::earliest().plusSeconds(-1));
    EXPECT_EQ(DateTime::latest().plusSecondsClamped(INT64_MAX), DateTime::latest());
    EXPECT_EQ(DateTime::earliest().plusSecondsClamped(INT64_MIN), DateTime::earliest());
    // A clock reading outside the calendar is held to it.
    EXPECT_EQ(DateTime::fromWallTime({2026, 12, 6, 23, 59, 60}), at(2026, 12, 6, 23, 59, 59));
    EXPECT_EQ(DateTime::fromWallTime({12000, 1, 1, 0, 0, 0}).wallTime().year, 9999);
}

TEST(SettingsFileTest, WritesOneValuePerLineAndReadsItBackWithOrWithoutCarriageReturns) {
    OrderTable table;
    table.append({"in  2  hours  10  minutes ", utc(2026, 12, 6, 3, 22, 1), 0, "chime.wav", 0});
    table.append({"mark", utc(2026, 12, 6), 0, "", 0});
    table.append({"every 5 m", utc(2026, 12, 6, 15, 0, 0), 300, " bell.wav", 0});
    table.append({"café \xff", utc(9999, 12, 31, 23, 59, 59), -5, "x", 7});
    const std::string bytes =
        " 4 \r\n"
        "in  2  hours  10  minutes \r\n12/6/2026 3:22:01 AM\r\n 0 \r\nchime.wav\r\n 0 \r\n"
        "mark\r\n12/6/2026\r\n 0 \r\n\r\n 0 \r\n"
        "every 5 m\r\n12/6/2026 3:00:00 PM\r\n 300 \r\n bell.wav\r\n 0 \r\n"
        "café \xff\r\n12/31/9999 11:59:59 PM\r\n-5 \r\nx\r\n 7 \r\n";
    FakeClock clock;
    EXPECT_EQ(formatSettings(table, clock), bytes);
    std::string unix = bytes;
    std::erase(unix, '\r');
    unix.pop_back();  // no line end after the last line either
    for (const std::string& read : {bytes, unix}) {
        const ParsedSettings parsed = parseSettings(read, clock);
        EXPECT_FALSE(parsed.damaged) << parsed.problem;
        EXPECT_EQ(parsed.table, table);
    }
    // A repeat or a label adds its part after the orders, which stay as they were.
    table.at(2).label = "Pasta";
    table.at(3).repeatDays = 31;
    table.at(3).repeatMinute = 450;
    const std::string more = formatSettings(table, clock);
    EXPECT_EQ(more, bytes +
                        "[repeats and labels]\r\n 0 \r\n 0 \r\n\r\n 0 \r\n 0 \r\nPasta\r\n"
                        " 31 \r\n 450 \r\n\r\n 0 \r\n 0 \r\n\r\n");
    EXPECT_EQ(parseSettings(more, clock).table, table);
}

TEST(SettingsFileTest, DamageKeepsTheCompleteOrdersBeforeIt) {
    const std::string order = "mark\r\n12/6/2026\r\n 0 \r\n\r\n 0 \r\n";
    std::string fifty = order;
    for (int i = 1; i < 50; ++i) fifty += order;
    FakeClock clock;
    // The file, how many orders it keeps, the problem told.
    const std::tuple<std::string, int, std::string> rows[] = {
        {"", 0, "line 1: the order count is not a number"},
        {" 1.5 \r\n" + order, 0, "line 1: the order count is not a number"},
        {"-1 \r\n", 0, "line 1: the order count is below 0"},
        {" 99999999999999999999 \r\n", 0, "line 1: the order count is not a number"},
        {" 51 \r\n" + fifty + order, 50, "line 1: the order count 51 is above 50"},
        {" 2 \r\n" + order, 1, "line 7: the file ends inside order 2"},
        {" 2 \r\n" + order + "mark\r\n12/6/2026\r\n", 1, "line 9: the file ends inside order 2"},
        {" 2 \r\n" + order + "mark\r\nsoon\r\n 0 \r\n\r\n 0 \r\n", 1,
         "line 8: the due of order 2 is no date"},
        {" 2 \r\n" + order + "mark\r\n12/6/2026\r\n 0.5 \r\n\r\n 0 \r\n", 1,
         "line 9: the period of order 2 is not a whole number"},
        {" 1 \r\nmark\r\n12/6/2026\r\n 0 \r\n\r\n 0 \r", 0,  // a CR without LF is no line end
         "line 6: the sounding flag of order 1 is not a whole number"},
        {" 1 \r\n" + order + order, 1, "line 7: there is more after the 1 counted order"},
        {" 0 \r\n \r\n\r\n" + order, 0, "line 4: there is more after the 0 counted orders"},
        // Damage to the repeats and labels costs no order.
        {" 1 \r\n" + order + "[repeats and labels]\r\n 0 \r\n", 1,
         "line 9: the file ends inside the repeat and label of order 1"},
        {" 1 \r\n" + order + "[repeats and labels]\r\n 128 \r\n 0 \r\n\r\n", 1,
         "line 8: the repeat of order 1 is no repeat"}};
    for (const auto& [bytes, ordersKept, problem] : rows) {
        const ParsedSettings parsed = parseSettings(bytes, clock);
        EXPECT_TRUE(parsed.damaged) << bytes;
        EXPECT_EQ(std::pair(parsed.problem, parsed.table.orderCount()),
                  std::pair(problem, ordersKept));
    }
}

// Copied when it could be read, moved when it is no regular file or far too large to be one.
TEST(SettingsFileTest, ADamagedFileIsKeptAsideAndToldAtStartByVoiceAndOnStderr) {
    Rig rig;
    rig.core.load();  // no file: no orders, and nothing to tell
    EXPECT_TRUE(rig.voice.requests.empty() && rig.diagnostics.lines.empty());
    const std::string damaged = " 2 \r\nmark\r\n12/6/2026\r\n 0 \r\n\r\n 0 \r\nmark\r\n";
    rig.files.files[Rig::kSettings] = damaged;
    rig.files.files["/prog/settings.ini.bad"] = "an older one";
    rig.core.load();
    EXPECT_EQ(rig.files.files["/prog/settings.ini.bad2"], damaged);
    EXPECT_EQ(rig.voice.last(),
              "say:The settings file was damaged.  1 order loaded.  The whole "
              "file was kept as settings.ini.bad2.");
    EXPECT_NE(rig.diagnostics.lines.at(0).find("/prog/settings.ini.bad2"), std::string::npos);
    EXPECT_EQ(rig.type("mark"), "say:Mark number 2 set");

    Rig fifo, large;
    fifo.files.odd[Rig::kSettings] = "a FIFO";
    large.files.files[Rig::kSettings] = std::string(SettingsStore::kMaxFileBytes + 1, ' ');
    for (Rig* moved : {&fifo, &large}) {
        moved->core.load();
        EXPECT_EQ(moved->voice.last(),
                  "say:The settings file was damaged.  0 orders loaded.  "
                  "The whole file was kept as settings.ini.bad.");
        EXPECT_EQ(moved->type("mark"), "say:Mark number 1 set");
    }
    EXPECT_EQ(fifo.files.odd["/prog/settings.ini.bad"], "a FIFO");
    EXPECT_EQ(large.files.files["/prog/settings.ini.bad"].size(), SettingsStore::kMaxFileBytes + 1);
}

TEST(SettingsFileTest, AFileThatCannotBeReadOrKeptAsideIsNeverOverwritten) {
    for (const bool readable : {true, false}) {
        Rig rig;
        rig.files.files[Rig::kSettings] = "garbage";
        (readable ? rig.files.writesFail : rig.files.readsFail) = true;
        rig.core.load();
        EXPECT_EQ(rig.voice.last(),
                  readable ? "say:The settings file is damaged.  0 orders loaded.  The file is "
                             "kept as it is, and new orders will not be saved."
                           : "say:The settings file could not be read.  New orders will not be "
                             "saved.");
        rig.files.writesFail = rig.files.readsFail = false;
        EXPECT_EQ(rig.type("mark"), "say:Mark number 1 set" + kNotSaved);
        EXPECT_EQ(rig.files.files[Rig::kSettings], "garbage");
    }
}

// A table from "words" entries, each sounding when marked with a trailing '!'.
OrderTable tableOf(std::initializer_list<std::string> orders) {
    OrderTable table;
    for (const std::string& words : orders) {
        const bool sounding = words.ends_with('!');
        table.append({words.substr(0, words.size() - sounding), {}, 0, "chime.wav", sounding});
    }
    return table;
}

TEST(RingingTest, AnOrderKeepsItsRingingAcrossRenumbering) {
    const std::tuple<const char*, OrderTable, OrderTable, std::vector<int>> rows[] = {
        {"starts", tableOf({"in 1 h", "in 5 m"}), tableOf({"in 1 h", "in 5 m!"}), {2}},
        {"rings on", tableOf({"in 5 m!"}), tableOf({"in 5 m!"}), {}},
        {"renumbered by a delete", tableOf({"mark", "in 5 m!"}), tableOf({"in 5 m!"}), {}},
        {"one of two alike", tableOf({"in 5 m!", "in 5 m"}), tableOf({"in 5 m!", "in 5 m!"}), {2}},
        {"stopped", tableOf({"in 5 m!"}), tableOf({}), {}},
    };
    for (const auto& [what, before, after, started] : rows) {
        EXPECT_EQ(startedSounding(before, after), started) << what;
    }
}

struct FakeNotifier final : Notifier {
    std::vector<std::string> log;
    void show(int key, const std::string&, const std::string& body) override {
        log.push_back("show " + std::to_string(key) + " " + body);
    }
    void withdraw(int key) override { log.push_back("withdraw " + std::to_string(key)); }
};

TEST(RingingTest, OneNoticePerRingingWithdrawnWhenItStops) {
    FakeNotifier desktop;
    RingingNotices notices(desktop);
    const OrderTable quiet = tableOf({"mark", "in  5  minutes "});
    const OrderTable ringing = tableOf({"mark", "in  5  minutes !"});
    notices.ordersChanged(quiet, ringing);
    notices.ordersChanged(ringing, tableOf({"in  5  minutes !"}));      // "delete 1" while it rings
    notices.ordersChanged(tableOf({"in  5  minutes !"}), tableOf({}));  // "stop"
    notices.ordersChanged(quiet, ringing);
    EXPECT_EQ(desktop.log,
              (std::vector<std::string>{"show 1 Order 2 is ringing: in 5 minutes", "withdraw 1",
                                        "show 2 Order 2 is ringing: in 5 minutes"}));
}

struct FakeSleep final : WakeUpTimer, SleepInhibitor {
    std::optional<Instant> wake;
    bool held = false;
    void wakeFor(std::optional<Instant> due) override { wake = due; }
    void hold(bool ringing) override { held = ringing; }
};

TEST(SleepWatchTest, WakesForTheNextAlarmThatCanRingAndHoldsSleepWhileOneSounds) {
    Rig rig;  // from 14:05:09
    FakeSleep sleep;
    SleepWatch watch(sleep, sleep);
    const WatcherSubscription watching = rig.core.addWatcher(watch);
    // The line typed, or a tick 10 minutes on; the alarm woken for, in seconds from the start
    // (-1: none), and whether sleep is held.
    const std::tuple<const char*, int, bool> rows[] = {
        {"every 1 m", -1, false},  {"mark", -1, false},      {"in 10 m", 600, false},
        {"at 2:10pm", 291, false}, {"delete 4", 600, false}, {"tick", -1, true},
        {"stop", -1, false}};
    const Instant start = rig.clock.now();
    for (const auto& [line, wake, held] : rows) {
        line == std::string("tick") ? rig.tick(600) : void(rig.core.line(line));
        EXPECT_EQ(sleep.wake,
                  wake < 0 ? std::nullopt : std::optional(start.plusSecondsClamped(wake)))
            << line;
        EXPECT_EQ(sleep.held, held) << line;
    }
}

}  // namespace
}  // namespace tallowick
