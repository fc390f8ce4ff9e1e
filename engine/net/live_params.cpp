#include "net/live_params.h"

#include "common/le.h"
#include "net/link_address.h"

namespace kivra::net {
namespace {

constexpr size_t kAddressSize = 32;
// Half the engine's prebuffer count, as the recorder expects it.
constexpr uint32_t kPrebufferHalf = 5;

bool is_valid(const LiveSettings& s) {
    if (s.address.empty()) return false;
    if (s.channel_count != 4 && s.channel_count != 8) return false;
    if (s.mark != 1 && s.mark != 2) return false;
    if (s.audio_mode > 3 || s.rate_class > 2) return false;
    return s.rate_class == 0 || (s.channel_mask & 0xFF) != 0;
}

}  // namespace

std::optional<LiveSettings> read_live_params(const LiveParams& params) {
    const uint8_t* p = params.bytes;
    LiveSettings s;
    s.address = text_of_field(p, kAddressSize);
    const uint32_t channels = fleet::load_u32(p + 32);
    s.channel_count = channels == 4 || channels == 8 ? static_cast<int>(channels) : 0;
    s.channel_mask = fleet::load_u32(p + 36);
    s.rate_class = fleet::load_u32(p + 40);
    s.audio_mode = fleet::load_u32(p + 44);
    s.log_option = (p[48] & 1) != 0;
    s.flow_control = (p[49] & 1) != 0;
    s.buffering = p[50] != 0;
    s.mark = p[51];
    s.resolution = p[52];
    s.frame_rate = p[53];
    if (!is_valid(s)) return std::nullopt;
    return s;
}

fleet::recorder::LiveStart live_start_of(const LiveSettings& s) {
    fleet::recorder::LiveStart start;
    start.mark = s.mark;
    start.channel_mask = s.channel_mask;
    start.mode_bits = (s.rate_class & 3) | (s.audio_mode & 7) << 2 | uint32_t{s.log_option} << 5 |
                      uint32_t{s.flow_control} << 6;
    start.prebuffer_half = kPrebufferHalf;
    start.resolution = s.resolution;
    start.frame_rate = s.frame_rate;
    return start;
}

}  // namespace kivra::net
