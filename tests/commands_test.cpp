// SPDX-License-Identifier: GPL-3.0-or-later
// The command language on fakes: the text and number readers, the commands, and the sessions in
// transcripts/.

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "commands/duration_phrase.h"
#include "commands/late_alarms.h"
#include "commands/number.h"
#include "commands/text.h"
#include "fakes.h"

namespace tallowick {
namespace {

namespace fs = std::filesystem;

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
    const Instant now = utc(2026, 12, 6, 14, 5, 9), lastButOne = utc(9999, 12, 31, 23, 59, 58);
    EXPECT_EQ(DurationPhrase::split(" 0.4 s").dueFrom(now), now);
    EXPECT_EQ(DurationPhrase::split(" 0.5 s").dueFrom(now), now.plusSeconds(1));
    EXPECT_EQ(DurationPhrase::split(" 2.6 s").dueFrom(now), now.plusSeconds(3));
    EXPECT_EQ(DurationPhrase::split(" 1 s").dueFrom(lastButOne), Instant::latest());
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
    rig.clock.time = utc(2026, 12, 6);
    int number = 0;
    for (const auto& [line, echo, minutes] : rows) {
        EXPECT_EQ(rig.type(line),
                  "say:Alarm number " + std::to_string(++number) + " set for " + echo);
        EXPECT_EQ(rig.order(number).due, utc(2026, 12, 6, minutes / 60, minutes % 60));
    }
    // A time gone by is tomorrow, also across the year's end, but not past the calendar's end.
    rig.clock.time = utc(2026, 12, 31, 14, 5, 9);
    EXPECT_EQ(rig.type("at 2:05pm"), "say:Alarm number 15 set for  2:05pm tomorrow");
    EXPECT_EQ(rig.order(15).due, utc(2027, 1, 1, 14, 5));
    rig.clock.time = utc(9999, 12, 31, 23);
    EXPECT_EQ(rig.type("at 1:00"), "say:" + std::string(Core::kIncorrectEntryReply));
}

// The largest table: every order's words and sound name from a line as long as taken, of a letter
// that grows when lower-cased (Ⱥ, 2 bytes, lowers to ⱥ, 3). It takes no more, and loads back.
TEST(CommandTest, TheLargestTableTakesNoMoreOrdersAndLoadsBackFromItsFile) {
    Rig rig, next;
    std::string fill;
    while (fill.size() + 14 <= Core::kMaxLineBytes) fill += "Ⱥ";
    for (int i = 1; i <= OrderTable::kCapacity; ++i) {
        rig.type("at 11:59 " + fill + " pm");
        rig.type("alarm" + std::to_string(i) + " is " + fill);
    }
    EXPECT_EQ(rig.order(50).soundFile.size(), fill.size() * 3 / 2 + 5);  // taken whole
    const OrderTable before = rig.core.table();
    for (const char* line : {"in 5 m", "at 7:30", "every 5 m", "mark"}) {
        EXPECT_EQ(rig.type(line),
                  "say:There is no room for another order.  Delete an order first.");
        EXPECT_EQ(rig.core.table(), before);
    }
    next.files.files = rig.files.files;
    next.core.load();
    EXPECT_EQ(next.core.table(), before);
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

// Told when the set of orders changes, not when time passes; never after its subscription ends.
TEST(CommandTest, AWatcherIsToldOfChangesWhileItsSubscriptionLasts) {
    struct Counting final : OrderWatcher {
        int told = 0;
        void ordersChanged(const OrderTable&, const OrderTable&) override { ++told; }
    } staying, leaving;
    Rig rig;
    const WatcherSubscription stays = rig.core.addWatcher(staying);
    {
        const WatcherSubscription leaves = rig.core.addWatcher(leaving);
        rig.type("in 5 m");
        rig.tick();
    }
    rig.type("mark");
    EXPECT_EQ(std::pair(staying.told, leaving.told), std::pair(2, 1));
}

TEST(CommandTest, ALateAlarmNamesItsDueTimeAsAtTakesIt) {
    const std::pair<WallTime, const char*> rows[] = {{{2026, 1, 1, 0, 5}, "12:05am"},
                                                     {{2026, 1, 1, 7, 30}, "7:30am"},
                                                     {{2026, 1, 1, 12, 0}, "12:00pm"},
                                                     {{2026, 1, 1, 23, 59}, "11:59pm"}};
    for (const auto& [time, words] : rows) EXPECT_EQ(clockTimeWords(time), words);
}

// As an older Tallowick saves it: the words alone still say that the alarm repeats.
TEST(CommandTest, ARepeatSavedWithoutItsOwnPartIsReadFromTheAlarmsWords) {
    Rig rig;
    rig.files.files[Rig::kSettings] =
        " 1 \r\nat 7:30am weekdays\r\n12/4/2026 7:30:00 AM\r\n 0 \r\nwindup.wav\r\n 1 \r\n";
    rig.core.load();
    rig.type("stop");
    ASSERT_EQ(rig.core.table().orderCount(), 1);
    EXPECT_EQ(localTime(rig.clock, rig.core.table().at(1).due), DateTime::make(2026, 12, 7, 7, 30));
}

// The panel draws rows 1 to the order count only, so whatever takes orders away must wipe it.
TEST(CommandTest, TheSoundStopsWithTheOrderThatRangItAndThePanelIsWiped) {
    const std::tuple<const char*, size_t, bool> rows[] = {
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
        EXPECT_EQ(rig.player.stopped.size(), stops) << lines;
        EXPECT_EQ(rig.canvas.rows.empty(), wiped) << lines;
    }
}

// A session on fakes from 12/6/2026 14:05:09 UTC: "> " types a line, "@ tick" lets a second pass,
// "@ advance N" moves the clock, "@ clock Europe/Berlin 10/25/2026 2:59:30 AM" sets zone and wall
// clock, "@ load" reads the saved orders; "< said|", "<< queued|", "* play sound|" follow, the
// first on the same line. "@ incorrect a|b": only the incorrect-entry reply, no order changed.
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
        } else if (line == "@ load") {
            rig.core.load();
        } else if (line.starts_with("@ advance ")) {
            rig.clock.advance(std::stoll(line.substr(10)));
        } else if (line.starts_with("@ clock ")) {
            const size_t blank = line.find(' ', 8);
            rig.clock.zone = line.substr(8, blank - 8);
            const DateTime wall = *DateTime::fromSettingsText(line.substr(blank));
            rig.clock.time = instantOf(rig.clock, wall, Showing::first);
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

}  // namespace
}  // namespace tallowick
