#include "playback/frame_audio.h"

#include <algorithm>
#include <cstring>

#include "format/gop_parser.h"

namespace kivra {

size_t silence_length(const AudioFormat& format, int frames) {
    if (frames <= 0) frames = fleet::format::kFramesWhenNoneAnnounced;
    size_t bytes = static_cast<size_t>(format.block_align()) * static_cast<size_t>(format.rate) /
                   static_cast<size_t>(frames);
    return std::min((bytes + 1) & ~size_t{1}, kAudioBufferSize);
}

void fill_frame_audio(const FrameSet& set, int frame, const AudioFormat& format, bool voice_on,
                      float gain, AudioBuffer& buffer) {
    const uint8_t silence = format.bits == 8 ? 0x80 : 0;
    if (!set.has_audio || frame < 0 || frame >= set.frames_per_channel ||
        frame >= KIVRA_MAX_FRAMES) {
        buffer.length = silence_length(format, set.frames_per_channel);
        std::memset(buffer.data, silence, buffer.length);
        return;
    }
    size_t length =
        std::min(static_cast<size_t>(std::max(set.audio_chunk_length[frame], 0)), kAudioBufferSize);
    buffer.length = length;
    if (!voice_on) {
        std::memset(buffer.data, silence, length);
        return;
    }
    std::memcpy(buffer.data, set.audio_buffer + set.audio_chunk_offset[frame], length);
    apply_gain(gain, buffer.data, length, format);
}

}  // namespace kivra
