// SPDX-License-Identifier: GPL-3.0-or-later
// Synthesises the program's built-in alarm sounds into the directory given on the command line:
//
//   chime.wav     a bright two-note chime, about a second long
//   windup.wav    a twin-bell wind-up alarm clock, one second of hammer strikes
//   deepbell.wav  a large, low bell ringing out for three seconds
//   alert.wav     the fallback two-tone alert, played when an alarm's own sound cannot be used
//
// Every sound is 16-bit mono PCM at 44100 Hz, starts from exact silence with a ramp of a few
// milliseconds, fades to silence at its end, has no DC offset and peaks 3 dB below full scale.
// The output is fully deterministic: the only "randomness" is a fixed-seed generator.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <numbers>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "wav.h"

namespace {

constexpr std::uint32_t kRate = 44100;
constexpr double kPi = std::numbers::pi;
constexpr double kPeakDb = -3.0;  // every sound peaks here, relative to full scale

using Signal = std::vector<double>;

Signal silence(double seconds) {
    return Signal(static_cast<std::size_t>(std::lround(seconds * kRate)), 0.0);
}

// 0 at x <= 0, 1 at x >= 1, a smooth raised-cosine (sin^2) rise in between.
double rise(double x) {
    if (x <= 0.0) {
        return 0.0;
    }
    if (x >= 1.0) {
        return 1.0;
    }
    const double s = std::sin(0.5 * kPi * x);
    return s * s;
}

// One mode of a vibrating body: frequency as a multiple of the note, relative amplitude and the
// time constant (seconds) of its exponential decay.
struct Partial {
    double ratio;
    double amp;
    double decay;
};

// Adds one strike on a ringing body (a bell, a bar) pitched at `freq`. Each partial is a decaying
// sine starting at zero phase, which is the impulse response of a damped resonator, so several
// strikes on the same body superpose the way the real thing does. `soften` is the length of the
// onset ramp that rounds off the very first instant of the strike.
void strike(Signal& out, double at, double freq, std::span<const Partial> partials, double gain,
            double soften) {
    double longest = 0.0;
    for (const Partial& p : partials) {
        longest = std::max(longest, p.decay);
    }
    const auto first = static_cast<std::size_t>(std::lround(at * kRate));
    // After 14 time constants a partial is below -120 dB; nothing audible is left.
    const std::size_t last =
        std::min(out.size(), first + static_cast<std::size_t>(14.0 * longest * kRate));
    for (std::size_t i = first; i < last; ++i) {
        const double t = static_cast<double>(i - first) / kRate;
        double v = 0.0;
        for (const Partial& p : partials) {
            const double f = freq * p.ratio;
            if (f >= 0.45 * kRate) {
                continue;  // would alias
            }
            v += p.amp * std::exp(-t / p.decay) * std::sin(2.0 * kPi * f * t);
        }
        out[i] += gain * rise(t / soften) * v;
    }
}

// Adds a steady tone of `length` seconds from `at`, built from harmonics (ratio, amplitude; the
// decay field gives a gentle droop), with its own attack and release ramps.
void tone(Signal& out, double at, double length, double freq, std::span<const Partial> harmonics,
          double attack, double release) {
    const auto first = static_cast<std::size_t>(std::lround(at * kRate));
    const auto count = static_cast<std::size_t>(std::lround(length * kRate));
    for (std::size_t n = 0; n < count && first + n < out.size(); ++n) {
        const double t = static_cast<double>(n) / kRate;
        const double left = static_cast<double>(count - 1 - n) / kRate;
        double v = 0.0;
        for (const Partial& h : harmonics) {
            v += h.amp * std::exp(-t / h.decay) * std::sin(2.0 * kPi * freq * h.ratio * t);
        }
        out[first + n] += v * rise(t / attack) * rise(left / release);
    }
}

// A small deterministic generator (xorshift32) for the few places that want irregularity.
class Jitter {
  public:
    explicit Jitter(std::uint32_t seed) : state_(seed) {}
    // Uniform in [-1, 1).
    double next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<double>(state_) / 2147483648.0 - 1.0;
    }

  private:
    std::uint32_t state_;
};

// Turns a synthesised signal into 16-bit samples: removes any DC offset, applies the fade-in from
// exact zero and the fade-out to exact zero, and scales the peak to kPeakDb.
std::vector<std::int16_t> finish(Signal s, double attack, double release) {
    double mean = 0.0;
    for (double v : s) {
        mean += v;
    }
    mean /= static_cast<double>(s.size());
    const double n = static_cast<double>(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double left = (n - 1.0 - static_cast<double>(i)) / kRate;
        s[i] = (s[i] - mean) * rise(t / attack) * rise(left / release);
    }
    double peak = 0.0;
    for (double v : s) {
        peak = std::max(peak, std::abs(v));
    }
    const double scale = peak > 0.0 ? std::pow(10.0, kPeakDb / 20.0) * 32767.0 / peak : 0.0;
    std::vector<std::int16_t> out(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        out[i] = static_cast<std::int16_t>(std::lround(s[i] * scale));
    }
    return out;
}

// Two notes a fifth apart (C6, then G6), each a struck bar with a slightly detuned twin of its
// fundamental for shimmer and a few quickly fading inharmonic partials for the "ting".
std::vector<std::int16_t> chime() {
    static constexpr Partial kBar[] = {
        {1.0, 1.00, 0.32},  {1.0017, 0.30, 0.36}, {2.0, 0.16, 0.20},
        {2.76, 0.10, 0.11}, {5.40, 0.04, 0.05},   {8.93, 0.015, 0.025},
    };
    Signal s = silence(1.0);
    strike(s, 0.0, 1046.50, kBar, 1.0, 0.002);
    strike(s, 0.16, 1567.98, kBar, 0.9, 0.002);
    return finish(std::move(s), 0.003, 0.20);
}

// A wind-up alarm clock: a hammer rattling between two small steel bells, 20 strikes a second,
// alternating bells. Each bell keeps ringing between strikes. A little timing and force
// irregularity and a short filtered click of the hammer make it sound mechanical rather than
// synthetic. Strikes fall exactly every 50 ms, so when the sound is restarted each second the
// rhythm carries on unbroken.
std::vector<std::int16_t> windup() {
    static constexpr Partial kBell[] = {
        {1.0, 1.00, 0.075},  {1.0041, 0.35, 0.07}, {2.45, 0.40, 0.04},
        {4.06, 0.18, 0.025}, {5.93, 0.08, 0.015},
    };
    constexpr double kBellA = 2200.0;
    constexpr double kBellB = kBellA * 4.0 / 3.0;  // a fourth apart: bright, not rough
    constexpr int kStrikes = 20;
    constexpr double kInterval = 1.0 / kStrikes;

    Signal s = silence(1.0);
    Jitter jitter(0x5EED1234u);
    Signal click(s.size(), 0.0);
    for (int k = 0; k < kStrikes; ++k) {
        const double at = k * kInterval + (k == 0 ? 0.0 : 0.0008 * jitter.next());
        const double force = 0.9 + 0.1 * jitter.next();
        strike(s, at, k % 2 == 0 ? kBellA : kBellB, kBell, force, 0.0004);
        // The hammer's own click: a 2 ms burst of noise with a fast decay.
        const auto first = static_cast<std::size_t>(std::lround(at * kRate));
        for (std::size_t i = 0; i < 88 && first + i < click.size(); ++i) {
            const double t = static_cast<double>(i) / kRate;
            click[first + i] += 0.12 * force * std::exp(-t / 0.0005) * jitter.next();
        }
    }
    // Band-pass the clicks around 4 kHz (a two-pole resonator) so they sound like metal on metal
    // instead of hiss, then mix them in.
    const double r = std::exp(-kPi * 1500.0 / kRate);
    const double a1 = 2.0 * r * std::cos(2.0 * kPi * 4000.0 / kRate);
    const double a2 = -r * r;
    double y1 = 0.0;
    double y2 = 0.0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double y = (1.0 - r) * click[i] + a1 * y1 + a2 * y2;
        y2 = y1;
        y1 = y;
        s[i] += y;
    }
    return finish(std::move(s), 0.003, 0.04);
}

// A large church-type bell with a 200 Hz prime. Its partials follow a tuned bell's: hum (an
// octave below), prime, minor-third tierce, quint, nominal (an octave above) and the upper
// partials, each lower one as a slightly split pair so the bell warbles as it rings out. The
// upper partials die quickly and give the strike its clang; the hum lingers longest.
std::vector<std::int16_t> deepbell() {
    static constexpr Partial kBell[] = {
        {0.500, 0.50, 1.50},   // hum
        {0.5018, 0.20, 1.40},  // hum, split
        {1.000, 0.45, 1.05},   // prime
        {1.0021, 0.15, 1.00},  // prime, split
        {1.190, 0.45, 0.85},   // tierce
        {1.1936, 0.18, 0.80},  // tierce, split
        {1.502, 0.20, 0.50},   // quint
        {2.000, 0.55, 0.70},   // nominal
        {2.0034, 0.22, 0.65},  // nominal, split
        {2.510, 0.22, 0.32},   // superquint
        {3.010, 0.16, 0.22},   // octave nominal
        {4.070, 0.10, 0.12},   // upper partials: the clang of the strike
        {5.250, 0.07, 0.06},  {6.700, 0.05, 0.035},
    };
    Signal s = silence(3.0);
    strike(s, 0.0, 200.0, kBell, 1.0, 0.004);
    return finish(std::move(s), 0.004, 0.60);
}

// Two clear beeps rising a fifth (A5, then E6), each a sine with a little second and third
// harmonic so it carries without sounding harsh, with soft edges so neither beep clicks.
std::vector<std::int16_t> alert() {
    static constexpr Partial kTone[] = {
        {1.0, 1.00, 1.2},
        {2.0, 0.22, 0.8},
        {3.0, 0.10, 0.6},
    };
    Signal s = silence(0.62);
    tone(s, 0.0, 0.26, 880.0, kTone, 0.006, 0.025);
    tone(s, 0.30, 0.32, 1318.51, kTone, 0.006, 0.06);
    return finish(std::move(s), 0.003, 0.015);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: " << (argc > 0 ? argv[0] : "synth") << " OUTPUT_DIRECTORY\n";
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        std::cerr << "cannot create " << dir.string() << ": " << ec.message() << '\n';
        return 1;
    }
    struct Sound {
        const char* name;
        std::vector<std::int16_t> (*make)();
    };
    static constexpr Sound kSounds[] = {
        {"chime.wav", chime},
        {"windup.wav", windup},
        {"deepbell.wav", deepbell},
        {"alert.wav", alert},
    };
    for (const Sound& sound : kSounds) {
        const std::string error =
            tallowick::wav::writeMono16(dir / sound.name, sound.make(), kRate);
        if (!error.empty()) {
            std::cerr << error << '\n';
            return 1;
        }
    }
    return 0;
}
