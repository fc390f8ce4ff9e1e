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

namespace {

// Visits the whole-sample part of each chunk of frames [first, frames_per_channel).
template <typename Visit>
void for_each_chunk(const FrameSet& set, const PcmFormat& format, int first, Visit&& visit) {
    const int32_t block = format.sample_bytes();
    const int frames = std::min(set.frames_per_channel, KIVRA_MAX_FRAMES);
    for (int f = std::max(first, 0); f < frames; ++f) {
        const int32_t offset = set.audio_chunk_offset[f];
        const int32_t length = set.audio_chunk_length[f] / block * block;
        if (offset < 0 || length <= 0 || offset > KIVRA_AUDIO_CAPACITY - length) continue;
        visit(set.audio_buffer + offset, static_cast<size_t>(length));
    }
}

bool has_sound_of(const FrameSet& set, const PcmFormat& format) {
    return set.has_audio != 0 && set.audio_buffer != nullptr && format.sample_bytes() > 0 &&
           set.audio_sample_bits == format.bits && set.audio_sample_rate == format.rate;
}

}  // namespace

bool has_usable_audio(const FrameSet& set, const PcmFormat& format) {
    return gop_sound_samples(set, format) > 0;
}

size_t append_gop_audio(const FrameSet& set, const PcmFormat& format, int first,
                        std::vector<uint8_t>& out) {
    if (!has_usable_audio(set, format)) return 0;
    const size_t before = out.size();
    for_each_chunk(set, format, first, [&](const uint8_t* chunk, size_t length) {
        out.insert(out.end(), chunk, chunk + length);
    });
    return out.size() - before;
}

int64_t gop_sound_samples(const FrameSet& set, const PcmFormat& format) {
    if (!has_sound_of(set, format)) return 0;
    size_t bytes = 0;
    for_each_chunk(set, format, 0, [&](const uint8_t*, size_t length) { bytes += length; });
    return static_cast<int64_t>(bytes / static_cast<size_t>(format.sample_bytes()));
}

size_t silence_bytes(const PcmFormat& format, int first, int frames, int64_t gop_samples) {
    if (frames <= 0 || first >= frames || gop_samples <= 0) return 0;
    first = std::max(first, 0);
    const int64_t samples = gop_samples - gop_samples * first / frames;
    return static_cast<size_t>(samples) * static_cast<size_t>(format.sample_bytes());
}

}  // namespace ombrel
