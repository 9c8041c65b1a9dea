#include "wav.h"

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

void put_id(std::vector<std::uint8_t>& out, const char (&id)[5]) {
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

bool is_id(std::span<const std::uint8_t> b, std::size_t at, const char (&id)[5]) {
    for (std::size_t i = 0; i < 4; ++i) {
        if (b[at + i] != static_cast<std::uint8_t>(id[i])) {
            return false;
        }
    }
    return true;
}

Decoded fail(std::string why) {
    return Decoded{std::nullopt, std::move(why)};
}

}  // namespace

std::vector<std::uint8_t> encode_mono16(std::span<const std::int16_t> samples,
                                        std::uint32_t sample_rate) {
    const auto data_bytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::vector<std::uint8_t> out;
    out.reserve(44 + data_bytes);
    put_id(out, "RIFF");
    put32(out, 36 + data_bytes);
    put_id(out, "WAVE");
    put_id(out, "fmt ");
    put32(out, 16);
    put16(out, kFormatPcm);
    put16(out, 1);                // channels
    put32(out, sample_rate);      // frames per second
    put32(out, sample_rate * 2);  // bytes per second
    put16(out, 2);                // bytes per frame
    put16(out, 16);               // bits per sample
    put_id(out, "data");
    put32(out, data_bytes);
    for (std::int16_t s : samples) {
        put16(out, static_cast<std::uint16_t>(s));
    }
    return out;
}

std::string write_mono16(const std::filesystem::path& path, std::span<const std::int16_t> samples,
                         std::uint32_t sample_rate) {
    if (samples.size() > (std::numeric_limits<std::uint32_t>::max() - 36) / 2) {
        return "too many samples for a WAVE file: " + path.string();
    }
    const std::vector<std::uint8_t> bytes = encode_mono16(samples, sample_rate);
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

Decoded decode_pcm16(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 12) {
        return fail("shorter than a RIFF header");
    }
    if (!is_id(bytes, 0, "RIFF") || !is_id(bytes, 8, "WAVE")) {
        return fail("not a RIFF/WAVE file");
    }
    Pcm16 pcm;
    pcm.riff_size = get32(bytes, 4);
    pcm.file_size = bytes.size();
    if (static_cast<std::uint64_t>(pcm.riff_size) + 8 > bytes.size()) {
        return fail("RIFF chunk runs past the end of the file");
    }
    const std::size_t end = static_cast<std::size_t>(pcm.riff_size) + 8;

    bool have_fmt = false;
    std::size_t at = 12;
    while (at + 8 <= end) {
        const std::uint32_t size = get32(bytes, at + 4);
        const std::size_t body = at + 8;
        if (size > end - body) {
            return fail("chunk runs past the end of the RIFF chunk");
        }
        if (is_id(bytes, at, "fmt ")) {
            if (size < 16) {
                return fail("fmt chunk too short");
            }
            pcm.format_tag = get16(bytes, body);
            pcm.channels = get16(bytes, body + 2);
            pcm.sample_rate = get32(bytes, body + 4);
            pcm.byte_rate = get32(bytes, body + 8);
            pcm.block_align = get16(bytes, body + 12);
            pcm.bits_per_sample = get16(bytes, body + 14);
            if (pcm.format_tag != kFormatPcm) {
                return fail("not integer PCM (format tag " + std::to_string(pcm.format_tag) + ")");
            }
            if (pcm.bits_per_sample != 16) {
                return fail("not 16-bit (" + std::to_string(pcm.bits_per_sample) + " bits)");
            }
            if (pcm.channels == 0 || pcm.sample_rate == 0) {
                return fail("no channels or no sample rate");
            }
            if (pcm.block_align != pcm.channels * 2u ||
                pcm.byte_rate != static_cast<std::uint64_t>(pcm.sample_rate) * pcm.block_align) {
                return fail("block align or byte rate disagrees with the format");
            }
            have_fmt = true;
        } else if (is_id(bytes, at, "data")) {
            if (!have_fmt) {
                return fail("data chunk before fmt chunk");
            }
            if (size % pcm.block_align != 0) {
                return fail("data chunk is not a whole number of frames");
            }
            pcm.data_offset = body;
            pcm.samples.resize(size / 2);
            for (std::size_t i = 0; i < pcm.samples.size(); ++i) {
                pcm.samples[i] = static_cast<std::int16_t>(get16(bytes, body + 2 * i));
            }
            return Decoded{std::move(pcm), {}};
        }
        at = body + size + (size & 1u);  // chunks are padded to an even length
    }
    return fail(have_fmt ? "no data chunk" : "no fmt chunk");
}

Decoded read_pcm16(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return fail("cannot open " + path.string());
    }
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    if (in.bad()) {
        return fail("cannot read " + path.string());
    }
    return decode_pcm16(bytes);
}

}  // namespace tallowick::wav
