#include "dvrsim/audio_synth.h"

#include <cmath>
#include <numbers>

namespace dvrsim {
namespace {

constexpr double kToneAmplitude = 0.25;  // about -12 dBFS
constexpr double kBeepAmplitude = 0.25;

bool supported(const AudioFormat& f) {
    return f.rate > 0 && (f.bits == 8 || f.bits == 16) && (f.channels == 1 || f.channels == 2);
}

// Phase from the integer cycle count modulo one second keeps full precision however long the
// recording runs; tone frequencies are whole hertz, so each second starts at the same phase.
double tone(int hz, int64_t sample, int rate) {
    const int64_t phase_numerator = (static_cast<int64_t>(hz) * sample) % rate;
    return std::sin(2.0 * std::numbers::pi * static_cast<double>(phase_numerator) /
                    static_cast<double>(rate));
}

double left_signal(int64_t sample, int rate) {
    return kToneAmplitude * tone(kLeftToneHz, sample, rate);
}

// The beep spans a whole number of 1 kHz cycles, so it starts and ends at a zero crossing.
double right_signal(int64_t sample, int rate) {
    double value = kToneAmplitude * tone(kRightToneHz, sample, rate);
    const int64_t beep_samples = static_cast<int64_t>(rate) * kBeepMilliseconds / 1000;
    const int64_t in_second = ((sample % rate) + rate) % rate;
    if (in_second < beep_samples) value += kBeepAmplitude * tone(kBeepHz, sample, rate);
    return value;
}

void append_sample(std::vector<uint8_t>& out, int bits, double value) {
    if (bits == 8) {
        out.push_back(static_cast<uint8_t>(128 + std::lround(value * 127.0)));
        return;
    }
    const auto pcm = static_cast<int16_t>(std::lround(value * 32767.0));
    const auto bits16 = static_cast<uint16_t>(pcm);
    out.push_back(static_cast<uint8_t>(bits16 & 0xFF));
    out.push_back(static_cast<uint8_t>(bits16 >> 8));
}

}  // namespace

std::vector<uint8_t> synth_audio_second(const AudioFormat& format, int64_t second) {
    if (!supported(format)) return {};
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(format.rate) * static_cast<size_t>(format.bits / 8) *
                static_cast<size_t>(format.channels));
    const int64_t first = second * format.rate;
    for (int64_t sample = first; sample < first + format.rate; ++sample) {
        if (format.channels == 2) append_sample(out, format.bits, left_signal(sample, format.rate));
        append_sample(out, format.bits, right_signal(sample, format.rate));
    }
    return out;
}

}  // namespace dvrsim
