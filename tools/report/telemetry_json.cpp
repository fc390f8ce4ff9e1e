#include "report/telemetry_json.h"

#include <cstring>

#include "report/json_text.h"

namespace fleet {
namespace {

template <typename T>
nlohmann::ordered_json or_null(const std::optional<T>& v) {
    return v ? nlohmann::ordered_json(*v) : nlohmann::ordered_json(nullptr);
}

// Recorded texts may hold any bytes; JSON holds UTF-8.
nlohmann::ordered_json text_or_null(const std::optional<std::string>& v) {
    return v ? nlohmann::ordered_json(utf8_text(*v)) : nlohmann::ordered_json(nullptr);
}

}  // namespace

nlohmann::ordered_json to_json(const FrameTelemetry& t) {
    nlohmann::ordered_json tyres = nlohmann::ordered_json::array();
    for (const auto& tyre : t.tyres) {
        tyres.push_back({{"id", tyre.id},
                         {"pressure", tyre.pressure},
                         {"temperature", tyre.temperature},
                         {"state", tyre.state}});
    }
    return {{"gop", t.gop},
            {"frame", t.frame},
            {"time", t.time},
            {"channels", t.channels},
            {"car_id", text_or_null(t.car_id)},
            {"position", text_or_null(t.position)},
            {"gsensor", or_null(t.gsensor)},
            {"speed", or_null(t.speed)},
            {"temperature", or_null(t.temperature)},
            {"flags", or_null(t.flags)},
            {"tyres_per_group", or_null(t.tyres_per_group)},
            {"tyres", tyres},
            {"tyre_summary", t.tyre_summary}};
}

FrameTelemetry telemetry_of_frame(const FrameSet& set, int64_t gop, int frame) {
    FrameTelemetry t;
    t.gop = gop;
    t.frame = frame;
    t.time = set.gop_time;
    if (set.vehicle_id[0] != '\0') {
        t.car_id = std::string(set.vehicle_id, strnlen(set.vehicle_id, sizeof set.vehicle_id));
    }
    if (frame < set.position_count) {
        t.position = std::string(set.position[frame], KIVRA_POSITION_SIZE);
    }
    if (frame < set.gsensor_count) {
        const auto& g = set.gsensor[frame];
        t.gsensor = std::array<int, 3>{g.x, g.y, g.z};
    }
    if (frame < set.speed_count) t.speed = round_tenths(set.speed[frame]);
    if (frame < set.temperature_count) t.temperature = set.temperature[frame];
    if (frame < set.flag_count) {
        std::array<int, 12> flags{};
        for (int i = 0; i < 12; ++i) flags[static_cast<size_t>(i)] = set.flags[frame][i];
        t.flags = flags;
    }
    if (frame < set.tyre_group_count) {
        t.tyres_per_group = set.tyres_per_group;
        for (int i = 0; i < set.tyres_per_group; ++i) {
            const TyreRecord& r = set.tyres[frame][i];
            t.tyres.push_back({r.id, round_tenths(r.pressure), r.temperature, r.state});
        }
    }
    for (int i = 0; i < 6; ++i) t.tyre_summary[static_cast<size_t>(i)] = set.tyre_summary[i];
    return t;
}

FrameTelemetry telemetry_of_frame_info(uint32_t time, const char* id, const void* position,
                                       const int32_t* g, float speed, int32_t temperature,
                                       const uint8_t* flags, int32_t tyres_per_group,
                                       const void* tyres, const int32_t* summary) {
    FrameTelemetry t;
    t.time = time;
    if (id != nullptr) t.car_id = std::string(id, strnlen(id, 16));
    if (position != nullptr) {
        t.position = std::string(static_cast<const char*>(position), KIVRA_POSITION_SIZE);
    }
    if (g != nullptr) t.gsensor = std::array<int, 3>{g[0], g[1], g[2]};
    if (speed >= 0) t.speed = round_tenths(speed);
    if (temperature != KIVRA_NO_TEMPERATURE) t.temperature = temperature;
    if (flags != nullptr) {
        std::array<int, 12> f{};
        for (size_t i = 0; i < f.size(); ++i) f[i] = flags[i];
        t.flags = f;
    }
    if (tyres_per_group >= 0 && tyres != nullptr) {
        t.tyres_per_group = tyres_per_group;
        const auto* records = static_cast<const TyreRecord*>(tyres);
        for (int i = 0; i < tyres_per_group; ++i) {
            const TyreRecord& r = records[i];
            t.tyres.push_back({r.id, round_tenths(r.pressure), r.temperature, r.state});
        }
    }
    for (size_t i = 0; i < 6; ++i) t.tyre_summary[i] = summary[i];
    return t;
}

}  // namespace fleet
