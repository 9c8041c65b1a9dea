// The core's unit tests: dates, the settings file, typed text and numbers, and the commands on
// a core with fakes. Sessions as a user has them are in transcripts/.

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <sstream>
#include <tuple>

#include "commands/duration_phrase.h"
#include "commands/number.h"
#include "commands/text.h"
#include "fakes.h"

namespace tallowick {
namespace {

const std::string kNotSaved = std::string(" | queue:") + Core::kNotSavedNotice;

DateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return *DateTime::make(y, mo, d, h, mi, s);
}

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
    // Seconds all over the calendar, at many times of day.
    for (int64_t s = 0; s < DateTime::latest().secondsSinceEpoch(); s += 997 * 86400 + 7919) {
        const DateTime t = DateTime::earliest().plusSecondsClamped(s);
        ASSERT_EQ(DateTime::fromSettingsText(t.toSettingsText()), t) << t.toSettingsText();
    }
    EXPECT_EQ(at(2024, 3, 1).secondsSince(at(2024, 2, 28)), 2 * 86400);
    EXPECT_EQ(DateTime::latest().plusSeconds(1), std::nullopt);
    EXPECT_EQ(DateTime::earliest().plusSeconds(-1), std::nullopt);
    EXPECT_EQ(DateTime::latest().plusSecondsClamped(INT64_MAX), DateTime::latest());
    EXPECT_EQ(DateTime::earliest().plusSecondsClamped(INT64_MIN), DateTime::earliest());
    // A clock reading outside the calendar is held to it.
    EXPECT_EQ(DateTime::fromWallTime({2026, 12, 6, 23, 59, 60}), at(2026, 12, 6, 23, 59, 59));
    EXPECT_EQ(DateTime::fromWallTime({12000, 1, 1, 0, 0, 0}).wallTime().year, 9999);
}

TEST(SettingsFileTest, WritesOneValuePerLineAndReadsItBackWithOrWithoutCarriageReturns) {
    OrderTable table;
    table.append({"in  2  hours  10  minutes ", at(2026, 12, 6, 3, 22, 1), 0, "chime.wav", 0});
    table.append({"mark", at(2026, 12, 6), 0, "", 0});
    table.append({"every 5 m", at(2026, 12, 6, 15, 0, 0), 300, " bell.wav", 0});
    table.append({"café \xff", at(9999, 12, 31, 23, 59, 59), -5, "x", 7});
    const std::string bytes =
        " 4 \r\n"
        "in  2  hours  10  minutes \r\n12/6/2026 3:22:01 AM\r\n 0 \r\nchime.wav\r\n 0 \r\n"
        "mark\r\n12/6/2026\r\n 0 \r\n\r\n 0 \r\n"
        "every 5 m\r\n12/6/2026 3:00:00 PM\r\n 300 \r\n bell.wav\r\n 0 \r\n"
        "café \xff\r\n12/31/9999 11:59:59 PM\r\n-5 \r\nx\r\n 7 \r\n";
    EXPECT_EQ(formatSettings(table), bytes);
    std::string unix = bytes;
    std::erase(unix, '\r');
    unix.pop_back();  // no line end after the last line either
    for (const std::string& read : {bytes, unix}) {
        const ParsedSettings parsed = parseSettings(read);
        EXPECT_FALSE(parsed.damaged) << parsed.problem;
        EXPECT_EQ(parsed.table, table);
    }
}

TEST(SettingsFileTest, DamageKeepsTheCompleteOrdersBeforeIt) {
    const std::string order = "mark\r\n12/6/2026\r\n 0 \r\n\r\n 0 \r\n";
    std::string fifty = order;
    for (int i = 1; i < 50; ++i) fifty += order;
    EXPECT_FALSE(parseSettings(" 50 \r\n" + fifty).damaged);
    const struct {
        std::string bytes;
        int ordersKept;
        const char* problem;
    } rows[] = {
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
        {" 0 \r\n \r\n\r\n" + order, 0, "line 4: there is more after the 0 counted orders"}};
    for (const auto& row : rows) {
        const ParsedSettings parsed = parseSettings(row.bytes);
        EXPECT_TRUE(parsed.damaged) << row.bytes;
        EXPECT_EQ(parsed.problem, row.problem) << row.bytes;
        EXPECT_EQ(parsed.table.orderCount(), row.ordersKept) << row.bytes;
    }
}

// A damaged file is kept aside before anything overwrites it: copied when it could be read,
// moved when it is no regular file or far too large to be one.
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
    large.files.files[Rig::kSettings] = std::string((1 << 20) + 1, ' ');
    for (Rig* moved : {&fifo, &large}) {
        moved->core.load();
        EXPECT_EQ(moved->voice.last(),
                  "say:The settings file was damaged.  0 orders loaded.  "
                  "The whole file was kept as settings.ini.bad.");
        EXPECT_EQ(moved->type("mark"), "say:Mark number 1 set");
    }
    EXPECT_EQ(fifo.files.odd["/prog/settings.ini.bad"], "a FIFO");
    EXPECT_EQ(large.files.files["/prog/settings.ini.bad"].size(), (1u << 20) + 1);
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

TEST(TextTest, LowerCasesEveryScriptCountsAndCutsCharactersAndKeepsBrokenBytes) {
    EXPECT_EQ(lowerCase("HELP 2 ÀÉÎÕÜ ÇÑ ΣΟΦΊΑ ПРИВЕТ ĀĂĄ İ 日本 ÅNGSTRÖM"),
              "help 2 àéîõü çñ σοφία привет āăą i 日本 ångström");
    EXPECT_EQ(lowerCase("\377AB\303"), "\377ab\303");  // stray and cut-off bytes stay
    EXPECT_EQ(lowerCase(std::string("A\0B", 3)), std::string("a\0b", 3));
    const std::string text = "é5\377am";  // é, 5, a stray byte, a, m
    EXPECT_EQ(characterCount(text), 5u);
    EXPECT_EQ(firstCharacters(text, 2), "é5");
    EXPECT_EQ(dropCharacters(text, 3), "am");
    EXPECT_EQ(lastCharacters(text, 3), "\377am");
    EXPECT_EQ(lastCharacters(text, 9), text);
    EXPECT_EQ(dropCharacters(text, 9), "");
    EXPECT_EQ(firstCharacters("\xe2\x82", 1), "\xe2");  // a cut-off sequence is byte by byte
    // An encoded surrogate is no character, nor is an overlong form.
    EXPECT_EQ(characterCount("\xed\xa0\x80\xe0\x80\x80\xc0\x80"), 8u);
}

TEST(NumberTest, ReadsTheOneNumberRuleWhateverTheLocale) {
    // A decimal comma where such a locale is installed.
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) std::setlocale(LC_ALL, "de_DE.utf8");
    const std::pair<const char*, double> rows[] = {
        {"5", 5},         {" 2 ", 2},         {"01", 1},  {"1.5", 1.5},   {".5", 0.5},
        {"5.", 5},        {"-5", -5},         {"+3", 3},  {"-0.5", -0.5}, {"1e3", 1000},
        {"2.5E-1", 0.25}, {" +1.e+2  ", 100}, {"007", 7}, {"1e-400", 0},  {"  -.0 ", 0},
    };
    for (const auto& [text, value] : rows) EXPECT_EQ(readNumber(text), value) << text;
    EXPECT_EQ(readNumber("1e999"), INFINITY);
    EXPECT_EQ(readNumber("-1e999"), -INFINITY);
    EXPECT_EQ(readNumber("0.01e99999999999"), INFINITY);
    EXPECT_EQ(readNumber(std::string(400, '9')), INFINITY);
    EXPECT_EQ(readNumber("1e-99999999999"), 0.0);
    EXPECT_EQ(readNumber("0." + std::string(400, '0') + "1"), 0.0);
    for (const char* text :
         {"",    " ",    ".",     "-",   "+-1", "1..2",  "1.2.3", "e5",    "1e",
          "1e+", "0x10", "1,000", "1,5", "$5",  "5-",    "inf",   "nan",   "infinity",
          "1 2", "5 s",  "\t5",   "5\n", "１",  "1_000", "--1",   "1e5.5", "+.e1"}) {
        EXPECT_FALSE(readNumber(text).has_value()) << '"' << text << '"';
    }
    std::setlocale(LC_ALL, "C");
}

// Each row is a phrase as typed after "in", with its echo and its total in seconds.
TEST(DurationPhraseTest, SplitsTestsAndEchoesEveryKnownPhrase) {
    const std::tuple<const char*, const char*, double> rows[] = {
        {" 2 h 10 m", " 2  hours  10  minutes ", 7800},
        {"2h10m", "2 hours 10 minutes ", 7800},
        {" 2 h 1 m", " 1  minute  2  hours ", 7260},
        {" 01 m", " 01  minute ", 60},
        {" 1.5 m", " 1.5  minutes ", 90},
        {" 0.5 m", "", 30},
        {" 0 h 5 m", " 5  minutes ", 300},
        {" 10 m 7", " 10  minutes ", 600},
        {" 1 week", " 1  week ", 604800},
        {" 1w2d3h4m5s", " 1 week 2 days 3 hours 4 minutes 5 seconds ", 788645},
        {" 1e1 m", " 1e1  minutes ", 600}};
    for (const auto& [text, echo, total] : rows) {
        const DurationPhrase phrase = DurationPhrase::split(text);
        ASSERT_TRUE(phrase.valid()) << text;
        EXPECT_EQ(phrase.echo(""), echo) << text;
        EXPECT_DOUBLE_EQ(phrase.totalSeconds(), total) << text;
    }
    // The last: each amount is finite, the total is not.
    for (const char* text :
         {" 5", "", " 0 h 0 m", " -5 m", " m", " 30 s 10 m", " 2 weeks", " 1 second", " 5 mins",
          "n 5 m", " 1e999 s", " 0x10 m", " 1,5 m", " 1e308 w"}) {
        EXPECT_FALSE(DurationPhrase::split(text).valid()) << text;
    }
    // The due adds the total rounded to the nearest second, and stays in the calendar.
    const DateTime now = at(2026, 12, 6, 14, 5, 9), lastButOne = at(9999, 12, 31, 23, 59, 58);
    EXPECT_EQ(DurationPhrase::split(" 0.4 s").dueFrom(now), now);
    EXPECT_EQ(DurationPhrase::split(" 0.5 s").dueFrom(now), now.plusSeconds(1));
    EXPECT_EQ(DurationPhrase::split(" 2.6 s").dueFrom(now), now.plusSeconds(3));
    EXPECT_EQ(DurationPhrase::split(" 1 s").dueFrom(lastButOne), DateTime::latest());
    EXPECT_EQ(DurationPhrase::split(" 2 s").dueFrom(lastButOne), std::nullopt);
    EXPECT_EQ(DurationPhrase::split(" 1e15 w").dueFrom(now), std::nullopt);
    EXPECT_EQ(DurationPhrase::split(" 500000 w").dueFrom(now), std::nullopt);
}

TEST(CommandTest, AtSetsTheNextSuchTimeOfDayInTwelveOrTwentyFourHours) {
    // Each row: a line, its echo and the due in minutes after midnight, the present second.
    const std::tuple<const char*, const char*, int> rows[] = {
        {"at 7:30pm", " 7:30pm", 1170},    {"AT 7:30 PM", " 7:30 pm", 1170},
        {"at 7:30", " 7:30 a m", 450},     {"at 19:30", " 19:30 a m", 1170},
        {"at 19:30pm", " 19:30pm", 1170},  {"at 12:15", " 12:15 a m", 15},
        {"at 12:15am", " 12:15am", 15},    {"at 12:15pm", " 12:15pm", 735},
        {"at 0:30pm", " 0:30pm", 750},     {"at7:30", "7:30 a m", 450},
        {"at 7:5 pm", " 7:5 pm", 1145},    {"at 7:3030", " 7:3030 a m", 450},
        {"at 7.9:30", " 7.9:30 a m", 450}, {"at 0:00", " 0:00 a m", 0}};
    Rig rig;
    rig.clock.set(2026, 12, 6, 0, 0, 0);
    int number = 0;
    for (const auto& [line, echo, minutes] : rows) {
        const std::string reply = rig.reply(line);
        EXPECT_EQ(reply, "Alarm number " + std::to_string(++number) + " set for " + echo);
        EXPECT_EQ(rig.order(number).due, at(2026, 12, 6, minutes / 60, minutes % 60));
    }
    // A time gone by is tomorrow, also across the year's end, but not past the calendar's end.
    rig.clock.set(2026, 12, 31, 14, 5, 9);
    EXPECT_EQ(rig.reply("at 2:05pm"), "Alarm number 15 set for  2:05pm tomorrow");
    EXPECT_EQ(rig.order(15).due, at(2027, 1, 1, 14, 5));
    rig.clock.set(9999, 12, 31, 23, 0, 0);
    EXPECT_EQ(rig.reply("at 1:00"), Core::kIncorrectEntryReply);
}

// The script sleeps the whole seconds, rounded up: only that number comes from what was typed.
TEST(CommandTest, ShutdownStartsAScriptAndNeverReportsAFailureAsSuccess) {
    const std::pair<const char*, const char*> rows[] = {{"shutdown 2 h 10 m", "7800"},
                                                        {"shutdown 1.5 m", "90"},
                                                        {"shutdown5m", "300"},
                                                        {"shutdown 0.2 s", "1"},
                                                        {"shutdown 1000 w", "604800000"},
                                                        {"shutdown 5 m; reboot", "300"}};
    Rig rig;
    EXPECT_EQ(rig.reply("shutdown 1 w"), "Shutdown will occur in  1  week ");
    for (const auto& [line, seconds] : rows) {
        rig.shell.scripts.clear();
        EXPECT_EQ(rig.reply(line).substr(0, 22), "Shutdown will occur in");
        EXPECT_EQ(rig.files.files["/prog/temp.bat"],
                  "sleep " + std::string(seconds) + " && systemctl poweroff\n");
        EXPECT_EQ(rig.shell.scripts, std::vector<std::string>{"/prog/temp.bat"});
    }
    EXPECT_EQ(rig.files.modes["/prog/temp.bat"], 0600);
    rig.shell.fails = true;
    EXPECT_EQ(rig.reply("shutdown 5 m"), "The shutdown could not be scheduled.");
    Rig full;
    full.files.writesFail = true;
    EXPECT_EQ(full.type("shutdown 5 m"), "say:The shutdown could not be scheduled." + kNotSaved);
    EXPECT_TRUE(full.shell.scripts.empty());
}

TEST(CommandTest, AFullTableTakesNoMoreOrdersAndSaysSo) {
    Rig rig;
    for (int i = 0; i < 50; ++i) rig.type(i % 2 ? "mark" : "in 5 m");
    const OrderTable before = rig.core.table();
    for (const char* line : {"in 5 m", "at 7:30", "every 5 m", "mark"}) {
        EXPECT_EQ(rig.reply(line), "There is no room for another order.  Delete an order first.");
        EXPECT_EQ(rig.core.table(), before);
    }
}

// The settings file is written anew after every line but "exit", and after a failure the first
// save that works again writes everything. A failure is told once per run of failures.
TEST(CommandTest, EveryLineButExitIsSavedAndAFailedSaveIsToldOnce) {
    Rig rig;
    rig.type("hello");
    EXPECT_EQ(rig.files.files[Rig::kSettings], " 0 \r\n");
    EXPECT_EQ(rig.files.modes[Rig::kSettings], 0666);  // less the umask, or the old file's
    EXPECT_EQ(rig.reply("in 5 m" + std::string(Core::kMaxLineBytes, ' ')),
              Core::kIncorrectEntryReply);
    rig.type("in 5 m");
    EXPECT_EQ(rig.files.files[Rig::kSettings],
              " 1 \r\nin  5  minutes \r\n12/6/2026 2:10:09 PM\r\n 0 \r\nchime.wav\r\n 0 \r\n");
    const size_t requests = rig.voice.requests.size();
    EXPECT_EQ(rig.core.line("EXIT"), Core::LineResult::exit);
    EXPECT_EQ(rig.files.replaces, 3);
    EXPECT_EQ(rig.voice.requests.size(), requests);

    rig.files.writesFail = true;
    EXPECT_EQ(rig.type("mark"), "say:Mark number 2 set" + kNotSaved);
    EXPECT_EQ(rig.type("mark"), "say:Mark number 3 set");
    EXPECT_EQ(rig.diagnostics.lines.size(), 1u);
    rig.files.writesFail = false;
    rig.type("time");
    EXPECT_EQ(rig.files.files[Rig::kSettings].substr(0, 5), " 3 \r\n");
    rig.files.writesFail = true;
    EXPECT_EQ(rig.type("time"), "say:14:05:09" + kNotSaved);
    EXPECT_EQ(rig.diagnostics.lines.size(), 2u);
}

// "tick" rings what is due a second later. Order 1 waits an hour, order 2 is a one-shot alarm,
// order 3 a periodic one; the last started sound (order 3's) is the one playing. The panel draws
// only rows 1 to the order count, so whatever takes orders away wipes it; the next tick draws
// the rest in their new places.
TEST(CommandTest, TheSoundStopsWithTheOrderThatRangItAndThePanelIsWiped) {
    const std::tuple<const char*, int, bool> rows[] = {
        {"orders|time|in 5 m", 0, false},
        {"delete 1", 0, true},
        {"delete 1|delete 2", 1, true},  // the order that rang moved up, and went
        {"delete 3", 1, true},
        {"stop", 1, true},  // order 3 stays, but "stop" silences its ring too
        {"stop|delete 2", 1, true},
        {"delete all", 1, true},
        {"delete 3|tick|stop", 2, true},  // the one-shot alarm rang again, alone
        {"delete 3|tick|delete 1", 1, true}};
    for (const auto& [lines, stops, wiped] : rows) {
        Rig rig;
        std::istringstream in("in 1 h|in 1 s|every 1 s|tick|" + std::string(lines));
        for (std::string line; std::getline(in, line, '|');) {
            if (line == "tick") {
                rig.clock.advance(1);
                rig.core.tick();
            } else {
                rig.core.line(line);
            }
        }
        EXPECT_EQ(rig.player.stops, stops) << lines;
        EXPECT_EQ(rig.canvas.rows.empty(), wiped) << lines;
    }
}

}  // namespace
}  // namespace tallowick
