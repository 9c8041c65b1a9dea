// SPDX-License-Identifier: GPL-3.0-or-later
// The tick on fakes: the wording of times, the panel's rows, the sounds.

#include <gtest/gtest.h>

#include "clock/time_wording.h"
#include "fakes.h"

namespace tallowick {
namespace {

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
    EXPECT_EQ(rig.order(1).due, Instant::latest());
}

// Each order sounds under a key of its own, so a one-shot's repeat never cuts the bell off.
TEST(TickTest, EachOrderSoundsUnderItsOwnKeyAndARingingOneShotRingsOnWhenTheClockGoesBack) {
    Rig rig;
    rig.type("in 1 s");
    rig.type("every 5 s");
    rig.tick(5);
    rig.tick(-600);  // a time server's correction while it rings
    EXPECT_EQ(rig.player.played,
              (std::vector<std::string>{"chime.wav", "deepbell.wav", "chime.wav"}));
    EXPECT_EQ(rig.player.keys, (std::vector<int>{1, 2, 1}));
    rig.type("delete 2");
    EXPECT_EQ(rig.player.stopped, std::vector<int>{2});
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

}  // namespace
}  // namespace tallowick
