#include "format/gop_parser.h"

#include <algorithm>
#include <cstring>

#include "common/le.h"
#include "format/frame_set.h"
#include "format/gop_header.h"
#include "format/gop_layout.h"
#include "format/info_block.h"

namespace fleet::format {
namespace {

void store_picture(const FrameRecordView& frame, FrameDecoder* decoder, FrameSet& out) {
    int c = frame.channel, k = frame.index;
    int32_t offset = 0;
    if (k > 0) offset = out.picture_offset[c][k - 1] + out.picture_size[c][k - 1];
    out.picture_offset[c][k] = offset;
    out.picture_size[c][k] = 0;
    if (frame.key) out.key_frame_index[c] = k;
    if (decoder == nullptr || offset >= KIVRA_PICTURE_CAPACITY) return;

    DecodedPicture picture;
    size_t capacity = static_cast<size_t>(KIVRA_PICTURE_CAPACITY - offset);
    if (!decoder->decode(c, frame.data, frame.length, out.picture_buffer[c] + offset, capacity,
                         picture) ||
        picture.size <= 0 || static_cast<size_t>(picture.size) > capacity) {
        return;
    }
    out.picture_size[c][k] = picture.size;
    out.picture_width = picture.width;
    out.picture_height = picture.height;
}

// Keeps the audio of the second interleaved channel (or the only one) and cuts it into one
// chunk per video frame. Returns false when the GOP must play without audio.
bool keep_audio(const uint8_t* block, size_t length, const GopHeader& h, int frames,
                FrameSet& out) {
    if (frames <= 0) return false;
    size_t s = static_cast<size_t>(h.audio_sample_bits() / 8);
    size_t channels = static_cast<size_t>(h.audio_channels());
    size_t kept = channels == 1 ? length : length / s / channels * s;
    if (kept > KIVRA_AUDIO_CAPACITY) return false;
    if (channels == 1) {
        std::memcpy(out.audio_buffer, block, kept);
    } else {
        const uint8_t* sample = block + s;
        for (size_t i = 0; i < kept; i += s, sample += s * channels) {
            std::memcpy(out.audio_buffer + i, sample, s);
        }
    }
    size_t chunk = kept / static_cast<size_t>(frames) / s * s;
    for (int i = 0; i < frames; ++i) {
        out.audio_chunk_offset[i] = static_cast<int32_t>(static_cast<size_t>(i) * chunk);
        out.audio_chunk_length[i] = static_cast<int32_t>(chunk);
    }
    out.audio_chunk_length[frames - 1] =
        static_cast<int32_t>(kept - static_cast<size_t>(frames - 1) * chunk);
    return true;
}

}  // namespace

int parse_gop(const uint8_t* data, size_t length, FrameDecoder* decoder, FrameSet& out) {
    auto layout = gop_layout(data, length);
    if (!layout) return kParseRejected;
    const GopHeader& h = layout->header;

    reset_frame_set(out);
    out.channel_count = h.channel_count();
    out.audio_sample_bits = h.audio_sample_bits();
    out.audio_sample_rate = h.audio_sample_rate();
    out.gop_time = h.time();

    int frames = h.default_frames_per_channel();
    bool keep_gop_audio = h.audio_length() != 0;
    if (layout->has_frame_data()) {
        // Records of channels 8-15 and frames past the 16th are counted but not kept.
        frames = for_each_frame_record(data, *layout, [&](const FrameRecordView& frame) {
            if (frame.channel >= KIVRA_MAX_CHANNELS || frame.index >= KIVRA_MAX_FRAMES) return;
            out.present[frame.channel] = 1;
            store_picture(frame, decoder, out);
        });
        if (frames < 0) return kParseRejected;
        if (frames != h.announced_frames_per_channel()) keep_gop_audio = false;
        if (frames > KIVRA_MAX_FRAMES) {
            frames = KIVRA_MAX_FRAMES;
            keep_gop_audio = false;
        }
    }
    out.frames_per_channel = frames;

    if (keep_gop_audio) {
        out.has_audio =
            keep_audio(data + layout->frame_end, h.audio_length(), h, frames, out) ? 1 : 0;
    }
    if (h.info_length() != 0) {
        InfoContext context{h.version(), h.version() == 3 && h.channel_code() == 3, frames};
        parse_info_block(data + layout->info_offset, h.info_length(), context, out);
    }
    if (out.frames_per_channel == 0) out.frames_per_channel = kFramesWhenNoneAnnounced;
    out.state = KIVRA_FRAMESET_READY;
    out.current_frame = 0;
    return kParseOk;
}

}  // namespace fleet::format
