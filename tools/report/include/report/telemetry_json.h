// The per-frame telemetry record that `dvrtool telemetry --json` prints and the `dvrsim`
// ground-truth sidecar writes: one schema, so the two can be compared line by line.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "kivra/kivra.h"

namespace fleet {

struct TyreTelemetry {
    int id = 0;
    double pressure = 0;
    int temperature = 0;
    int state = 0;
};

struct FrameTelemetry {
    int64_t gop = 0;
    int frame = 0;
    uint32_t time = 0;
    std::vector<int> channels;            // channels (1-based) with a picture record for this frame
    std::optional<std::string> car_id;    // bytes as recorded; JSON shows them with utf8_text
    std::optional<std::string> position;  // 21 bytes, likewise
    std::optional<std::array<int, 3>> gsensor;
    std::optional<double> speed;  // km/h, in tenths
    std::optional<int> temperature;
    std::optional<std::array<int, 12>> flags;
    std::optional<int> tyres_per_group;
    std::vector<TyreTelemetry> tyres;
    std::array<int, 6> tyre_summary{};
};

nlohmann::ordered_json to_json(const FrameTelemetry& t);

// What a parsed GOP reports for video frame `frame`, with null for absent values. `channels`
// is left empty: a FrameSet does not say which channels had a record for each frame.
FrameTelemetry telemetry_of_frame(const FrameSet& set, int64_t gop, int frame);

// What a host's FrameInfoProc was given for one frame (`summary`: its six last arguments), in
// the same record; gop, frame and channels stay empty, the callback does not carry them.
FrameTelemetry telemetry_of_frame_info(uint32_t time, const char* id, const void* position,
                                       const int32_t* g, float speed, int32_t temperature,
                                       const uint8_t* flags, int32_t tyres_per_group,
                                       const void* tyres, const int32_t* summary);

// Speeds and pressures are carried in tenths; rounding keeps the text exact.
inline double round_tenths(double v) {
    return static_cast<double>(static_cast<int64_t>(v * 10.0 + (v < 0 ? -0.5 : 0.5))) / 10.0;
}

}  // namespace fleet
