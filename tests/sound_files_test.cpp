// Checks each alarm sound the build synthesises into the program directory: a canonical 16-bit
// mono 44.1 kHz WAVE file, of its intended length and pitch, peaking 3 dB below full scale,
// clearly audible, free of DC and of clicks at either end.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <span>
#include <string>

#include "wav.h"

namespace {

constexpr double kFullScale = 32768.0;
constexpr std::size_t kTwoMs = 44100 * 2 / 1000;

struct SoundCase {
    const char* file;
    double minSeconds, maxSeconds;
    // Zero crossings a second: a rough pitch, which tells the sounds apart.
    double minCrossings, maxCrossings;
};

// Alarms restart a one-shot sound every second, so chime and windup must fit in about a second;
// the alert is short; the deep bell may ring out.
const SoundCase kSounds[] = {
    {"chime.wav", 0.8, 1.2, 2500, 3400},
    {"windup.wav", 0.8, 1.2, 5000, 6500},
    {"deepbell.wav", 2.5, 3.5, 250, 500},
    {"alert.wav", 0.5, 0.8, 1800, 2500},
};

double rms(std::span<const std::int16_t> s) {
    double sum = 0.0;
    for (std::int16_t v : s) sum += static_cast<double>(v) * v;
    return std::sqrt(sum / static_cast<double>(s.size()));
}

double dbfs(double amplitude) {
    return 20.0 * std::log10(amplitude / kFullScale);
}

class SoundFileTest : public testing::TestWithParam<SoundCase> {};

TEST_P(SoundFileTest, IsAClearClickFreeWaveOfItsLengthAndPitch) {
    const SoundCase& sound = GetParam();
    SCOPED_TRACE(sound.file);
    std::string error;
    const auto read =
        tallowick::wav::readMono16(std::string(TALLOWICK_SOUNDS_DIR "/") + sound.file, error);
    ASSERT_TRUE(read.has_value()) << error;
    ASSERT_EQ(read->sampleRate, 44100u);
    const std::span<const std::int16_t> s = read->samples;
    ASSERT_GT(s.size(), 10 * kTwoMs);
    EXPECT_GE(read->seconds(), sound.minSeconds);
    EXPECT_LE(read->seconds(), sound.maxSeconds);

    int peak = 0, crossings = 0;
    double sum = 0.0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        peak = std::max(peak, std::abs(static_cast<int>(s[i])));
        sum += s[i];
        crossings += i > 0 && (s[i - 1] < 0) != (s[i] < 0);
    }
    EXPECT_GE(crossings / read->seconds(), sound.minCrossings);
    EXPECT_LE(crossings / read->seconds(), sound.maxCrossings);
    EXPECT_GE(dbfs(peak), -4.0);
    EXPECT_LE(dbfs(peak), -2.5);
    // A click followed by near-silence can still peak at -3 dB; the overall level gives it away.
    EXPECT_GT(dbfs(rms(s)), -26.0);
    EXPECT_LT(std::abs(sum / static_cast<double>(s.size())), 0.001 * kFullScale) << "DC offset";

    // From silence, ramping in over a few milliseconds rather than starting at full level, and
    // back to silence at the end.
    EXPECT_LT(std::abs(s.front()), 0.01 * kFullScale);
    const double opening = rms(s.first(kTwoMs));
    EXPECT_LT(opening, 0.15 * kFullScale);
    EXPECT_LT(opening, 0.5 * rms(s.subspan(kTwoMs, 4 * kTwoMs)));
    EXPECT_LT(std::abs(s.back()), 0.01 * kFullScale);
    EXPECT_LT(rms(s.last(kTwoMs)), 0.01 * kFullScale);
}

INSTANTIATE_TEST_SUITE_P(AlarmSounds, SoundFileTest, testing::ValuesIn(kSounds));

}  // namespace
