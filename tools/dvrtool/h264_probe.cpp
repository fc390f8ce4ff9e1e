#include "h264_probe.h"

#include <cstring>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

namespace dvrtool {
namespace {

struct ContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};

using Context = std::unique_ptr<AVCodecContext, ContextFree>;
using Packet = std::unique_ptr<AVPacket, PacketFree>;
using Frame = std::unique_ptr<AVFrame, FrameFree>;

Context open_decoder() {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (codec == nullptr) return nullptr;
    Context context(avcodec_alloc_context3(codec));
    if (!context || avcodec_open2(context.get(), codec, nullptr) < 0) return nullptr;
    return context;
}

// av_new_packet adds the zeroed padding the bitstream reader may over-read into.
Packet packet_of(const uint8_t* data, size_t length) {
    Packet packet(av_packet_alloc());
    if (!packet || length > INT32_MAX ||
        av_new_packet(packet.get(), static_cast<int>(length)) < 0) {
        return nullptr;
    }
    std::memcpy(packet->data, data, length);
    return packet;
}

}  // namespace

std::optional<PictureSize> decoded_picture_size(const uint8_t* data, size_t length) {
    // A unit that does not decode is an answer ("unknown"), not something to log.
    av_log_set_level(AV_LOG_QUIET);
    Context context = open_decoder();
    Packet packet = packet_of(data, length);
    Frame frame(av_frame_alloc());
    if (!context || !packet || !frame || length == 0) return std::nullopt;
    if (avcodec_send_packet(context.get(), packet.get()) < 0) return std::nullopt;
    avcodec_send_packet(context.get(), nullptr);  // drain: the one unit is all there is
    if (avcodec_receive_frame(context.get(), frame.get()) < 0) return std::nullopt;
    if (frame->width <= 0 || frame->height <= kRecorderBandRows) return std::nullopt;
    return PictureSize{frame->width, frame->height - kRecorderBandRows};
}

}  // namespace dvrtool
