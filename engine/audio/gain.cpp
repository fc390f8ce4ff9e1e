// Software volume. Products are cut toward zero, as recorders' players always did. Boosting
// quiet recordings (gain above 1) is the common case, so samples saturate: a wrapped sample is
// a loud click, a clipped one is barely heard.
#include <cmath>
#include <cstring>
#include <limits>

#include "audio/audio_out.h"

namespace kivra {

bool gain_for_volume(int volume, float& gain) {
    if (volume < 0 || volume > 100) return false;
    const double v = volume;
    gain = static_cast<float>(volume <= 50 ? v / 50.0 : (v - 50.0) * 2.0 / 50.0 + 1.0);
    return true;
}

// In double on purpose, so every build gives the same numbers: the float gain of many
// volumes lies just below the exact value and the round trip lands one lower (1 -> 0,
// 77 -> 76). Float arithmetic would round some of those back up, others not.
bool volume_for_gain(float gain, int& volume) {
    const double g = gain;
    if (g >= 0.0 && g <= 1.0) {
        volume = static_cast<int>(std::trunc(g * 50.0));
        return true;
    }
    if (g > 1.0 && g <= 3.0) {
        volume = static_cast<int>(std::trunc((g - 1.0) * 25.0 + 50.0));
        return true;
    }
    return false;
}

namespace {

template <typename Int>
Int saturate(double value) {
    constexpr double lo = std::numeric_limits<Int>::min();
    constexpr double hi = std::numeric_limits<Int>::max();
    if (value <= lo) return std::numeric_limits<Int>::min();
    if (value >= hi) return std::numeric_limits<Int>::max();
    return static_cast<Int>(std::trunc(value));
}

// Little-endian whatever the host, as the recorders write it.
uint32_t load_le(const uint8_t* p, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

void store_le(uint8_t* p, int bytes, uint32_t v) {
    for (int i = 0; i < bytes; ++i) {
        p[i] = static_cast<uint8_t>(v & 0xff);
        v >>= 8;
    }
}

}  // namespace

namespace {

// Little-endian signed samples of sizeof(Signed) bytes; a trailing partial sample stays.
template <typename Signed, typename Unsigned>
void scale_signed(double g, uint8_t* data, size_t length) {
    constexpr size_t kBytes = sizeof(Signed);
    for (size_t i = 0; i + kBytes <= length; i += kBytes) {
        const auto sample = static_cast<Signed>(load_le(data + i, kBytes));
        store_le(data + i, kBytes, static_cast<Unsigned>(saturate<Signed>(sample * g)));
    }
}

}  // namespace

void apply_gain(float gain, uint8_t* data, size_t length, const AudioFormat& format) {
    if (data == nullptr) return;
    // NaN and negative gains would turn sound into noise; treat them as mute.
    const double g = gain >= 0.0f ? static_cast<double>(gain) : 0.0;
    if (g == 1.0) return;
    switch (format.bits) {
        case 8:
            for (size_t i = 0; i < length; ++i) {
                const double centred = (static_cast<int>(data[i]) - 128) * g;
                data[i] = static_cast<uint8_t>(saturate<int8_t>(centred) + 128);
            }
            break;
        case 16:
            scale_signed<int16_t, uint16_t>(g, data, length);
            break;
        case 32:
            scale_signed<int32_t, uint32_t>(g, data, length);
            break;
        default:
            break;  // unplayable anyway
    }
}

}  // namespace kivra
