#include "dvrsim/h264_encoder.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
}

namespace dvrsim {
namespace {

std::string av_error_text(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof(text));
    return text;
}

fleet::Status check_settings(const EncoderSettings& s) {
    if (s.width <= 0 || s.height <= 0 || s.width % 2 != 0 || s.height % 2 != 0) {
        return fleet::fail("picture size must be positive and even");
    }
    if (s.frames_per_gop <= 0) return fleet::fail("frames_per_gop must be positive");
    if (s.fps <= 0) return fleet::fail("fps must be positive");
    return {};
}

// Key frames come only where the caller forces them (keyint matches the GOP and scene cuts
// are off); no B-frames, lookahead or frame threads, so each picture comes out at once and
// the bytes do not depend on scheduling.
std::string x264_params(int frames_per_gop) {
    const std::string gop = std::to_string(frames_per_gop);
    return "keyint=" + gop + ":min-keyint=" + gop +
           ":scenecut=0:bframes=0:rc-lookahead=0:sync-lookahead=0"
           ":repeat-headers=1:threads=1:sliced-threads=0";
}

AVDictionary* encoder_options(int frames_per_gop) {
    AVDictionary* options = nullptr;
    av_dict_set(&options, "preset", "veryfast", 0);
    av_dict_set(&options, "tune", "zerolatency", 0);
    av_dict_set(&options, "profile", "baseline", 0);
    av_dict_set(&options, "crf", "28", 0);
    av_dict_set(&options, "forced-idr", "1", 0);
    av_dict_set(&options, "x264-params", x264_params(frames_per_gop).c_str(), 0);
    return options;
}

// Options the encoder did not consume are typos or a wrapper that changed; either way the
// output would silently differ from what the recordings promise.
std::string unused_options(const AVDictionary* options) {
    std::string names;
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = av_dict_get(options, "", entry, AV_DICT_IGNORE_SUFFIX)) != nullptr) {
        names += names.empty() ? "" : ", ";
        names += entry->key;
    }
    return names;
}

void configure(AVCodecContext* context, const EncoderSettings& s) {
    context->width = s.width;
    context->height = s.height;
    context->pix_fmt = AV_PIX_FMT_YUV420P;
    context->time_base = AVRational{1, s.fps};
    context->framerate = AVRational{s.fps, 1};
    context->gop_size = s.frames_per_gop;
    context->keyint_min = s.frames_per_gop;
    context->max_b_frames = 0;
    context->thread_count = 1;
}

void copy_plane(const uint8_t* source, int width, int height, uint8_t* target, int stride) {
    for (int row = 0; row < height; ++row) {
        std::memcpy(target + static_cast<ptrdiff_t>(row) * stride,
                    source + static_cast<ptrdiff_t>(row) * width, static_cast<size_t>(width));
    }
}

}  // namespace

H264Encoder::~H264Encoder() {
    close();
}

void H264Encoder::close() {
    avcodec_free_context(&context_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    next_pts_ = 0;
}

fleet::Status H264Encoder::open(const EncoderSettings& settings) {
    close();
    if (auto checked = check_settings(settings); !checked) return checked;
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (codec == nullptr) return fleet::fail("libavcodec was built without the libx264 encoder");

    context_ = avcodec_alloc_context3(codec);
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (context_ == nullptr || frame_ == nullptr || packet_ == nullptr) {
        close();
        return fleet::fail("out of memory");
    }
    configure(context_, settings);

    AVDictionary* options = encoder_options(settings.frames_per_gop);
    const int rc = avcodec_open2(context_, codec, &options);
    const std::string unused = unused_options(options);
    av_dict_free(&options);
    if (rc < 0) {
        close();
        return fleet::fail("opening libx264 failed: " + av_error_text(rc));
    }
    if (!unused.empty()) {
        close();
        return fleet::fail("libx264 did not accept the options: " + unused);
    }

    frame_->format = AV_PIX_FMT_YUV420P;
    frame_->width = settings.width;
    frame_->height = settings.height;
    if (const int frame_rc = av_frame_get_buffer(frame_, 0); frame_rc < 0) {
        close();
        return fleet::fail("allocating the picture failed: " + av_error_text(frame_rc));
    }
    return {};
}

fleet::Status H264Encoder::load_picture(const uint8_t* yuv420p) {
    if (yuv420p == nullptr) return fleet::fail("no picture given");
    if (const int rc = av_frame_make_writable(frame_); rc < 0) {
        return fleet::fail("picture buffer not writable: " + av_error_text(rc));
    }
    const int width = frame_->width;
    const int height = frame_->height;
    const int chroma_width = width / 2;
    const int chroma_height = height / 2;
    const uint8_t* u = yuv420p + static_cast<ptrdiff_t>(width) * height;
    const uint8_t* v = u + static_cast<ptrdiff_t>(chroma_width) * chroma_height;
    copy_plane(yuv420p, width, height, frame_->data[0], frame_->linesize[0]);
    copy_plane(u, chroma_width, chroma_height, frame_->data[1], frame_->linesize[1]);
    copy_plane(v, chroma_width, chroma_height, frame_->data[2], frame_->linesize[2]);
    return {};
}

fleet::Result<std::vector<uint8_t>> H264Encoder::encode(const uint8_t* yuv420p, bool force_key) {
    using fleet::fail;
    if (context_ == nullptr) return fail("encoder is not open");
    if (next_pts_ == 0 && !force_key) return fail("the first picture must be a key frame");
    if (auto loaded = load_picture(yuv420p); !loaded) return loaded.error();

    frame_->pict_type = force_key ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    frame_->pts = next_pts_++;
    if (const int rc = avcodec_send_frame(context_, frame_); rc < 0) {
        return fail("sending the picture failed: " + av_error_text(rc));
    }
    const int rc = avcodec_receive_packet(context_, packet_);
    if (rc == AVERROR(EAGAIN)) return fail("libx264 held the picture back");
    if (rc < 0) return fail("receiving the access unit failed: " + av_error_text(rc));

    std::vector<uint8_t> access_unit(packet_->data, packet_->data + packet_->size);
    const bool is_key = (packet_->flags & AV_PKT_FLAG_KEY) != 0;
    av_packet_unref(packet_);
    if (is_key != force_key) {
        return fail(is_key ? "libx264 made a key frame that was not asked for"
                           : "libx264 ignored a forced key frame");
    }
    return access_unit;
}

}  // namespace dvrsim
