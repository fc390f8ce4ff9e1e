// The 56-byte LiveParams of zOpenEx: what the host asks of a recorder's live stream, checked
// and read once, and the start request made from it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "kivra/kivra.h"
#include "link/recorder_messages.h"

namespace kivra::net {

struct LiveSettings {
    std::string address;  // bytes 0-31: "HOST[:PORT]" for a direct link
    int channel_count = 4;
    uint32_t channel_mask = 0;
    uint32_t rate_class = 0;  // frame-rate class 0..2
    uint32_t audio_mode = 0;  // 0..3
    bool log_option = false;
    bool flow_control = false;
    bool buffering = false;  // prebuffering and queue control
    uint8_t mark = 1;        // 1 or 2, repeated in every live request
    uint8_t resolution = 0;
    uint8_t frame_rate = 0;
};

// Empty when the parameters are not valid: an empty address, a channel count other than 4 or
// 8, a mark other than 1 or 2, an audio mode above 3, a frame-rate class above 2, or a class
// other than 0 with no channel in the mask's low byte.
std::optional<LiveSettings> read_live_params(const LiveParams& params);

fleet::recorder::LiveStart live_start_of(const LiveSettings& settings);

}  // namespace kivra::net
