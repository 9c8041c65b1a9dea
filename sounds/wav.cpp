// SPDX-License-Identifier: GPL-3.0-or-later
#include "wav.h"

#include <fstream>
#include <limits>
#include <system_error>

namespace tallowick::wav {
namespace {

constexpr std::uint16_t kFormatPcm = 1;

void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>((v >> shift) & 0xFF));
    }
}

void putId(std::vector<std::uint8_t>& out, const char (&id)[5]) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(id[i]));
    }
}

}  // namespace

std::vector<std::uint8_t> encodeMono16(std::span<const std::int16_t> samples,
                                       std::uint32_t sampleRate) {
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::vector<std::uint8_t> out;
    out.reserve(44 + dataBytes);
    putId(out, "RIFF");
    put32(out, 36 + dataBytes);
    putId(out, "WAVE");
    putId(out, "fmt ");
    put32(out, 16);
    put16(out, kFormatPcm);
    put16(out, 1);               // channels
    put32(out, sampleRate);      // frames per second
    put32(out, sampleRate * 2);  // bytes per second
    put16(out, 2);               // bytes per frame
    put16(out, 16);              // bits per sample
    putId(out, "data");
    put32(out, dataBytes);
    for (std::int16_t s : samples) {
        put16(out, static_cast<std::uint16_t>(s));
    }
    return out;
}

std::string writeMono16(const std::filesystem::path& path, std::span<const std::int16_t> samples,
                        std::uint32_t sampleRate) {
    if (samples.size() > (std::numeric_limits<std::uint32_t>::max() - 36) / 2) {
        return "too many samples for a WAVE file: " + path.string();
    }
    const std::vector<std::uint8_t> bytes = encodeMono16(samples, sampleRate);
    std::filesystem::path temp = path;
    temp += ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) {
            return "cannot create " + temp.string();
        }
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temp, ignored);
            return "cannot write " + temp.string();
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        return "cannot rename " + temp.string() + " to " + path.string() + ": " + ec.message();
    }
    return {};
}

}  // namespace tallowick::wav
