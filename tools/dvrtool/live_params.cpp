#include "live_params.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "common/le.h"

namespace dvrtool {
namespace {

// Byte offsets of the 56-byte record.
constexpr size_t kAddressAt = 0, kAddressField = 32;
constexpr size_t kChannelCountAt = 32, kChannelMaskAt = 36, kFrameRateClassAt = 40,
                 kAudioModeAt = 44, kBufferingAt = 50, kMarkAt = 51, kResolutionAt = 52,
                 kFrameRateIndexAt = 53;

constexpr uint32_t kHighestFrameRateClass = 2;  // any rate above the lowest
constexpr uint32_t kFullAudio = 1;              // audio, not divided
constexpr uint8_t kCif = 1;
constexpr uint8_t kThirtyFramesPerSecond = 15;  // index k is 2k frames per second
constexpr uint8_t kFilledMark = 1;

int channel_count_for(const std::optional<std::vector<int>>& channels) {
    if (!channels) return 4;
    return std::any_of(channels->begin(), channels->end(), [](int c) { return c > 4; }) ? 8 : 4;
}

uint32_t channel_mask(const std::optional<std::vector<int>>& channels, int count) {
    if (!channels) return (1u << count) - 1;
    uint32_t mask = 0;
    for (int channel : *channels) mask |= 1u << (channel - 1);
    return mask;
}

void put_address(LiveParams& params, const std::string& text) {
    // The text was checked to fit; the field stays terminated whatever comes.
    std::memcpy(params.bytes + kAddressAt, text.data(), std::min(text.size(), kAddressField - 1));
}

}  // namespace

LiveParams live_params_for(const RemoteAddress& address,
                           const std::optional<std::vector<int>>& channels) {
    LiveParams params{};
    put_address(params, address.engine_text());
    const int count = channel_count_for(channels);
    fleet::store_u32(params.bytes + kChannelCountAt, static_cast<uint32_t>(count));
    fleet::store_u32(params.bytes + kChannelMaskAt, channel_mask(channels, count));
    fleet::store_u32(params.bytes + kFrameRateClassAt, kHighestFrameRateClass);
    fleet::store_u32(params.bytes + kAudioModeAt, kFullAudio);
    params.bytes[kBufferingAt] = 1;
    params.bytes[kMarkAt] = kFilledMark;
    params.bytes[kResolutionAt] = kCif;
    params.bytes[kFrameRateIndexAt] = kThirtyFramesPerSecond;
    return params;
}

}  // namespace dvrtool
