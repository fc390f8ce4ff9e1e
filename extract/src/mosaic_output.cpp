#include "mosaic_output.h"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

namespace ombrel {
namespace {

// Fast enough to keep up with an export of eight channels, at a quality where the cells stay
// close to what the viewer shows.
constexpr const char* kPreset = "veryfast";
constexpr const char* kConstantQuality = "20";

AVCodecID pcm_codec(int bits) {
    switch (bits) {
        case 8:
            return AV_CODEC_ID_PCM_U8;  // 8-bit samples are unsigned, as the engine plays them
        case 32:
            return AV_CODEC_ID_PCM_S32LE;
        default:
            return AV_CODEC_ID_PCM_S16LE;
    }
}

std::string av_text(int av_error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(av_error, text, sizeof text);
    return text;
}

}  // namespace

MosaicOutput::~MosaicOutput() {
    close();
}

bool MosaicOutput::fail(const std::string& what, int av_error) {
    error_ = av_error == 0 ? what : what + ": " + av_text(av_error);
    return false;
}

bool MosaicOutput::open(const std::string& path, const MosaicVideoFormat& video,
                        const MosaicAudioFormat& audio) {
    int r = avformat_alloc_output_context2(&muxer_, nullptr, "avi", path.c_str());
    if (r < 0) return fail("cannot prepare the AVI file", r);
    packet_ = av_packet_alloc();
    if (packet_ == nullptr) return fail("out of memory", 0);
    if (!open_encoder(video)) return false;
    if (audio.usable() && !add_audio_stream(audio)) return false;
    if ((r = avio_open(&muxer_->pb, path.c_str(), AVIO_FLAG_WRITE)) < 0)
        return fail("cannot open " + path, r);
    if ((r = avformat_write_header(muxer_, nullptr)) < 0)
        return fail("cannot write the AVI header", r);
    return true;
}

bool MosaicOutput::open_encoder(const MosaicVideoFormat& video) {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (codec == nullptr) return fail("this FFmpeg has no libx264 encoder", 0);
    encoder_ = avcodec_alloc_context3(codec);
    video_ = avformat_new_stream(muxer_, nullptr);
    if (encoder_ == nullptr || video_ == nullptr) return fail("out of memory", 0);
    encoder_->width = video.width;
    encoder_->height = video.height;
    encoder_->pix_fmt = AV_PIX_FMT_YUV420P;
    encoder_->time_base = AVRational{1, video.frames_per_second};
    encoder_->framerate = AVRational{video.frames_per_second, 1};
    encoder_->gop_size = video.frames_per_second;  // a key frame every second, for seeking
    encoder_->max_b_frames = 0;  // AVI keeps no presentation times to reorder frames by
    encoder_->thread_count = 0;
    // libx264's statistics at the end of every export would only fill the host's log;
    // warnings and errors still show.
    encoder_->log_level_offset = AV_LOG_VERBOSE - AV_LOG_INFO;
    av_opt_set(encoder_->priv_data, "preset", kPreset, 0);
    av_opt_set(encoder_->priv_data, "crf", kConstantQuality, 0);
    int r = avcodec_open2(encoder_, codec, nullptr);
    if (r < 0) return fail("cannot open the H.264 encoder", r);
    if ((r = avcodec_parameters_from_context(video_->codecpar, encoder_)) < 0)
        return fail("cannot describe the video stream", r);
    video_->time_base = encoder_->time_base;
    video_->avg_frame_rate = encoder_->framerate;
    video_->r_frame_rate = encoder_->framerate;
    return true;
}

bool MosaicOutput::add_audio_stream(const MosaicAudioFormat& audio) {
    audio_ = avformat_new_stream(muxer_, nullptr);
    if (audio_ == nullptr) return fail("out of memory", 0);
    AVCodecParameters* p = audio_->codecpar;
    p->codec_type = AVMEDIA_TYPE_AUDIO;
    p->codec_id = pcm_codec(audio.sample_bits);
    p->sample_rate = audio.sample_rate;
    p->bits_per_coded_sample = audio.sample_bits;
    p->block_align = audio.bytes_per_sample();
    p->bit_rate = int64_t{audio.sample_rate} * audio.sample_bits;
    av_channel_layout_default(&p->ch_layout, 1);
    audio_->time_base = AVRational{1, audio.sample_rate};
    audio_block_ = audio.bytes_per_sample();
    return true;
}

bool MosaicOutput::write_picture(AVFrame* picture) {
    picture->pts = pictures_++;
    const int r = avcodec_send_frame(encoder_, picture);
    if (r < 0) return fail("cannot encode a picture", r);
    return drain_encoder();
}

bool MosaicOutput::drain_encoder() {
    for (;;) {
        int r = avcodec_receive_packet(encoder_, packet_);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
        if (r < 0) return fail("cannot encode a picture", r);
        av_packet_rescale_ts(packet_, encoder_->time_base, video_->time_base);
        packet_->stream_index = video_->index;
        if ((r = av_interleaved_write_frame(muxer_, packet_)) < 0)
            return fail("cannot write to the AVI file", r);
    }
}

bool MosaicOutput::write_audio(const uint8_t* bytes, size_t length) {
    if (audio_ == nullptr || length == 0) return true;
    int r = av_new_packet(packet_, static_cast<int>(length));
    if (r < 0) return fail("out of memory", r);
    std::copy(bytes, bytes + length, packet_->data);
    const int64_t samples = static_cast<int64_t>(length) / audio_block_;
    packet_->pts = packet_->dts = samples_;
    packet_->duration = samples;
    packet_->stream_index = audio_->index;
    av_packet_rescale_ts(packet_, AVRational{1, audio_->codecpar->sample_rate}, audio_->time_base);
    samples_ += samples;
    if ((r = av_interleaved_write_frame(muxer_, packet_)) < 0)
        return fail("cannot write to the AVI file", r);
    return true;
}

bool MosaicOutput::finish() {
    int r = avcodec_send_frame(encoder_, nullptr);
    if (r < 0) return fail("cannot end the H.264 stream", r);
    if (!drain_encoder()) return false;
    if ((r = av_write_trailer(muxer_)) < 0) return fail("cannot write the AVI index", r);
    r = avio_closep(&muxer_->pb);
    if (r < 0) return fail("cannot close the AVI file", r);
    close();
    return true;
}

void MosaicOutput::close() {
    if (muxer_ != nullptr && muxer_->pb != nullptr) avio_closep(&muxer_->pb);
    avformat_free_context(muxer_);
    muxer_ = nullptr;
    video_ = audio_ = nullptr;
    avcodec_free_context(&encoder_);
    av_packet_free(&packet_);
}

}  // namespace ombrel
