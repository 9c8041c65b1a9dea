#include <gtest/gtest.h>

#include "clock/time_wording.h"
#include "fakes.h"

namespace tallowick {
namespace {

TEST(TimeWordingTest, WordsSecondsLongForSpeechAndShortForThePanel) {
    struct Row {
        int64_t seconds;
        const char* longText;
        const char* shortText;
    } rows[] = {
        {0, "0 seconds", "0 s"},
        {3600, "1 hours 0 seconds", "1 h 0 s"},
        {694861, "1 weeks 1 days 1 hours 1 minutes 1 seconds", "1 w 1 d 1 h 1 m 1 s"},
        {315537897599, "521722 weeks 4 days 23 hours 59 minutes 59 seconds",
         "521722 w 4 d 23 h 59 m 59 s"},
    };
    for (const Row& row : rows) {
        const TimeWording wording = wordSeconds(row.seconds);
        EXPECT_EQ(wording.longText, row.longText);
        EXPECT_EQ(wording.shortText, row.shortText);
    }
}

TEST(TimeWordingTest, AlarmsCountDownMarksCountUpNeitherBelowZero) {
    const DateTime now = *DateTime::make(2026, 12, 6, 12, 0, 0);
    const Order alarm{"in ", now.plusSecondsClamped(90), 0, "chime.wav", 0};
    const Order mark{"mark", now.plusSecondsClamped(-90), 0, "", 0};
    EXPECT_EQ(secondsValue(alarm, now), 90);
    EXPECT_EQ(secondsValue(mark, now), 90);
    EXPECT_EQ(secondsValue(alarm, now.plusSecondsClamped(1000)), 0);
    EXPECT_EQ(secondsValue(mark, now.plusSecondsClamped(-1000)), 0);
    const Order markLookalike{"Mark", now.plusSecondsClamped(-90), 0, "", 0};
    EXPECT_EQ(secondsValue(markLookalike, now), 0);  // only "mark" exactly is a mark
}

struct TickTest : ::testing::Test {
    Rig rig;
    // The panel after one tick.
    std::map<int, std::string> tick() {
        rig.core.tick();
        return rig.canvas.rows;
    }
};

// The twentieth row lies below the panel's edge; a mark in its first second is red on green.
TEST_F(TickTest, DrawsEveryRowInItsColoursBelowThePanelsEdgeToo) {
    rig.type("in 1 h 2 m 5 s");
    rig.type("mark");
    rig.type("in 1 s");
    rig.clock.advance(1);
    EXPECT_EQ(tick(), (std::map<int, std::string>{{0, "white: black 1 h 2 m 4 s"},
                                                  {18, "green: black 1 s"},
                                                  {36, "white: red 0 s"}}));
    for (int i = 0; i < 17; ++i) rig.type("mark");
    EXPECT_EQ(tick().size(), 20u);
    EXPECT_EQ(rig.canvas.rows[342], "green: red 0 s");
}

TEST_F(TickTest, AHugePeriodHoldsAtTheCalendarsEnd) {
    rig.files.files[Rig::kSettings] =
        " 1 \r\nevery\r\n12/6/2026 3:22:01 AM\r\n 9223372036854775807 \r\nx.wav\r\n 0 \r\n";
    rig.core.load();
    tick();
    EXPECT_EQ(rig.order(1).due, DateTime::latest());
}

TEST_F(TickTest, AnOutputThatWillNotOpenIsToldOnceAndTheRingWaitsForIt) {
    rig.type("every 1 m");
    rig.voice.requests.clear();
    rig.clock.advance(59);
    tick();
    EXPECT_EQ(rig.player.prepares, 1);  // the output is made ready a second ahead
    rig.player.outputFails = true;
    for (int i = 0; i < 3; ++i) {
        rig.clock.advance(1);
        tick();
    }
    EXPECT_EQ(rig.diagnostics.lines.size(), 1u);
    EXPECT_EQ(rig.voice.requests,
              std::vector<std::string>{std::string("queue:") + Core::kSoundFailedNotice});
    rig.player.outputFails = false;
    rig.clock.advance(1);
    tick();
    EXPECT_EQ(rig.player.played.size(), 1u);  // the periodic ring was kept, not skipped
    EXPECT_EQ(rig.order(1).due, rig.clock.time.plusSecondsClamped(60));
    EXPECT_EQ(rig.diagnostics.lines.size(), 2u);
    EXPECT_EQ(rig.voice.last(), std::string("queue:") + Core::kSoundBackNotice);
    rig.clock.advance(1);
    tick();
    EXPECT_EQ(rig.diagnostics.lines.size(), 2u);
}

}  // namespace
}  // namespace tallowick
