#include "report/png_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace fleet {
namespace {

struct CodecContextFree {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerFree {
    void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};

// The PNG encoder takes RGB24 but not BGR0.
bool to_rgb(const uint8_t* bgrx, int stride, AVFrame& frame) {
    std::unique_ptr<SwsContext, ScalerFree> scaler(
        sws_getContext(frame.width, frame.height, AV_PIX_FMT_BGR0, frame.width, frame.height,
                       AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr, nullptr));
    if (!scaler) return false;
    const uint8_t* const source[4] = {bgrx, nullptr, nullptr, nullptr};
    const int source_strides[4] = {stride, 0, 0, 0};
    return sws_scale(scaler.get(), source, source_strides, 0, frame.height, frame.data,
                     frame.linesize) == frame.height;
}

bool encode(AVCodecContext& context, const AVFrame* frame, AVPacket& packet,
            std::vector<uint8_t>& out) {
    if (avcodec_send_frame(&context, frame) < 0) return false;
    for (;;) {
        int result = avcodec_receive_packet(&context, &packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
        if (result < 0) return false;
        out.insert(out.end(), packet.data, packet.data + packet.size);
        av_packet_unref(&packet);
    }
}

Result<std::vector<uint8_t>> encode_png(const uint8_t* bgrx, int width, int height, int stride) {
    if (!bgrx || width <= 0 || height <= 0 || stride < width * 4) {
        return fail("no picture to write (" + std::to_string(width) + "x" + std::to_string(height) +
                    ", stride " + std::to_string(stride) + ")");
    }
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_PNG);
    if (!codec) return fail("libavcodec has no PNG encoder");
    std::unique_ptr<AVCodecContext, CodecContextFree> context(avcodec_alloc_context3(codec));
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    if (!context || !frame || !packet) return fail("out of memory");
    context->width = width;
    context->height = height;
    context->pix_fmt = AV_PIX_FMT_RGB24;
    context->time_base = AVRational{1, 1};
    if (avcodec_open2(context.get(), codec, nullptr) < 0) {
        return fail("the PNG encoder did not open");
    }

    frame->format = AV_PIX_FMT_RGB24;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame.get(), 0) < 0 || !to_rgb(bgrx, stride, *frame)) {
        return fail("converting the picture to RGB failed");
    }
    std::vector<uint8_t> png;
    if (!encode(*context, frame.get(), *packet, png) || !encode(*context, nullptr, *packet, png) ||
        png.empty()) {
        return fail("PNG encoding failed");
    }
    return png;
}

}  // namespace

Status write_png(const std::string& path, const uint8_t* bgrx, int width, int height, int stride) {
    auto png = encode_png(bgrx, width, height, stride);
    if (!png) return fail(path + ": " + png.error().message);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return fail("cannot create " + path + ": " + std::strerror(errno));
    bool written = std::fwrite(png->data(), 1, png->size(), file) == png->size();
    int error = errno;
    if (std::fclose(file) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        std::remove(path.c_str());
        return fail("cannot write " + path + ": " + std::strerror(error));
    }
    return {};
}

}  // namespace fleet
