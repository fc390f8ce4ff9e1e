#include "dvrsim/tyre_model.h"

#include "format/info_block_writer.h"

namespace dvrsim {
namespace {

// Status bits a version-3 monitor reports, with the state each one means. The last row has
// the leak bit without the alarm bit: not an alarm.
struct Abnormal {
    uint8_t bits;
    int state;
};
constexpr Abnormal kAbnormal[] = {{0x04, 1}, {0x14, 2}, {0x24, 3}, {0x44, 4}, {0x06, 5}, {0x10, 0}};
constexpr int kAbnormalKinds = sizeof kAbnormal / sizeof kAbnormal[0];

// Version 1/2 words carry no state: a reader calls a tyre hot above 80 C. Every 10..20 s (the
// period set by the seed) one of the first four tyres is at exactly 80 C for a second, then
// above it for three; all other readings stay well below.
constexpr int kHotLimit = 80;
constexpr int kHotTyres = 4;
constexpr int kHotSeconds = 3;

int legacy_temperature(uint64_t seed, int64_t gop, int frame, int tyre, int normal) {
    const auto period = static_cast<int64_t>(10 + seed % 11);
    const int64_t cycle = gop / period;
    const int64_t second = gop % period;
    const bool this_tyre =
        tyre == static_cast<int>((cycle + static_cast<int64_t>(seed % kHotTyres)) % kHotTyres);
    if (!this_tyre || second > kHotSeconds) return normal;
    if (second == 0) return kHotLimit;
    return kHotLimit + 1 + 3 * static_cast<int>(second - 1) + frame % 2;
}

}  // namespace

TyreFrame tyre_frame(uint64_t seed, int64_t gop, int frame, int speed_tenths, bool version3) {
    // One tyre is abnormal for 3 s out of every 10; which one and how changes every 10 s.
    int64_t window = gop / 10;
    bool abnormal_now = gop % 10 < 3;
    int abnormal_tyre = static_cast<int>((window + static_cast<int64_t>(seed)) % kTyreCount);
    const Abnormal& kind = kAbnormal[window % kAbnormalKinds];

    TyreFrame out;
    int abnormal_count = 0;
    for (int i = 0; i < kTyreCount; ++i) {
        TyreReading r;
        r.id = i + 1;
        r.temperature = 25 + speed_tenths / 100 + i + frame % 2;
        bool this_abnormal = abnormal_now && i == abnormal_tyre;
        if (version3) {
            r.pressure_tenths = (100 + 2 * i + static_cast<int>(gop % 3)) * 10;
            if (this_abnormal) {
                r.status_bits = kind.bits;
                r.state = kind.state;
                if (kind.state == 2) r.pressure_tenths -= 200;
            }
        } else {
            r.pressure_tenths = 300 + 5 * i + static_cast<int>(gop % 7) + frame;
            r.temperature = legacy_temperature(seed, gop, frame, i, r.temperature);
        }
        if (r.state != 0) ++abnormal_count;
        out.tyres.push_back(r);
    }
    if (version3) {
        out.summary_values = {static_cast<uint8_t>(kTyreCount),
                              static_cast<uint8_t>(abnormal_count), 87};
        bool leak = abnormal_count > 0 && kind.state == 2;
        bool hot = abnormal_count > 0 && kind.state == 3;
        out.summary_states = {abnormal_count > 0 ? 1 : 0, leak ? 2 : 0, hot ? 1 : 0};
    }
    return out;
}

uint32_t encode_tyre(const TyreReading& r, bool version3) {
    if (version3)
        return fleet::format::tyre_word_v3(r.id, r.status_bits, r.temperature,
                                           r.pressure_tenths / 10);
    return fleet::format::tyre_word_v12(r.id, r.pressure_tenths, r.temperature);
}

}  // namespace dvrsim
