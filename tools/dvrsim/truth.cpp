#include "dvrsim/truth.h"

#include <algorithm>

#include "dvrsim/vehicle_model.h"
#include "report/telemetry_json.h"

namespace dvrsim {
namespace {

std::array<int, 12> flags_of(const TruthContext& gop, const VehicleSample& s) {
    // Inputs 4-7 exist only on 8-channel units of the newest stream version.
    bool high_inputs = gop.stream_version == 3 && gop.channels == 8;
    std::array<int, 12> flags{};
    for (size_t b = 0; b < 4; ++b) {
        flags[b] = (s.inputs >> b) & 1;
        flags[4 + b] = high_inputs ? (s.inputs >> (4 + b)) & 1 : 0;
        flags[8 + b] = (s.signals >> b) & 1;
    }
    return flags;
}

void add_tyres(const TruthContext& gop, const TyreFrame& tyres, fleet::FrameTelemetry& t) {
    t.tyres_per_group = static_cast<int>(tyres.tyres.size());
    for (const auto& r : tyres.tyres) {
        t.tyres.push_back(
            {r.id, r.pressure_tenths / 10.0, r.temperature, gop.stream_version == 3 ? r.state : 0});
    }
    if (gop.stream_version == 3 && gop.summary != nullptr) {
        const auto& v = gop.summary->summary_values;
        const auto& s = gop.summary->summary_states;
        t.tyre_summary = {v[0], v[1], v[2], s[0], s[1], s[2]};
    }
}

}  // namespace

std::string truth_line(const TruthContext& gop, int frame, const VehicleSample& s,
                       const TyreFrame& tyres) {
    fleet::FrameTelemetry t;
    t.gop = gop.gop;
    t.frame = frame;
    t.time = gop.time;
    for (int c = 1; c <= std::min(gop.channels, 8); ++c) t.channels.push_back(c);
    if (gop.stream_version >= 1) {
        t.car_id = gop.vehicle_id.substr(0, 14);
        if (gop.gps_fix) t.position = latitude_text(s.latitude) + longitude_text(s.longitude);
        t.gsensor = s.gsensor;
        t.speed = s.speed_tenths / 10.0;
        t.temperature = s.temperature;
        t.flags = flags_of(gop, s);
        add_tyres(gop, tyres, t);
    }
    return fleet::to_json(t).dump();
}

}  // namespace dvrsim
