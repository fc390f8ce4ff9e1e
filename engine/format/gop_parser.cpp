#include "format/gop_parser.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "common/le.h"
#include "format/frame_set.h"
#include "format/gop_header.h"
#include "format/info_block.h"

namespace kivra {
namespace {

// Frame counts are kept for every channel number the 4-bit field can name, so N is right
// even when the last frame record belongs to a channel the FrameSet cannot hold.
constexpr int kChannelField = 16;

struct FrameWalk {
    std::array<int, kChannelField> count{};
    int last_channel = -1;
};

void store_picture(const GopHeader& frame, const uint8_t* payload, int channel, int k,
                   FrameDecoder* decoder, FrameSet& out) {
    int32_t offset = 0;
    if (k > 0) offset = out.picture_offset[channel][k - 1] + out.picture_size[channel][k - 1];
    out.picture_offset[channel][k] = offset;
    out.picture_size[channel][k] = 0;
    if (frame.is_key_frame()) out.key_frame_index[channel] = k;
    if (decoder == nullptr || offset >= KIVRA_PICTURE_CAPACITY) return;

    DecodedPicture picture;
    size_t capacity = static_cast<size_t>(KIVRA_PICTURE_CAPACITY - offset);
    if (!decoder->decode(channel, payload, frame.data_length(),
                         out.picture_buffer[channel] + offset, capacity, picture) ||
        picture.size <= 0 || static_cast<size_t>(picture.size) > capacity) {
        return;
    }
    out.picture_size[channel][k] = picture.size;
    out.picture_width = picture.width;
    out.picture_height = picture.height;
}

// Walks the frame records in [0, frame_end). False when a record's data runs past it.
bool walk_frames(const uint8_t* data, size_t frame_end, FrameDecoder* decoder, FrameSet& out,
                 FrameWalk& walk) {
    size_t pos = 0;
    for (;;) {
        GopHeader frame = GopHeader::read(data + pos);
        size_t payload = pos + kGopHeaderSize;
        if (!fleet::fits(frame_end, payload, frame.data_length())) return false;
        int c = frame.channel();
        int k = walk.count[c]++;
        walk.last_channel = c;
        if (c < KIVRA_MAX_CHANNELS && k < KIVRA_MAX_FRAMES) {
            out.present[c] = 1;
            store_picture(frame, data + payload, c, k, decoder, out);
        }
        pos = payload + frame.data_length();
        if (!fleet::fits(frame_end, pos, kGopHeaderSize) || fleet::load_u32(data + pos) != kGopMagic) {
            return true;
        }
    }
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
    auto header = read_gop_header(data, length);
    if (!header) return kParseRejected;
    const GopHeader& h = *header;
    size_t total = h.total_length();
    if (total < kGopHeaderSize || length < total || h.version() > kMaxStreamVersion) {
        return kParseRejected;
    }
    // Audio and info lengths are checked against the GOP before anything is read.
    uint64_t tail = uint64_t{h.audio_length()} + h.info_length();
    if (tail > total - kGopHeaderSize) return kParseRejected;
    size_t frame_end = total - static_cast<size_t>(tail);

    reset_frame_set(out);
    out.channel_count = h.channel_count();
    out.audio_sample_bits = h.audio_sample_bits();
    out.audio_sample_rate = h.audio_sample_rate();
    out.gop_time = h.time();

    int frames = h.default_frames_per_channel();
    bool keep_gop_audio = h.audio_length() != 0;
    if (frame_end != kGopHeaderSize) {
        FrameWalk walk;
        if (!walk_frames(data, frame_end, decoder, out, walk)) return kParseRejected;
        frames = walk.count[walk.last_channel];
        if (frames != h.announced_frames_per_channel()) keep_gop_audio = false;
        if (frames > KIVRA_MAX_FRAMES) {
            frames = KIVRA_MAX_FRAMES;
            keep_gop_audio = false;
        }
    }
    out.frames_per_channel = frames;

    if (keep_gop_audio) {
        out.has_audio = keep_audio(data + frame_end, h.audio_length(), h, frames, out) ? 1 : 0;
    }
    if (h.info_length() != 0) {
        InfoContext context{h.version(), h.version() == 3 && h.channel_code() == 3, frames};
        parse_info_block(data + frame_end + h.audio_length(), h.info_length(), context, out);
    }
    out.state = KIVRA_FRAMESET_READY;
    out.current_frame = 0;
    return kParseOk;
}

}  // namespace kivra
