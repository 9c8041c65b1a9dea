// A minimal RIFF/WAVE reader and writer for 16-bit PCM, used by the sound synthesiser that makes
// the program's built-in alarm sounds and by the tests that check those files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tallowick::wav {

// Everything the reader learnt about a 16-bit PCM file.
struct Pcm16 {
    std::uint16_t format_tag = 0;
    std::uint16_t channels = 0;
    std::uint32_t sample_rate = 0;
    std::uint32_t byte_rate = 0;
    std::uint16_t block_align = 0;
    std::uint16_t bits_per_sample = 0;
    std::uint32_t riff_size = 0;        // size field of the RIFF chunk (file size minus 8)
    std::uint64_t file_size = 0;        // number of bytes actually decoded
    std::uint64_t data_offset = 0;      // file offset of the first sample byte
    std::vector<std::int16_t> samples;  // interleaved if more than one channel

    std::size_t frames() const { return channels == 0 ? 0 : samples.size() / channels; }
    double seconds() const {
        return sample_rate == 0 ? 0.0 : static_cast<double>(frames()) / sample_rate;
    }
};

struct Decoded {
    std::optional<Pcm16> pcm;  // empty on failure
    std::string error;         // why decoding failed
};

// Mono 16-bit PCM in a RIFF/WAVE file with the canonical 44-byte header
// ("RIFF", "WAVE", a 16-byte "fmt " chunk, then "data").
std::vector<std::uint8_t> encode_mono16(std::span<const std::int16_t> samples,
                                        std::uint32_t sample_rate);

// Writes encode_mono16() to `path` through a temporary file beside it, so a failed or interrupted
// write never leaves a truncated sound behind. Returns an error message, empty on success.
std::string write_mono16(const std::filesystem::path& path, std::span<const std::int16_t> samples,
                         std::uint32_t sample_rate);

// Decodes a RIFF/WAVE file holding 16-bit integer PCM. Walks the chunk list (skipping unknown
// chunks and honouring the pad byte after odd-sized ones), requires "fmt " before "data", and
// checks that the format fields agree with each other and that no chunk runs past the end.
Decoded decode_pcm16(std::span<const std::uint8_t> bytes);
Decoded read_pcm16(const std::filesystem::path& path);

}  // namespace tallowick::wav
