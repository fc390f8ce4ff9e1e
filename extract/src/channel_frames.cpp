#include "channel_frames.h"

#include <algorithm>

#include "format/gop_layout.h"

namespace ombrel {

std::vector<AccessUnit> channel_access_units(const uint8_t* gop, size_t length, int channel) {
    std::vector<AccessUnit> units;
    auto layout = fleet::format::gop_layout(gop, length);
    if (!layout) return units;
    const int walked = fleet::format::for_each_frame_record(
        gop, *layout, [&](const fleet::format::FrameRecordView& frame) {
            if (frame.channel == channel) units.push_back({frame.data, frame.length, frame.key});
        });
    if (walked < 0) units.clear();  // the engine rejects such a GOP as a whole
    return units;
}

int first_key_frame(const std::vector<AccessUnit>& units) {
    auto key = std::find_if(units.begin(), units.end(), [](const AccessUnit& u) { return u.key; });
    return key == units.end() ? -1 : static_cast<int>(key - units.begin());
}

void append_gop_audio(const FrameSet& set, int first, std::vector<uint8_t>& out) {
    if (!set.has_audio) return;
    const int frames = std::min(set.frames_per_channel, KIVRA_MAX_FRAMES);
    for (int f = std::max(first, 0); f < frames; ++f) {
        const int32_t offset = set.audio_chunk_offset[f];
        const int32_t length = set.audio_chunk_length[f];
        if (offset < 0 || length <= 0 || offset > KIVRA_AUDIO_CAPACITY - length) continue;
        out.insert(out.end(), set.audio_buffer + offset, set.audio_buffer + offset + length);
    }
}

size_t silence_bytes(const PcmFormat& format, int first, int frames, int step_seconds) {
    if (frames <= 0 || first >= frames) return 0;
    first = std::max(first, 0);
    const int64_t gop_samples = int64_t{format.rate} * step_seconds;
    const int64_t samples = gop_samples - gop_samples * first / frames;
    return static_cast<size_t>(samples) * static_cast<size_t>(format.sample_bytes());
}

}  // namespace ombrel
