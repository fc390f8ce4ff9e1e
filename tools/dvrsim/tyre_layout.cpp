#include "dvrsim/tyre_layout.h"

#include <algorithm>
#include <vector>

#include "dvrsim/image_options.h"

namespace dvrsim {
namespace {

// Tyres per layout type, type 1 first.
constexpr int kFirstUnitTyres[kFirstUnitTypes] = {4, 6, 6, 8, 8, 10};
constexpr int kTrailerTyres[kTrailerTypes] = {2, 4, 4, 6, 6, 8, 6, 8, 8, 10, 8, 10, 10, 12};

// Status bits of the abnormal states 2..5.
constexpr uint8_t kAbnormalBits[] = {0x14, 0x24, 0x44, 0x06};
constexpr uint8_t kNormalBits = 0x04;
constexpr int kAbnormalKinds = sizeof kAbnormalBits / sizeof kAbnormalBits[0];

int max_type(int unit) {
    return unit == 0 ? kFirstUnitTypes : kTrailerTypes;
}

int unit_count(const TyreLayout& layout) {
    return static_cast<int>(
        std::count_if(layout.begin(), layout.end(), [](int t) { return t > 0; }));
}

// Warmer the faster the vehicle goes: 20 C standing, about 55 C at 100 km/h.
int tyre_temperature(int speed_tenths, int tyre, int frame) {
    return std::clamp(20 + speed_tenths * 7 / 200 + tyre % 3 + frame % 2, 20, 70);
}

// Truck tyres: 100..120 psi, each tyre a little different.
int tyre_psi(int unit, int tyre, int64_t gop) {
    return 102 + (7 * tyre + 5 * unit) % 15 + static_cast<int>(gop % 3);
}

TyreReading abnormal(TyreReading r, int state) {
    r.state = state;
    r.status_bits = kAbnormalBits[state - 2];
    if (state == 2) r.pressure_tenths -= 250;  // losing air
    if (state == 3) r.temperature = std::min(r.temperature + 12, 70);
    return r;
}

}  // namespace

bool has_units(const TyreLayout& layout) {
    return layout[0] > 0;
}

int unit_tyre_count(int unit, int type) {
    if (type < 1 || type > max_type(unit)) return 0;
    return unit == 0 ? kFirstUnitTyres[type - 1] : kTrailerTyres[type - 1];
}

bool parse_tyre_layout(const std::string& text, TyreLayout& out) {
    TyreLayout layout{};
    size_t from = 0;
    for (int unit = 0; unit < kUnitCount; ++unit) {
        const size_t comma = text.find(',', from);
        int64_t type = 0;
        if (!parse_number(text.substr(from, comma - from), 1, max_type(unit), type)) return false;
        layout[static_cast<size_t>(unit)] = static_cast<int>(type);
        if (comma == std::string::npos) {
            out = layout;
            return true;
        }
        from = comma + 1;
    }
    return false;  // a fourth unit
}

TyreFrame unit_tyre_frame(const TyreLayout& layout, uint64_t seed, int64_t gop, int frame,
                          int speed_tenths) {
    const int units = unit_count(layout);
    int total = 0;
    for (int u = 0; u < units; ++u) total += unit_tyre_count(u, layout[static_cast<size_t>(u)]);

    const int64_t window = gop / 10;
    const int64_t second = gop % 10;
    const int64_t turn = window + static_cast<int64_t>(seed % 1000);
    const int abnormal_tyre = second < 3 ? static_cast<int>(turn % total) : -1;
    const int abnormal_state = 2 + static_cast<int>(window % kAbnormalKinds);
    const int flagged_unit = second >= 5 && second < 7 ? static_cast<int>(turn % units) : -1;

    TyreFrame out;
    for (int u = 0; u < units; ++u) {
        bool alarm = u == flagged_unit;
        const int count = unit_tyre_count(u, layout[static_cast<size_t>(u)]);
        for (int k = 0; k < count; ++k) {
            TyreReading r;
            r.id = static_cast<int>(out.tyres.size()) + 1;
            r.pressure_tenths = tyre_psi(u, k, gop) * 10;
            r.temperature = tyre_temperature(speed_tenths, k, frame);
            r.status_bits = kNormalBits;
            r.state = 1;
            if (r.id - 1 == abnormal_tyre) {
                r = abnormal(r, abnormal_state);
                alarm = true;
            }
            out.tyres.push_back(r);
        }
        out.summary_values[static_cast<size_t>(u)] =
            static_cast<uint8_t>(layout[static_cast<size_t>(u)]);
        out.summary_states[static_cast<size_t>(u)] = alarm ? kUnitAlarm : kUnitNormal;
    }
    return out;
}

}  // namespace dvrsim
