#include "decode/decoder_bank.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <iterator>

#include "decode/yv12_crop.h"
#include "format/gop_layout.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/buffer.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

namespace kivra {
namespace {

// Added to the level of everything FFmpeg says about one of the engine's decoders, so it lies
// beyond any level a log prints: a damaged recording makes the decoder complain about every
// broken macroblock, and the engine does not write into its host's stderr. This touches only
// the engine's own contexts; a host's FFmpeg logging and its callback stay as they are.
constexpr int kQuietLogLevelOffset = 2 * AV_LOG_TRACE;

}  // namespace

struct H264Decoder::State {
    AVCodecContext* context = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    // The unit's bytes with the zeroed tail the bitstream reader may touch. Kept between
    // units so decoding a frame allocates nothing for its input.
    AVBufferRef* input = nullptr;

    State() = default;
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ~State() {
        av_buffer_unref(&input);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&context);
    }

    bool open() {
        const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
        if (codec == nullptr) return false;
        context = avcodec_alloc_context3(codec);
        packet = av_packet_alloc();
        frame = av_frame_alloc();
        if (context == nullptr || packet == nullptr || frame == nullptr) return false;
        // Frame threads and reordering would hold pictures back; the parser needs each unit's
        // picture from the call that sent it.
        context->thread_count = 1;
        context->flags |= AV_CODEC_FLAG_LOW_DELAY;
        context->log_level_offset = kQuietLogLevelOffset;
        return avcodec_open2(context, codec, nullptr) == 0;
    }

    bool load(const uint8_t* data, size_t length) {
        const size_t needed = length + AV_INPUT_BUFFER_PADDING_SIZE;
        // The decoder drops its reference once the unit is decoded; should it ever keep one,
        // the old buffer stays with it and a fresh one takes its place.
        if (input == nullptr || input->size < needed || !av_buffer_is_writable(input)) {
            av_buffer_unref(&input);
            input = av_buffer_alloc(needed);
            if (input == nullptr) return false;
        }
        std::memcpy(input->data, data, length);
        std::memset(input->data + length, 0, AV_INPUT_BUFFER_PADDING_SIZE);
        packet->buf = av_buffer_ref(input);
        if (packet->buf == nullptr) return false;
        packet->data = input->data;
        packet->size = static_cast<int>(length);
        return true;
    }
};

H264Decoder::H264Decoder() = default;
H264Decoder::~H264Decoder() = default;

bool H264Decoder::init() {
    release();
    auto state = std::make_unique<State>();
    if (!state->open()) return false;
    state_ = std::move(state);
    return true;
}

void H264Decoder::release() {
    state_.reset();
}

bool H264Decoder::ready() const {
    return state_ != nullptr;
}

bool H264Decoder::decode(const uint8_t* data, size_t length, uint8_t* dest, size_t capacity,
                         fleet::format::DecodedPicture& out) {
    out = fleet::format::DecodedPicture{};
    if (state_ == nullptr || data == nullptr || length == 0 || dest == nullptr ||
        length > static_cast<size_t>(INT_MAX - AV_INPUT_BUFFER_PADDING_SIZE)) {
        return false;
    }
    State& s = *state_;
    if (!s.load(data, length)) {
        av_packet_unref(s.packet);
        return false;
    }
    // A unit the decoder rejects leaves the context usable; the next key frame decodes.
    avcodec_send_packet(s.context, s.packet);
    av_packet_unref(s.packet);

    bool decoded = false;
    if (avcodec_receive_frame(s.context, s.frame) == 0) {
        decoded = copy_cropped_yv12(*s.frame, dest, capacity, out);
        av_frame_unref(s.frame);
        // Anything more would block the next send; a unit shows one picture.
        while (avcodec_receive_frame(s.context, s.frame) == 0) av_frame_unref(s.frame);
    }
    return decoded;
}

DecoderBank::DecoderBank() {
    bool all = true;
    for (auto& decoder : decoders_) all = decoder.init() && all;
    ready_ = all;
}

// Recorders interleave channels frame by frame. Decoding in that order switches decoders at
// every picture, each time with its reference pictures gone from the cache; one channel at a
// time, a D1 GOP decodes about a third faster. The pictures go straight to where parse_gop
// puts them, so parse_gop only collects the results.
int DecoderBank::parse(const uint8_t* gop, size_t length, FrameSet& out, ChannelSizes* sizes) {
    if (!ready_) return fleet::format::kParseRejected;
    std::lock_guard<std::mutex> hold(lock_);
    decode_ahead(gop, length, out);
    std::fill(std::begin(asked_), std::end(asked_), 0);
    sizes_ = ChannelSizes{};
    answering_ = true;
    const int result = fleet::format::parse_gop(gop, length, this, out);
    answering_ = false;
    if (sizes != nullptr) *sizes = sizes_;
    return result;
}

// Places pictures as parse_gop does: each right after the one before in its channel's buffer,
// and one that failed or did not fit takes no room.
void DecoderBank::decode_ahead(const uint8_t* gop, size_t length, FrameSet& out) {
    std::fill(std::begin(ahead_count_), std::end(ahead_count_), 0);
    const auto layout = fleet::format::gop_layout(gop, length);
    if (!layout) return;
    fleet::format::for_each_frame_record(
        gop, *layout, [&](const fleet::format::FrameRecordView& f) {
            if (f.channel >= KIVRA_MAX_CHANNELS || f.index >= KIVRA_MAX_FRAMES) return;
            ahead_[f.channel][f.index] = Ahead{f.data, f.length, nullptr, 0, false, {}};
            ahead_count_[f.channel] = f.index + 1;
        });
    for (int c = 0; c < KIVRA_MAX_CHANNELS; ++c) {
        size_t offset = 0;
        for (int k = 0; k < ahead_count_[c]; ++k) {
            Ahead& a = ahead_[c][k];
            a.dest = out.picture_buffer[c] + offset;
            a.capacity = KIVRA_PICTURE_CAPACITY - offset;
            a.decoded = decoders_[c].decode(a.data, a.length, a.dest, a.capacity, a.picture);
            if (a.decoded && a.picture.size > 0 &&
                static_cast<size_t>(a.picture.size) <= a.capacity) {
                offset += static_cast<size_t>(a.picture.size);
            }
        }
    }
}

bool DecoderBank::decode(int channel, const uint8_t* data, size_t length, uint8_t* dest,
                         size_t capacity, fleet::format::DecodedPicture& out) {
    if (channel < 0 || channel >= KIVRA_MAX_CHANNELS) {
        out = fleet::format::DecodedPicture{};
        return false;
    }
    bool decoded = false;
    const Ahead* ahead = nullptr;
    if (answering_ && asked_[channel] < ahead_count_[channel]) {
        ahead = &ahead_[channel][asked_[channel]++];
        // Placed differently from what decode_ahead assumed: decode what was asked for.
        if (ahead->data != data || ahead->length != length || ahead->dest != dest ||
            ahead->capacity != capacity) {
            ahead = nullptr;
        }
    }
    if (ahead != nullptr) {
        out = ahead->picture;
        decoded = ahead->decoded;
    } else {
        decoded = decoders_[channel].decode(data, length, dest, capacity, out);
    }
    if (decoded && out.size > 0) sizes_[static_cast<size_t>(channel)] = {out.width, out.height};
    return decoded;
}

}  // namespace kivra
