#include "wav.h"

#include <algorithm>
#include <fstream>
#include <iterator>
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

std::uint16_t get16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t get32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

bool isId(std::span<const std::uint8_t> b, std::size_t at, const char (&id)[5]) {
    for (std::size_t i = 0; i < 4; ++i) {
        if (b[at + i] != static_cast<std::uint8_t>(id[i])) {
            return false;
        }
    }
    return true;
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

std::optional<Mono16> readMono16(const std::filesystem::path& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path.string();
        return std::nullopt;
    }
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    const std::size_t dataBytes = bytes.size() - std::min<std::size_t>(bytes.size(), 44);
    const bool canonical = bytes.size() >= 44 && isId(bytes, 0, "RIFF") &&
                           get32(bytes, 4) == bytes.size() - 8 && isId(bytes, 8, "WAVE") &&
                           isId(bytes, 12, "fmt ") && get32(bytes, 16) == 16 &&
                           get16(bytes, 20) == kFormatPcm && get16(bytes, 22) == 1 &&
                           get32(bytes, 28) == get32(bytes, 24) * 2 && get16(bytes, 32) == 2 &&
                           get16(bytes, 34) == 16 && isId(bytes, 36, "data") &&
                           get32(bytes, 40) == dataBytes && dataBytes % 2 == 0;
    if (!canonical) {
        error = path.string() + " is not a canonical 16-bit mono WAVE file";
        return std::nullopt;
    }
    Mono16 sound{get32(bytes, 24), std::vector<std::int16_t>(dataBytes / 2)};
    for (std::size_t i = 0; i < sound.samples.size(); ++i) {
        sound.samples[i] = static_cast<std::int16_t>(get16(bytes, 44 + 2 * i));
    }
    return sound;
}

}  // namespace tallowick::wav
