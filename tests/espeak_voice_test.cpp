#include "platform/espeak_voice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace tallowick {
namespace {

// Renders a typical reply with the real engine, skipped only where the engine cannot start at
// all (e.g. its voice data is not installed). The length pins the voice and the rate: the reply
// lasts 1.8 s here, 2.5 s at the engine's normal 175 words a minute and 2.1 s in German. The peak
// pins the volume.
TEST(EspeakVoiceTest, AReplyIsBriskEnglishSpeechClearOfClipping) {
    std::vector<short> samples;
    int sampleRate = 0;
    std::string error;
    if (!EspeakVoice::renderToMemory("", samples, sampleRate, error)) {
        GTEST_SKIP() << "eSpeak NG cannot start on this machine: " << error;
    }
    ASSERT_TRUE(EspeakVoice::renderToMemory("Alarm number 1 set for  2  hours  10  minutes ",
                                            samples, sampleRate, error))
        << error;
    ASSERT_GT(sampleRate, 0);
    const double seconds = static_cast<double>(samples.size()) / sampleRate;
    int peak = 0;
    for (short s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_GT(seconds, 1.65);
    EXPECT_LT(seconds, 1.95);
    EXPECT_GT(peak, 32767 * 8 / 10) << "well below full volume";
    EXPECT_LT(peak, 32767) << "at or into clipping";

    // The engine, once taken for rendering, is refused to speech with a one-line reason.
    EXPECT_EQ(EspeakVoice::create(error), nullptr);
    EXPECT_EQ(error.rfind("tallowick: ", 0), 0u) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
}

}  // namespace
}  // namespace tallowick
