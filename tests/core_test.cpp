// The core on fakes, the sessions in transcripts/, and the POSIX adapters.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>
#include <tuple>

#include "clock/time_wording.h"
#include "commands/duration_phrase.h"
#include "commands/number.h"
#include "commands/text.h"
#include "fakes.h"
#include "posix/posix_adapters.h"

namespace tallowick {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

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
        {" 0 \r\n \r\n\r\n" + order, 0, "line 4: there is more after the 0 counted orders"}};
    for (const auto& [bytes, ordersKept, problem] : rows) {
        const ParsedSettings parsed = parseSettings(bytes);
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
    rig.clock.time = at(2026, 12, 6);
    int number = 0;
    for (const auto& [line, echo, minutes] : rows) {
        EXPECT_EQ(rig.type(line),
                  "say:Alarm number " + std::to_string(++number) + " set for " + echo);
        EXPECT_EQ(rig.order(number).due, at(2026, 12, 6, minutes / 60, minutes % 60));
    }
    // A time gone by is tomorrow, also across the year's end, but not past the calendar's end.
    rig.clock.time = at(2026, 12, 31, 14, 5, 9);
    EXPECT_EQ(rig.type("at 2:05pm"), "say:Alarm number 15 set for  2:05pm tomorrow");
    EXPECT_EQ(rig.order(15).due, at(2027, 1, 1, 14, 5));
    rig.clock.time = at(9999, 12, 31, 23);
    EXPECT_EQ(rig.type("at 1:00"), "say:" + std::string(Core::kIncorrectEntryReply));
}

TEST(CommandTest, AFullTableTakesNoMoreOrdersAndSaysSo) {
    Rig rig;
    for (int i = 0; i < 50; ++i) rig.type(i % 2 ? "mark" : "in 5 m");
    const OrderTable before = rig.core.table();
    for (const char* line : {"in 5 m", "at 7:30", "every 5 m", "mark"}) {
        EXPECT_EQ(rig.type(line),
                  "say:There is no room for another order.  Delete an order first.");
        EXPECT_EQ(rig.core.table(), before);
    }
}

// The script sleeps the whole seconds, rounded up: only that number comes from what was typed.
TEST(CommandTest, ShutdownStartsAScriptAndNeverReportsAFailureAsSuccess) {
    const std::pair<const char*, const char*> rows[] = {
        {"shutdown 1.5 m", "90"},         {"shutdown5m", "300"},           {"shutdown 0.2 s", "1"},
        {"shutdown 1000 w", "604800000"}, {"shutdown 5 m; reboot", "300"},
    };
    Rig rig;
    EXPECT_EQ(rig.type("shutdown 1 w"), "say:Shutdown will occur in  1  week ");
    for (const auto& [line, seconds] : rows) {
        rig.shell.scripts.clear();
        EXPECT_EQ(rig.type(line).substr(0, 26), "say:Shutdown will occur in");
        EXPECT_EQ(rig.files.files["/prog/temp.bat"],
                  "sleep " + std::string(seconds) + " && systemctl poweroff\n");
        EXPECT_EQ(rig.shell.scripts, std::vector<std::string>{"/prog/temp.bat"});
    }
    rig.shell.fails = true;
    EXPECT_EQ(rig.type("shutdown 5 m"), "say:The shutdown could not be scheduled.");
    Rig full;
    full.files.writesFail = true;
    EXPECT_EQ(full.type("shutdown 5 m"), "say:The shutdown could not be scheduled." + kNotSaved);
    EXPECT_TRUE(full.shell.scripts.empty());
}

// After a failure the first save that works again writes everything.
TEST(CommandTest, EveryLineButExitIsSavedAndAFailedSaveIsToldOnce) {
    Rig rig;
    rig.type("hello");
    EXPECT_EQ(rig.files.files[Rig::kSettings], " 0 \r\n");
    EXPECT_EQ(rig.files.modes[Rig::kSettings], 0666);  // less the umask, or the old file's
    EXPECT_EQ(rig.type("in 5 m" + std::string(Core::kMaxLineBytes, ' ')),
              "say:" + std::string(Core::kIncorrectEntryReply));
    rig.type("in 5 m");
    EXPECT_EQ(rig.files.files[Rig::kSettings],
              " 1 \r\nin  5  minutes \r\n12/6/2026 2:10:09 PM\r\n 0 \r\nchime.wav\r\n 0 \r\n");
    EXPECT_EQ(rig.core.line("EXIT"), Core::LineResult::exit);
    EXPECT_EQ(rig.files.replaces, 3);
    EXPECT_EQ(rig.voice.last(), "say:Alarm number 1 set for  5  minutes ") << "exit said something";

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

// The panel draws rows 1 to the order count only, so whatever takes orders away must wipe it.
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
            line == "tick" ? rig.tick() : void(rig.core.line(line));
        }
        EXPECT_EQ(rig.player.stops, stops) << lines;
        EXPECT_EQ(rig.canvas.rows.empty(), wiped) << lines;
    }
}

TEST(TimeWordingTest, WordsSecondsLongForSpeechAndShortForThePanel) {
    const std::tuple<int64_t, std::string, std::string> rows[] = {
        {0, "0 seconds", "0 s"},
        {3600, "1 hours 0 seconds", "1 h 0 s"},
        {694861, "1 weeks 1 days 1 hours 1 minutes 1 seconds", "1 w 1 d 1 h 1 m 1 s"},
        {315537897599, "521722 weeks 4 days 23 hours 59 minutes 59 seconds",
         "521722 w 4 d 23 h 59 m 59 s"},
    };
    for (const auto& [seconds, longText, shortText] : rows) {
        EXPECT_EQ(wordSeconds(seconds).longText, longText);
        EXPECT_EQ(wordSeconds(seconds).shortText, shortText);
    }
}

TEST(TimeWordingTest, AlarmsCountDownMarksCountUpNeitherBelowZero) {
    const DateTime now = at(2026, 12, 6, 12);
    // The words, the due in seconds from now, the value; only "mark" exactly is a mark.
    const std::tuple<const char*, int, int64_t> rows[] = {
        {"in ", 90, 90}, {"mark", -90, 90}, {"in ", -910, 0}, {"mark", 910, 0}, {"Mark", -90, 0}};
    for (const auto& [words, due, value] : rows) {
        EXPECT_EQ(secondsValue({words, now.plusSecondsClamped(due), 0, "", 0}, now), value) << due;
    }
}

// The twentieth row lies below the panel's edge; a mark in its first second is red on green.
TEST(TickTest, DrawsEveryRowInItsColoursBelowThePanelsEdgeToo) {
    Rig rig;
    rig.type("in 1 h 2 m 5 s");
    rig.type("mark");
    rig.type("in 1 s");
    rig.tick();
    EXPECT_EQ(rig.canvas.rows, (std::map<int, std::string>{{0, "white: black 1 h 2 m 4 s"},
                                                           {18, "green: black 1 s"},
                                                           {36, "white: red 0 s"}}));
    for (int i = 0; i < 17; ++i) rig.type("mark");
    rig.tick(0);
    EXPECT_EQ(rig.canvas.rows.size(), 20u);
    EXPECT_EQ(rig.canvas.rows[342], "green: red 0 s");
}

TEST(TickTest, AHugePeriodHoldsAtTheCalendarsEnd) {
    Rig rig;
    rig.files.files[Rig::kSettings] =
        " 1 \r\nevery\r\n12/6/2026 3:22:01 AM\r\n 9223372036854775807 \r\nx.wav\r\n 0 \r\n";
    rig.core.load();
    rig.tick();
    EXPECT_EQ(rig.order(1).due, DateTime::latest());
}

TEST(TickTest, AnOutputThatWillNotOpenIsToldOnceAndTheRingWaitsForIt) {
    Rig rig;
    rig.type("every 1 m");
    rig.voice.requests.clear();
    rig.tick(59);
    EXPECT_EQ(rig.player.prepares, 1);  // the output is made ready a second ahead
    rig.player.outputFails = true;
    for (int i = 0; i < 3; ++i) rig.tick();
    EXPECT_EQ(rig.diagnostics.lines.size(), 1u);
    EXPECT_EQ(rig.voice.requests,
              std::vector<std::string>{std::string("queue:") + Core::kSoundFailedNotice});
    rig.player.outputFails = false;
    rig.tick();
    EXPECT_EQ(rig.player.played.size(), 1u);  // the periodic ring was kept, not skipped
    EXPECT_EQ(rig.order(1).due, rig.clock.time.plusSecondsClamped(60));
    EXPECT_EQ(rig.diagnostics.lines.size(), 2u);
    EXPECT_EQ(rig.voice.last(), std::string("queue:") + Core::kSoundBackNotice);
    rig.tick();
    EXPECT_EQ(rig.diagnostics.lines.size(), 2u);
}

// A session on fakes from 12/6/2026 14:05:09: "> " types a line, "@ tick" lets a second pass,
// "@ advance N" moves the clock; "< said|", "<< queued|", "* play sound|" follow, the first on the
// same line. "@ incorrect a|b": only the incorrect-entry reply to each, the orders unchanged.
std::string replay(const std::string& expected) {
    Rig rig;
    std::istringstream in(expected);
    std::string out;
    size_t heard = 0, played = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("<") || line.starts_with("* ")) continue;
        size_t end = line.size();
        for (const char* event : {" < ", " << ", " * play "}) end = std::min(end, line.find(event));
        line.resize(end);
        if (line.starts_with("> ")) {
            rig.core.line(line.substr(2));
        } else if (line == "@ tick") {
            rig.tick();
        } else if (line.starts_with("@ advance ")) {
            rig.clock.advance(std::stoll(line.substr(10)));
        } else if (line.starts_with("@ incorrect ")) {
            std::istringstream typed(line.substr(12));
            for (std::string entry; std::getline(typed, entry, '|');) {
                const OrderTable before = rig.core.table();
                const std::string said = rig.type(entry);
                if (said != "say:" + std::string(Core::kIncorrectEntryReply) ||
                    !(rig.core.table() == before)) {
                    line += "\n! " + entry + ": " + said;
                }
            }
            heard = rig.voice.requests.size();
        }
        std::string events;
        for (; heard < rig.voice.requests.size(); ++heard) {
            const std::string& r = rig.voice.requests[heard];
            events += (r.starts_with("say:") ? "< " + r.substr(4) : "<< " + r.substr(6)) + "|\n";
        }
        for (; played < rig.player.played.size(); ++played) {
            events += "* play " + rig.player.played[played] + "|\n";
        }
        out += line + (events.empty() ? "\n" : " " + events);
    }
    return out;
}

TEST(TranscriptTest, EverySessionSoundsAsWritten) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TRANSCRIPTS_DIR)) {
        if (entry.path().extension() != ".txt") continue;
        ++files;
        std::ifstream file(entry.path(), std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        EXPECT_EQ(replay(text.str()), text.str()) << entry.path().filename();
    }
    EXPECT_GT(files, 0);
}

struct PosixFilesTest : ::testing::Test {
    fs::path dir = freshDirectory("tallowick-files");
    PosixFiles files;
    void TearDown() override {
        fs::permissions(dir, fs::perms::owner_all);
        fs::remove_all(dir);
    }
    std::string path(const char* name) const { return (dir / name).string(); }
};

TEST_F(PosixFilesTest, ReplaceWritesTheWholeFileAndLeavesNoTemporaryFile) {
    ASSERT_TRUE(files.replace(path("settings.ini"), "old", 0644));
    ASSERT_TRUE(files.replace(path("settings.ini"), std::string("new\0\r\n", 6), 0600));
    std::string read;
    ASSERT_EQ(files.read(path("settings.ini"), read, 100), ReadResult::ok);
    EXPECT_EQ(read, std::string("new\0\r\n", 6));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    // A kept copy of a private file stays private, whatever the umask, and is never overwritten.
    ASSERT_EQ(files.createNew(path("settings.ini.bad"), "new"), CreateResult::ok);
    EXPECT_EQ(fs::status(path("settings.ini.bad")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(files.createNew(path("settings.ini.bad"), "other"), CreateResult::exists);
    ASSERT_EQ(files.read(path("settings.ini.bad"), read, 100), ReadResult::ok);
    EXPECT_EQ(read, "new");
    // A save that cannot be made fails and keeps the old file.
    EXPECT_FALSE(files.replace(path("no-such-dir/settings.ini"), "x", 0644));
    if (::geteuid() == 0) return;  // root writes into read-only directories
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(files.replace(path("settings.ini"), "newer", 0644));
    EXPECT_EQ(files.read(path("settings.ini"), read, 100), ReadResult::ok);
    EXPECT_EQ(read, std::string("new\0\r\n", 6));
}

TEST_F(PosixFilesTest, ReadReturnsAtOnceWhateverTheNameHolds) {
    const std::tuple<const char*, std::function<void(const std::string&)>, ReadResult> rows[] = {
        {"nothing", [](const std::string&) {}, ReadResult::missing},
        {"a FIFO", [](const std::string& p) { ::mkfifo(p.c_str(), 0600); }, ReadResult::notRegular},
        {"a sparse gigabyte",
         [](const std::string& p) { fs::resize_file((std::ofstream(p), p), 1 << 30); },
         ReadResult::tooLarge},
        {"a file at the cap",
         [](const std::string& p) { std::ofstream(p) << std::string(100, 'x'); }, ReadResult::ok},
    };
    ::alarm(20);  // a read that waits forever: fail rather than hang
    for (const auto& [kind, make, result] : rows) {
        const std::string name = path(kind);
        make(name);
        std::string read = "stale";
        EXPECT_EQ(files.read(name, read, 100), result) << kind;
        EXPECT_EQ(read.size(), result == ReadResult::ok ? 100u : 0u) << kind;
        if (result == ReadResult::missing) continue;
        EXPECT_EQ(files.keepAside(name, name + ".bad"), CreateResult::ok) << kind;
        EXPECT_FALSE(fs::exists(fs::symlink_status(name))) << kind;
        make(name);
        EXPECT_EQ(files.keepAside(name, name + ".bad"), CreateResult::exists) << kind;
    }
    ::alarm(0);
}

TEST_F(PosixFilesTest, ReplaceIsNeverBlockedByAStaleTemporaryFile) {
    const std::pair<const char*, std::function<void(const std::string&)>> rows[] = {
        {"a FIFO", [](const std::string& p) { ::mkfifo(p.c_str(), 0600); }},
        {"a link elsewhere",
         [this](const std::string& p) { fs::create_symlink(path("victim"), p); }},
    };
    ::alarm(20);
    for (const auto& [kind, make] : rows) {
        make(path("settings.ini.tmp"));
        EXPECT_TRUE(files.replace(path("settings.ini"), kind, 0666)) << kind;
        std::string read;
        EXPECT_EQ(files.read(path("settings.ini"), read, 100), ReadResult::ok);
        EXPECT_EQ(read, kind);
        EXPECT_FALSE(fs::exists(fs::symlink_status(path("settings.ini.tmp")))) << kind;
    }
    ::alarm(0);
    EXPECT_FALSE(fs::exists(path("victim")));
}

TEST_F(PosixFilesTest, ReplaceKeepsTheModeOfTheFileItReplaces) {
    // The mode of the file there (0: none), the mode asked, the umask, the mode got.
    const std::tuple<int, int, mode_t, int> rows[] = {
        {0, 0666, 022, 0644},    {0, 0666, 077, 0600},    {0600, 0666, 022, 0600},
        {0640, 0666, 077, 0640}, {0666, 0600, 022, 0600},
    };
    for (const auto& [existing, mode, umask, expected] : rows) {
        fs::remove(path("settings.ini"));
        if (existing) {
            std::ofstream(path("settings.ini")) << "old";
            ::chmod(path("settings.ini").c_str(), static_cast<mode_t>(existing));
        }
        const mode_t saved = ::umask(umask);
        EXPECT_TRUE(files.replace(path("settings.ini"), "new", mode));
        ::umask(saved);
        EXPECT_EQ(int(fs::status(path("settings.ini")).permissions()), expected)
            << std::oct << existing << " " << umask;
    }
}

// A harmless script: it only records how many arguments it got, and its session.
TEST_F(PosixFilesTest, TheShellRunsTheScriptDetachedWithNothingOfTheUsersInIt) {
    const std::string marker = path("ran"), script = path("temp.bat");
    std::ofstream(script) << "echo $# $(ps -o sid= -p $$) >'" + marker + ".tmp'; mv '" + marker +
                                 ".tmp' '" + marker + "'\n";
    ASSERT_TRUE(PosixShell().runScript(script));
    for (int i = 0; i < 500 && !fs::exists(marker); ++i) std::this_thread::sleep_for(10ms);
    std::ifstream in(marker);
    int argc = -1;
    long sid = 0;
    EXPECT_TRUE(in >> argc && argc == 0) << "the script did not run, or got arguments: " << argc;
    EXPECT_TRUE(!(in >> sid) || sid != ::getsid(0)) << "it runs in our session";
}

// std::exit, not _exit: the coverage counts are written.
TEST(StandardStreamsTest, ClosedOnesAreOpenedOnDevNull) {
    EXPECT_EXIT(
        {
            for (int fd = 0; fd <= 2; ++fd) ::close(fd);
            bool ok = openClosedStandardStreams();
            for (int fd = 0; fd <= 2; ++fd) {
                struct stat info {};
                ok = ok && ::fstat(fd, &info) == 0 && S_ISCHR(info.st_mode);
            }
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(SystemClockTest, ReadsTheLocalTimeOfDay) {
    const WallTime t = SystemClock().now();
    EXPECT_TRUE(t.year >= 2020 && t.second <= 59) << t.year;
}

}  // namespace
}  // namespace tallowick
