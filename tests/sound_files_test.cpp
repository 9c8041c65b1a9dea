#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <span>

#include "wav.h"

namespace tallowick {
namespace {

double dbfs(double amplitude) {
    return 20.0 * std::log10(amplitude / 32768.0);
}

double rms(std::span<const std::int16_t> s) {
    double sum = 0.0;
    for (std::int16_t v : s) sum += static_cast<double>(v) * v;
    return std::sqrt(sum / static_cast<double>(s.size()));
}

// Each alarm sound the build synthesises into the program directory: a canonical 16-bit mono
// 44.1 kHz wave file of its intended length and pitch, peaking 3 dB below full scale, clearly
// audible, free of DC and of clicks at either end. Alarms restart a one-shot sound every second,
// so chime and windup must fit in about a second; the deep bell may ring out.
TEST(SoundFilesTest, EachIsAClearClickFreeWaveOfItsLengthAndPitch) {
    constexpr size_t twoMs = 88;
    const struct {
        const char* file;
        double minSeconds, maxSeconds, minCrossings, maxCrossings;  // zero crossings a second
    } sounds[] = {
        {"chime.wav", 0.8, 1.2, 2500, 3400},
        {"windup.wav", 0.8, 1.2, 5000, 6500},
        {"deepbell.wav", 2.5, 3.5, 250, 500},
        {"alert.wav", 0.5, 0.8, 1800, 2500},
    };
    for (const auto& sound : sounds) {
        SCOPED_TRACE(sound.file);
        std::ifstream in(std::string(TALLOWICK_SOUNDS_DIR "/") + sound.file, std::ios::binary);
        const std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
        ASSERT_GT(bytes.size(), 44 + 20 * twoMs);
        std::vector<std::int16_t> s((bytes.size() - 44) / 2);
        for (size_t i = 0; i < s.size(); ++i) s[i] = bytes[44 + 2 * i] | bytes[45 + 2 * i] << 8;
        EXPECT_EQ(wav::encodeMono16(s, 44100), bytes) << "not the canonical header at 44.1 kHz";

        const double seconds = static_cast<double>(s.size()) / 44100;
        int peak = 0, crossings = 0;
        double sum = 0.0;
        for (size_t i = 0; i < s.size(); ++i) {
            peak = std::max(peak, std::abs(static_cast<int>(s[i])));
            sum += s[i];
            crossings += i > 0 && (s[i - 1] < 0) != (s[i] < 0);
        }
        EXPECT_TRUE(seconds >= sound.minSeconds && seconds <= sound.maxSeconds) << seconds;
        EXPECT_TRUE(crossings / seconds >= sound.minCrossings &&
                    crossings / seconds <= sound.maxCrossings)
            << crossings / seconds;
        EXPECT_TRUE(dbfs(peak) >= -4.0 && dbfs(peak) <= -2.5) << dbfs(peak);
        // A click followed by near-silence can still peak at -3 dB; the overall level tells.
        EXPECT_GT(dbfs(rms(s)), -26.0);
        EXPECT_LT(std::abs(sum / static_cast<double>(s.size())), 32.8) << "DC offset";
        // From silence, ramping in over a few milliseconds, and back to silence at the end.
        const std::span<const std::int16_t> all = s;
        EXPECT_LT(std::abs(s.front()), 328);
        EXPECT_LT(rms(all.first(twoMs)),
                  std::min(4915.0, 0.5 * rms(all.subspan(twoMs, 4 * twoMs))));
        EXPECT_LT(std::abs(s.back()), 328);
        EXPECT_LT(rms(all.last(twoMs)), 328);
    }
}

}  // namespace
}  // namespace tallowick
