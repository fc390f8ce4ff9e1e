#include "audio_track.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "av_handles.h"

namespace ombrel {
namespace {

constexpr int64_t kAacBitRate = 64000;

// Packets carry their time in `from`; the muxer wants its stream's time base.
bool send_packet(AVFormatContext& muxer, const AVStream& stream, AVRational from, AVPacket& packet,
                 std::string& error) {
    av_packet_rescale_ts(&packet, from, stream.time_base);
    packet.stream_index = stream.index;
    const int status = av_interleaved_write_frame(&muxer, &packet);
    if (status < 0) error = "audio: " + av_text(status);
    return status >= 0;
}

class PcmTrack : public AudioTrack {
  public:
    explicit PcmTrack(const PcmFormat& format) : format_(format) {}

    bool open(const AVOutputFormat& /*container*/, std::string& /*error*/) override { return true; }

    bool add_stream(AVFormatContext& muxer, std::string& error) override {
        stream_ = avformat_new_stream(&muxer, nullptr);
        if (stream_ == nullptr) {
            error = "audio: no stream";
            return false;
        }
        AVCodecParameters& par = *stream_->codecpar;
        par.codec_type = AVMEDIA_TYPE_AUDIO;
        par.codec_id = format_.bits == 8 ? AV_CODEC_ID_PCM_U8 : AV_CODEC_ID_PCM_S16LE;
        par.sample_rate = format_.rate;
        av_channel_layout_default(&par.ch_layout, 1);
        par.bits_per_coded_sample = format_.bits;
        par.block_align = format_.sample_bytes();
        par.bit_rate = int64_t{format_.rate} * format_.bits;
        stream_->time_base = time_base();
        return true;
    }

    bool write(AVFormatContext& muxer, const uint8_t* pcm, size_t bytes,
               std::string& error) override {
        if (bytes == 0) return true;
        Packet packet(av_packet_alloc());
        if (!packet || av_new_packet(packet.get(), static_cast<int>(bytes)) < 0) {
            error = "audio: out of memory";
            return false;
        }
        std::memcpy(packet->data, pcm, bytes);
        const auto samples =
            static_cast<int64_t>(bytes / static_cast<size_t>(format_.sample_bytes()));
        packet->pts = packet->dts = samples_;
        packet->duration = samples;
        packet->flags |= AV_PKT_FLAG_KEY;
        samples_ += samples;
        return send_packet(muxer, *stream_, time_base(), *packet, error);
    }

    bool flush(AVFormatContext& /*muxer*/, std::string& /*error*/) override { return true; }

  private:
    AVRational time_base() const { return AVRational{1, format_.rate}; }

    PcmFormat format_;
    AVStream* stream_ = nullptr;
    int64_t samples_ = 0;
};

float sample_value(const PcmFormat& format, const uint8_t* p) {
    if (format.bits == 8) return (static_cast<float>(p[0]) - 128.0f) / 128.0f;
    const auto v = static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
    return static_cast<float>(v) / 32768.0f;
}

class AacTrack : public AudioTrack {
  public:
    explicit AacTrack(const PcmFormat& format) : format_(format) {}

    bool open(const AVOutputFormat& container, std::string& error) override {
        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
        encoder_.reset(codec ? avcodec_alloc_context3(codec) : nullptr);
        if (!encoder_) {
            error = "audio: no AAC encoder";
            return false;
        }
        encoder_->sample_fmt = AV_SAMPLE_FMT_FLTP;
        encoder_->sample_rate = format_.rate;
        av_channel_layout_default(&encoder_->ch_layout, 1);
        encoder_->bit_rate = kAacBitRate;
        encoder_->time_base = AVRational{1, format_.rate};
        if (container.flags & AVFMT_GLOBALHEADER) encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        const int status = avcodec_open2(encoder_.get(), codec, nullptr);
        if (status < 0) {
            error = "audio: AAC at " + std::to_string(format_.rate) + " Hz: " + av_text(status);
            return false;
        }
        return true;
    }

    bool add_stream(AVFormatContext& muxer, std::string& error) override {
        stream_ = avformat_new_stream(&muxer, nullptr);
        const int status = stream_ == nullptr
                               ? AVERROR(ENOMEM)
                               : avcodec_parameters_from_context(stream_->codecpar, encoder_.get());
        if (status < 0) {
            error = "audio: " + av_text(status);
            return false;
        }
        stream_->time_base = encoder_->time_base;
        return true;
    }

    bool write(AVFormatContext& muxer, const uint8_t* pcm, size_t bytes,
               std::string& error) override {
        const auto step = static_cast<size_t>(format_.sample_bytes());
        for (size_t i = 0; i + step <= bytes; i += step) {
            held_.push_back(sample_value(format_, pcm + i));
        }
        const auto frame_size = static_cast<size_t>(encoder_->frame_size);
        size_t used = 0;
        for (; held_.size() - used >= frame_size; used += frame_size) {
            if (!encode(muxer, held_.data() + used, frame_size, error)) return false;
        }
        held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(used));
        return true;
    }

    bool flush(AVFormatContext& muxer, std::string& error) override {
        if (!held_.empty()) {
            // Without small last frames the encoder takes whole frames: pad with silence.
            if (!(encoder_->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME)) {
                held_.resize(static_cast<size_t>(encoder_->frame_size), 0.0f);
            }
            if (!encode(muxer, held_.data(), held_.size(), error)) return false;
            held_.clear();
        }
        return send(muxer, nullptr, error);
    }

  private:
    bool encode(AVFormatContext& muxer, const float* samples, size_t count, std::string& error) {
        Frame frame(av_frame_alloc());
        if (!frame) {
            error = "audio: out of memory";
            return false;
        }
        frame->format = AV_SAMPLE_FMT_FLTP;
        frame->sample_rate = format_.rate;
        frame->nb_samples = static_cast<int>(count);
        av_channel_layout_default(&frame->ch_layout, 1);
        if (av_frame_get_buffer(frame.get(), 0) < 0) {
            error = "audio: out of memory";
            return false;
        }
        std::memcpy(frame->data[0], samples, count * sizeof(float));
        frame->pts = samples_;
        samples_ += static_cast<int64_t>(count);
        return send(muxer, frame.get(), error);
    }

    // Sends one frame (null: the end) and writes every packet the encoder gives back.
    bool send(AVFormatContext& muxer, const AVFrame* frame, std::string& error) {
        int status = avcodec_send_frame(encoder_.get(), frame);
        Packet packet(av_packet_alloc());
        while (status >= 0 && packet) {
            status = avcodec_receive_packet(encoder_.get(), packet.get());
            if (status >= 0 && !send_packet(muxer, *stream_, encoder_->time_base, *packet, error)) {
                return false;
            }
        }
        if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return true;
        error = "audio: AAC: " + (status < 0 ? av_text(status) : "out of memory");
        return false;
    }

    PcmFormat format_;
    CodecContext encoder_;
    AVStream* stream_ = nullptr;
    std::vector<float> held_;
    int64_t samples_ = 0;
};

}  // namespace

std::unique_ptr<AudioTrack> make_pcm_track(const PcmFormat& format) {
    return std::make_unique<PcmTrack>(format);
}

std::unique_ptr<AudioTrack> make_aac_track(const PcmFormat& format) {
    return std::make_unique<AacTrack>(format);
}

}  // namespace ombrel
