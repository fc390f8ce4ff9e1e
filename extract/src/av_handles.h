// Owning handles for the libav objects the writers hold, freed by their own functions.
#pragma once

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
}

#include <string>

namespace ombrel {

struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct CodecFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FilterFree {
    void operator()(AVBSFContext* b) const { av_bsf_free(&b); }
};

using Packet = std::unique_ptr<AVPacket, PacketFree>;
using Frame = std::unique_ptr<AVFrame, FrameFree>;
using CodecContext = std::unique_ptr<AVCodecContext, CodecFree>;
using BitstreamFilter = std::unique_ptr<AVBSFContext, FilterFree>;

inline std::string av_text(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

}  // namespace ombrel
