// Checks the alarm sounds the build synthesises into the program directory: that each one is a
// well-formed 16-bit mono 44.1 kHz WAVE file the player will accept, of the intended length, at
// the intended level, free of clicks and DC, and that the four differ. Also checks the WAVE reader
// these tests rely on.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "wav.h"

#ifndef TALLOWICK_SOUNDS_DIR
#error "TALLOWICK_SOUNDS_DIR must name the directory holding the synthesised sounds"
#endif

namespace {

using tallowick::wav::Decoded;
using tallowick::wav::Pcm16;

constexpr double kFullScale = 32768.0;
constexpr std::uint32_t kRate = 44100;
constexpr std::size_t kTwoMs = kRate * 2 / 1000;

struct SoundCase {
    const char* file;
    double min_seconds;
    double max_seconds;
};

// So that failures name the file rather than dump its bytes.
void PrintTo(const SoundCase& sound, std::ostream* os) {
    *os << sound.file;
}

// Alarms restart a one-shot sound every second, so chime and windup must fit in about a second;
// the alert is short; the deep bell may ring out.
const SoundCase kSounds[] = {
    {"chime.wav", 0.8, 1.2},
    {"windup.wav", 0.8, 1.2},
    {"deepbell.wav", 2.5, 3.5},
    {"alert.wav", 0.5, 0.8},
};

std::filesystem::path sound_path(const char* file) {
    return std::filesystem::path(TALLOWICK_SOUNDS_DIR) / file;
}

double rms(std::span<const std::int16_t> s) {
    if (s.empty()) {
        return 0.0;
    }
    double sum = 0.0;
    for (std::int16_t v : s) {
        sum += static_cast<double>(v) * v;
    }
    return std::sqrt(sum / static_cast<double>(s.size()));
}

int peak(std::span<const std::int16_t> s) {
    int p = 0;
    for (std::int16_t v : s) {
        p = std::max(p, std::abs(static_cast<int>(v)));
    }
    return p;
}

double dbfs(double amplitude) {
    return 20.0 * std::log10(amplitude / kFullScale);
}

class SoundFileTest : public testing::TestWithParam<SoundCase> {
  protected:
    void SetUp() override {
        const std::filesystem::path path = sound_path(GetParam().file);
        ASSERT_TRUE(std::filesystem::is_regular_file(path)) << path << " was not generated";
        Decoded decoded = tallowick::wav::read_pcm16(path);
        ASSERT_TRUE(decoded.pcm.has_value()) << path << ": " << decoded.error;
        pcm_ = std::move(*decoded.pcm);
        ASSERT_FALSE(pcm_.samples.empty()) << path << " holds no samples";
    }

    std::span<const std::int16_t> samples() const { return pcm_.samples; }

    Pcm16 pcm_;
};

TEST_P(SoundFileTest, IsMono16BitPcmAt44100HzWithTheCanonicalHeader) {
    EXPECT_EQ(pcm_.format_tag, 1);
    EXPECT_EQ(pcm_.channels, 1);
    EXPECT_EQ(pcm_.sample_rate, kRate);
    EXPECT_EQ(pcm_.bits_per_sample, 16);
    EXPECT_EQ(pcm_.block_align, 2);
    EXPECT_EQ(pcm_.byte_rate, kRate * 2);
    // Nothing but the 44-byte header and the samples: no extra chunks, no trailing bytes, and the
    // RIFF size tells the truth.
    EXPECT_EQ(pcm_.data_offset, 44u);
    EXPECT_EQ(pcm_.file_size, 44u + 2u * pcm_.samples.size());
    EXPECT_EQ(pcm_.riff_size + 8u, pcm_.file_size);
    EXPECT_EQ(std::filesystem::file_size(sound_path(GetParam().file)), pcm_.file_size);
}

TEST_P(SoundFileTest, LastsTheIntendedTime) {
    EXPECT_GE(pcm_.seconds(), GetParam().min_seconds);
    EXPECT_LE(pcm_.seconds(), GetParam().max_seconds);
}

TEST_P(SoundFileTest, PeaksAbout3dBBelowFullScaleWithoutClipping) {
    const double level = dbfs(peak(samples()));
    EXPECT_GE(level, -4.0);
    EXPECT_LE(level, -2.5);
}

TEST_P(SoundFileTest, StartsFromSilenceWithoutAClick) {
    const auto s = samples();
    ASSERT_GT(s.size(), 10 * kTwoMs);
    EXPECT_LT(std::abs(s.front()), 0.01 * kFullScale);
    // The sound ramps in over a few milliseconds rather than starting at full level.
    const double opening = rms(s.first(kTwoMs));
    EXPECT_LT(opening, 0.15 * kFullScale);
    EXPECT_LT(opening, 0.5 * rms(s.subspan(kTwoMs, 4 * kTwoMs)));
}

TEST_P(SoundFileTest, EndsInSilenceWithoutAClick) {
    const auto s = samples();
    ASSERT_GT(s.size(), 10 * kTwoMs);
    EXPECT_LT(std::abs(s.back()), 0.01 * kFullScale);
    EXPECT_LT(rms(s.last(kTwoMs)), 0.01 * kFullScale);
}

TEST_P(SoundFileTest, HasNoDcOffset) {
    double sum = 0.0;
    for (std::int16_t v : samples()) {
        sum += v;
    }
    EXPECT_LT(std::abs(sum / static_cast<double>(samples().size())), 0.001 * kFullScale);
}

TEST_P(SoundFileTest, IsClearlyAudibleThroughout) {
    // A sound that is a click followed by near-silence can still peak at -3 dB; its overall
    // level gives it away.
    EXPECT_GT(dbfs(rms(samples())), -26.0);
}

// Names the instances after the files: AlarmSounds/SoundFileTest.LastsTheIntendedTime/chime.
std::string case_name(const testing::TestParamInfo<SoundCase>& sound) {
    const std::string file = sound.param.file;
    return file.substr(0, file.find('.'));
}

INSTANTIATE_TEST_SUITE_P(AlarmSounds, SoundFileTest, testing::ValuesIn(kSounds), case_name);

std::vector<std::int16_t> load(const char* file) {
    Decoded decoded = tallowick::wav::read_pcm16(sound_path(file));
    return decoded.pcm ? decoded.pcm->samples : std::vector<std::int16_t>{};
}

TEST(AlarmSoundCharacter, AllFourSoundsDiffer) {
    std::vector<std::vector<std::int16_t>> sounds;
    for (const SoundCase& c : kSounds) {
        sounds.push_back(load(c.file));
        ASSERT_FALSE(sounds.back().empty()) << c.file;
    }
    for (std::size_t a = 0; a < sounds.size(); ++a) {
        for (std::size_t b = a + 1; b < sounds.size(); ++b) {
            EXPECT_NE(sounds[a], sounds[b]) << kSounds[a].file << " and " << kSounds[b].file;
        }
    }
}

// The reader above must itself reject broken files and find the samples wherever they are.

std::vector<std::uint8_t> sample_file() {
    const std::vector<std::int16_t> samples = {0, 1000, -1000, 32767, -32768, 7};
    return tallowick::wav::encode_mono16(samples, kRate);
}

void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

TEST(WavReader, RoundTripsTheWrittenSamples) {
    const Decoded d = tallowick::wav::decode_pcm16(sample_file());
    ASSERT_TRUE(d.pcm.has_value()) << d.error;
    EXPECT_EQ(d.pcm->samples, (std::vector<std::int16_t>{0, 1000, -1000, 32767, -32768, 7}));
    EXPECT_EQ(d.pcm->data_offset, 44u);
}

TEST(WavReader, SkipsUnknownChunksIncludingTheirPadByte) {
    std::vector<std::uint8_t> b = sample_file();
    // An odd-sized "LIST" chunk between "fmt " and "data", followed by its pad byte.
    const std::vector<std::uint8_t> list = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
    b.insert(b.begin() + 36, list.begin(), list.end());
    put32(b, 4, static_cast<std::uint32_t>(b.size() - 8));
    const Decoded d = tallowick::wav::decode_pcm16(b);
    ASSERT_TRUE(d.pcm.has_value()) << d.error;
    EXPECT_EQ(d.pcm->data_offset, 44u + list.size());
    EXPECT_EQ(d.pcm->samples, (std::vector<std::int16_t>{0, 1000, -1000, 32767, -32768, 7}));
}

TEST(WavReader, RejectsATruncatedFile) {
    std::vector<std::uint8_t> b = sample_file();
    b.resize(b.size() - 2);
    EXPECT_FALSE(tallowick::wav::decode_pcm16(b).pcm.has_value());
    put32(b, 4, static_cast<std::uint32_t>(b.size() - 8));  // RIFF size fixed, data size not
    EXPECT_FALSE(tallowick::wav::decode_pcm16(b).pcm.has_value());
}

TEST(WavReader, RejectsOtherFormats) {
    std::vector<std::uint8_t> floats = sample_file();
    floats[20] = 3;  // IEEE float
    EXPECT_FALSE(tallowick::wav::decode_pcm16(floats).pcm.has_value());

    std::vector<std::uint8_t> not_wave = sample_file();
    not_wave[8] = 'A';  // "AAVE"
    EXPECT_FALSE(tallowick::wav::decode_pcm16(not_wave).pcm.has_value());

    std::vector<std::uint8_t> no_fmt = sample_file();
    no_fmt[12] = 'x';  // "xmt ": the data chunk then comes without a format
    EXPECT_FALSE(tallowick::wav::decode_pcm16(no_fmt).pcm.has_value());
}

}  // namespace
