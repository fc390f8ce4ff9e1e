#include "streams.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "dvrsim/h264_encoder.h"
#include "dvrsim/picture_painter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
}

namespace decode_test {
namespace {

// Garbage units make the decoder complain on purpose; libx264 prints statistics on close.
const bool kQuietLibav = [] {
    av_log_set_level(AV_LOG_QUIET);
    return true;
}();

struct ContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

// Cut from FFmpeg's own contiguous copy rather than from the frame's planes, so the engine's
// plane walking is checked against an independent route.
Bytes crop_like_frame_set(const AVFrame& frame) {
    const int w = frame.width, h = frame.height;
    const int size = av_image_get_buffer_size(AV_PIX_FMT_YUV420P, w, h, 1);
    Bytes full(static_cast<size_t>(size));
    av_image_copy_to_buffer(full.data(), size, frame.data, frame.linesize, AV_PIX_FMT_YUV420P, w, h,
                            1);
    const size_t luma = static_cast<size_t>(w) * static_cast<size_t>(h);
    const size_t cw = static_cast<size_t>((w + 1) / 2), ch = static_cast<size_t>((h + 1) / 2);
    const auto u = full.begin() + static_cast<ptrdiff_t>(luma);
    const auto v = u + static_cast<ptrdiff_t>(cw * ch);
    const auto band = static_cast<ptrdiff_t>(8 * static_cast<size_t>(w));
    const auto chroma_band = static_cast<ptrdiff_t>(4 * cw);
    Bytes out(full.begin() + band, u);
    out.insert(out.end(), v + chroma_band, v + static_cast<ptrdiff_t>(cw * ch));
    out.insert(out.end(), u + chroma_band, v);
    return out;
}

}  // namespace

std::vector<Bytes> encode_channel(int channel, int width, int height, int gops,
                                  int frames_per_gop) {
    constexpr int kFps = 15;
    dvrsim::H264Encoder encoder;
    std::vector<Bytes> units;
    const fleet::Status opened = encoder.open({width, height, frames_per_gop, kFps});
    EXPECT_TRUE(opened) << opened.error().message;
    if (!opened) return units;
    Bytes picture(dvrsim::yuv420p_size(width, height));
    for (int i = 0; i < gops * frames_per_gop; ++i) {
        dvrsim::PictureContent content;
        content.channel = channel;
        content.frame_index = i;
        content.time = 1718000000u + static_cast<uint32_t>(i / kFps);
        content.frame_in_second = i % kFps;
        content.fps = kFps;
        dvrsim::paint_picture(picture.data(), width, height, content);
        auto unit = encoder.encode(picture.data(), i % frames_per_gop == 0);
        EXPECT_TRUE(unit) << unit.error().message;
        units.push_back(unit ? std::move(*unit) : Bytes{});
    }
    return units;
}

std::vector<Bytes> reference_pictures(const std::vector<Bytes>& units) {
    std::vector<Bytes> pictures;
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    std::unique_ptr<AVCodecContext, ContextFree> context(avcodec_alloc_context3(codec));
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    if (avcodec_open2(context.get(), codec, nullptr) != 0) {
        ADD_FAILURE() << "reference decoder did not open";
        return pictures;
    }
    const auto drain = [&] {
        while (avcodec_receive_frame(context.get(), frame.get()) == 0) {
            EXPECT_EQ(frame->format, AV_PIX_FMT_YUV420P);
            pictures.push_back(crop_like_frame_set(*frame));
            av_frame_unref(frame.get());
        }
    };
    for (const Bytes& unit : units) {
        if (av_new_packet(packet.get(), static_cast<int>(unit.size())) != 0) break;
        std::memcpy(packet->data, unit.data(), unit.size());
        EXPECT_EQ(avcodec_send_packet(context.get(), packet.get()), 0);
        av_packet_unref(packet.get());
        drain();
    }
    avcodec_send_packet(context.get(), nullptr);
    drain();
    return pictures;
}

Bytes garbage(size_t length, uint32_t seed) {
    Bytes bytes(length);
    uint32_t x = seed;
    for (auto& b : bytes) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(x >> 24 | 1);  // never 0: no start code can form
    }
    return bytes;
}

}  // namespace decode_test
