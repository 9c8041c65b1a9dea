// SPDX-License-Identifier: GPL-3.0-or-later
// A minimal RIFF/WAVE writer for 16-bit mono PCM, used by the sound synthesiser that makes the
// program's built-in alarm sounds (and by the tests, to make and check wave files).
#pragma once

#include <cstdint>
#include <filesystem>
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

}  // namespace tallowick::wav
