// Frame sets as the engine hands them to an export, built field by field in a test.
#pragma once

#include <cstring>
#include <memory>
#include <string>

#include "kivra/kivra.h"

namespace fleet::export_host::test {

// `frames` video frames of one GOP at `gop_time`, 640x360, with speed, G, temperature and
// flags for every frame and no position.
inline std::unique_ptr<FrameSet> make_frame_set(uint32_t gop_time, int frames,
                                                const std::string& vehicle_id = "BUS-12") {
    auto set = std::make_unique<FrameSet>();
    std::memset(set.get(), 0, sizeof(FrameSet));
    set->frames_per_channel = frames;
    set->picture_width = 640;
    set->picture_height = 352;
    set->channel_count = 4;
    std::memcpy(set->vehicle_id, vehicle_id.data(), std::min<size_t>(vehicle_id.size(), 16));
    set->gop_time = gop_time;
    set->speed_count = set->gsensor_count = set->temperature_count = set->flag_count = frames;
    for (int i = 0; i < frames; ++i) {
        set->speed[i] = 40.5f + static_cast<float>(i);
        set->gsensor[i] = GSensorSample{0, 127, -127};
        set->temperature[i] = 21;
        set->flags[i][2] = 1;
    }
    return set;
}

// A 21-character position text for frame `frame`; position_count grows to cover it.
inline void set_position(FrameSet& set, int frame, const char* latitude10,
                         const char* longitude11) {
    std::memcpy(set.position[frame], latitude10, 10);
    std::memcpy(set.position[frame] + 10, longitude11, 11);
    set.position_count = std::max(set.position_count, frame + 1);
}

}  // namespace fleet::export_host::test
