// A minimal RIFF/WAVE writer for 16-bit mono PCM, used by the sound synthesiser that makes the
// program's built-in alarm sounds, and the reader by which the tests check those files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tallowick::wav {

// Mono 16-bit PCM in a RIFF/WAVE file with the canonical 44-byte header
// ("RIFF", "WAVE", a 16-byte "fmt " chunk, then "data").
std::vector<std::uint8_t> encodeMono16(std::span<const std::int16_t> samples,
                                       std::uint32_t sampleRate);

// Writes encodeMono16() to `path` through a temporary file beside it, so a failed or interrupted
// write never leaves a truncated sound behind. Returns an error message, empty on success.
std::string writeMono16(const std::filesystem::path& path, std::span<const std::int16_t> samples,
                        std::uint32_t sampleRate);

struct Mono16 {
    std::uint32_t sampleRate = 0;
    std::vector<std::int16_t> samples;

    double seconds() const { return static_cast<double>(samples.size()) / sampleRate; }
};

// Reads a file in exactly the layout encodeMono16() writes, checking every header field against
// the others and against the file's size: no other chunks, no trailing bytes. On failure returns
// nullopt with `error` set.
std::optional<Mono16> readMono16(const std::filesystem::path& path, std::string& error);

}  // namespace tallowick::wav
