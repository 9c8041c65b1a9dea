#include "platform/espeak_voice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace tallowick {
namespace {

const std::string reply = "Alarm number 1 set for  2  hours  10  minutes ";

struct Rendered {
    std::vector<short> samples;
    int sampleRate = 0;

    double seconds() const {
        return sampleRate > 0 ? static_cast<double>(samples.size()) / sampleRate : 0.0;
    }
    double rms() const {
        double sum = 0;
        for (short s : samples) {
            sum += static_cast<double>(s) * s;
        }
        return samples.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(samples.size()));
    }
    int peak() const {
        int top = 0;
        for (short s : samples) {
            top = std::max(top, std::abs(static_cast<int>(s)));
        }
        return top;
    }
};

// These tests render with the real engine. They are skipped, not failed, only on a machine where
// the engine cannot start at all (e.g. its voice data is not installed).
class EspeakVoiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::vector<short> samples;
        int sampleRate = 0;
        std::string error;
        if (!EspeakVoice::renderToMemory("", samples, sampleRate, error)) {
            GTEST_SKIP() << "eSpeak NG cannot start on this machine: " << error;
        }
    }

    static Rendered render(const std::string& text, std::size_t stopAfterSamples = 0) {
        Rendered out;
        std::string error;
        EXPECT_TRUE(
            EspeakVoice::renderToMemory(text, out.samples, out.sampleRate, error, stopAfterSamples))
            << error;
        return out;
    }
};

TEST_F(EspeakVoiceTest, ReplyComesOutAsSpeechOfPlausibleLength) {
    const Rendered speech = render(reply);
    EXPECT_GT(speech.sampleRate, 0);
    // About ten words at 243 words a minute: some 2.5 s.
    EXPECT_GT(speech.seconds(), 1.0);
    EXPECT_LT(speech.seconds(), 6.0);
    EXPECT_GT(speech.rms(), 500.0) << "speech is silent or nearly so";
}

TEST_F(EspeakVoiceTest, LongerTextGivesProportionallyLongerSpeech) {
    const std::string sentence = "Alarm number 1 set for 2 hours 10 minutes. ";
    const Rendered once = render(sentence);
    const Rendered thrice = render(sentence + sentence + sentence);
    ASSERT_GT(once.seconds(), 0.5);
    const double ratio = thrice.seconds() / once.seconds();
    EXPECT_GT(ratio, 2.5);
    EXPECT_LT(ratio, 3.5);
}

TEST_F(EspeakVoiceTest, StoppedSpeechEndsAfterItsFirstChunk) {
    const std::string text =
        "Timer number 3 finished. Alarm number 1 set for 2 hours 10 minutes. "
        "Alarm number 2 set for 7 hours 45 minutes. Alarm number 3 set for 9 hours.";
    const Rendered full = render(text);
    const Rendered stopped = render(text, 1);
    ASSERT_GT(full.seconds(), 4.0);
    EXPECT_GT(stopped.samples.size(), 0u);
    EXPECT_LT(stopped.seconds(), full.seconds() / 8);

    // The engine is not left half-way: the next text is rendered whole. (Lengths vary by a few
    // hundredths of a second from one rendering to the next.)
    const Rendered again = render(text);
    EXPECT_NEAR(again.seconds(), full.seconds(), full.seconds() * 0.05);
}

TEST_F(EspeakVoiceTest, FullVolumeStaysClearOfClipping) {
    int peak = 0;
    for (const std::string& text :
         {reply, std::string("Alarm number 12 set for 23 hours 59 minutes"),
          std::string("Stop. Snooze. Alarm cancelled."),
          std::string("Timer finished. Wake up! It is seven o'clock.")}) {
        peak = std::max(peak, render(text).peak());
    }
    EXPECT_GT(peak, 32767 / 2) << "well below full volume";
    EXPECT_LT(peak, 32767) << "at or into clipping";
}

TEST_F(EspeakVoiceTest, EmptyTextRendersNothing) {
    const Rendered nothing = render("");
    EXPECT_TRUE(nothing.samples.empty());
}

TEST_F(EspeakVoiceTest, Utf8TextIsSpoken) {
    const Rendered speech = render("R\xC3\xA9veil \xC3\xA0 7 heures \xE2\x80\x94 caf\xC3\xA9");
    EXPECT_GT(speech.seconds(), 0.5);
    EXPECT_GT(speech.rms(), 500.0);
}

TEST_F(EspeakVoiceTest, VoiceIsRefusedWhileRenderingHoldsTheEngine) {
    std::string error;
    const auto voice = EspeakVoice::create(error);
    EXPECT_EQ(voice, nullptr);
    EXPECT_EQ(error.rfind("tallowick: ", 0), 0u) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
}

}  // namespace
}  // namespace tallowick
