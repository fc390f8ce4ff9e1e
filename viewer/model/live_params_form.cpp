#include "model/live_params_form.h"

#include <algorithm>
#include <cstring>

#include "common/le.h"

namespace velmora {

namespace {

namespace lp = live_params;

constexpr int kLastFrameRateIndex = kFrameRateItems - 1;
// Frame-rate classes the recorder knows: no video, its lowest rate, any higher one.
constexpr int32_t kClassNoVideo = 0;
constexpr int32_t kClassLowest = 1;
constexpr int32_t kClassHigher = 2;

int selection_in_range(int32_t value, int count) {
    return value >= 0 && value < count ? value : kNoSelection;
}

int32_t frame_rate_class(int index) {
    if (index == 0) return kClassNoVideo;
    if (index == 1) return kClassLowest;
    return kClassHigher;
}

void store_int(LiveParams& params, std::size_t offset, int32_t value) {
    fleet::store_u32(params.bytes + offset, static_cast<uint32_t>(value));
}

}  // namespace

int32_t live_params_int(const LiveParams& params, std::size_t offset) {
    return static_cast<int32_t>(fleet::load_u32(params.bytes + offset));
}

std::string live_params_address(const LiveParams& params) {
    const auto* text = reinterpret_cast<const char*>(params.bytes + lp::kAddress);
    return std::string(text, strnlen(text, lp::kAddressBytes));
}

LiveParamsChoice initial_live_choice(const LiveParams& previous, const std::string& address,
                                     int channel_count) {
    LiveParamsChoice choice;
    choice.address = address;
    choice.channel_count = channel_count;
    const uint32_t mask = static_cast<uint32_t>(live_params_int(previous, lp::kChannelMask));
    for (int i = 0; i < kLiveChannels; ++i)
        choice.channels[static_cast<size_t>(i)] = ((mask >> i) & 1u) != 0;
    choice.log = previous.bytes[lp::kLog] != 0;
    choice.flow_control = previous.bytes[lp::kFlowControl] != 0;
    choice.buffering = false;
    choice.audio_mode = selection_in_range(live_params_int(previous, lp::kAudioMode), kAudioModes);
    choice.resolution = selection_in_range(previous.bytes[lp::kResolution], kResolutions);
    choice.frame_rate = selection_in_range(previous.bytes[lp::kFrameRateIndex], kFrameRateItems);
    return choice;
}

bool live_choices_locked(uint8_t capability, int open_links) {
    return capability != 0 && open_links > 0;
}

LiveParams collect_live_params(const LiveParamsChoice& choice) {
    LiveParams params{};
    uint32_t mask = 0;
    for (int i = 0; i < kLiveChannels; ++i)
        if (choice.channels[static_cast<size_t>(i)]) mask |= 1u << i;
    store_int(params, lp::kChannelMask, static_cast<int32_t>(mask));
    params.bytes[lp::kLog] = choice.log ? 1 : 0;
    params.bytes[lp::kFlowControl] = choice.flow_control ? 1 : 0;
    params.bytes[lp::kBuffering] = choice.buffering ? 1 : 0;
    params.bytes[lp::kResolution] =
        static_cast<uint8_t>(choice.resolution == kNoSelection ? 0 : choice.resolution);
    if (choice.frame_rate == kNoSelection) {
        params.bytes[lp::kFrameRateIndex] = kLastFrameRateIndex;
        store_int(params, lp::kFrameRateClass, kClassHigher);
    } else {
        params.bytes[lp::kFrameRateIndex] = static_cast<uint8_t>(choice.frame_rate);
        store_int(params, lp::kFrameRateClass, frame_rate_class(choice.frame_rate));
    }
    store_int(params, lp::kAudioMode, choice.audio_mode == kNoSelection ? 0 : choice.audio_mode);
    params.bytes[lp::kFilledMark] = 1;
    const std::size_t length = std::min(choice.address.size(), lp::kAddressBytes - 1);
    std::memcpy(params.bytes + lp::kAddress, choice.address.data(), length);
    store_int(params, lp::kChannelCount, choice.channel_count);
    return params;
}

LiveParams default_live_params(const std::string& address, int channel_count) {
    LiveParamsChoice choice;
    choice.address = address;
    choice.channel_count = channel_count;
    for (int i = 0; i < std::clamp(channel_count, 0, kLiveChannels); ++i)
        choice.channels[static_cast<size_t>(i)] = true;
    choice.audio_mode = 1;
    choice.resolution = kResolutions - 1;
    choice.frame_rate = kLastFrameRateIndex;
    return collect_live_params(choice);
}

std::string frame_rate_item(int index) {
    if (index <= 0) return "No video";
    return std::to_string(index * 2);
}

}  // namespace velmora
