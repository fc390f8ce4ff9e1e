#include "channel_writer.h"

#include <unistd.h>

#include <algorithm>

#include "exclusive_file.h"
#include "job_outputs.h"
#include "writers.h"

extern "C" {
#include <libavutil/dict.h>
}

namespace ombrel {
namespace {

// Paths go through the file protocol explicitly: a ':' in a directory name is no protocol.
std::string file_url(const std::string& path) {
    return "file:" + path;
}

int gop_step(uint32_t earlier, uint32_t later) {
    const int64_t step = int64_t{later} - int64_t{earlier};
    return step >= 1 && step <= kMaxGopStepSeconds ? static_cast<int>(step) : 1;
}

}  // namespace

ChannelWriter::ChannelWriter(ChannelOutput output) : output_(std::move(output)) {}

ChannelWriter::~ChannelWriter() {
    if (!done_) discard();
}

bool ChannelWriter::open(std::string& error) {
    if (!create_exclusively(output_.path, error)) return false;
    created_ = true;
    const char* format = output_.container == Container::kMp4 ? "mp4" : "avi";
    const std::string url = file_url(output_.path);
    int status = avformat_alloc_output_context2(&muxer_, nullptr, format, url.c_str());
    if (status >= 0) status = avio_open(&muxer_->pb, url.c_str(), AVIO_FLAG_WRITE);
    if (status < 0) {
        error = output_.path + ": " + av_text(status);
        discard();
        return false;
    }
    if (!crop_.open(error)) {
        discard();
        return false;
    }
    audio_ = output_.container == Container::kMp4 ? make_aac_track(output_.sound)
                                                  : make_pcm_track(output_.sound);
    if (!audio_->open(*muxer_->oformat, error)) {
        error = output_.path + ": " + error;
        discard();
        return false;
    }
    return true;
}

bool ChannelWriter::write_gop(const GopInput& gop) {
    if (done_ || muxer_ == nullptr) return fail("the output is closed");
    std::optional<GopPiece> piece;
    if (!take_piece(gop, piece)) return false;
    if (!piece) return true;  // the channel's first key frame is still to come
    if (!started_) {
        if (!pending_) {
            pending_ = std::move(piece);
            return true;
        }
        if (!start_muxer(gop_step(pending_->time, piece->time), *pending_) ||
            !write_piece(*pending_)) {
            return false;
        }
        pending_.reset();
    }
    return write_piece(*piece);
}

bool ChannelWriter::take_piece(const GopInput& gop, std::optional<GopPiece>& piece) {
    const std::vector<AccessUnit> units =
        channel_access_units(gop.data, gop.length, output_.channel);
    const bool exporting = started_ || pending_;
    const int first = exporting ? 0 : first_key_frame(units);
    if (first < 0) return true;
    GopPiece taken;
    taken.first_frame = first;
    taken.frames = std::max(gop.frames->frames_per_channel, 1);
    taken.time = gop.frames->gop_time;
    taken.has_audio = gop.frames->has_audio != 0;
    append_gop_audio(*gop.frames, first, taken.audio);
    for (size_t i = static_cast<size_t>(first); i < units.size(); ++i) {
        if (!crop_.filter(units[i].data, units[i].length, units[i].key, taken.video, error_)) {
            return false;
        }
    }
    piece = std::move(taken);
    return true;
}

bool ChannelWriter::start_muxer(int step_seconds, const GopPiece& first) {
    step_seconds_ = step_seconds;
    frame_rate_ = first.frames;
    if (!add_video_stream(first)) return false;
    if (!audio_->add_stream(*muxer_, error_)) return fail(error_);
    AVDictionary* options = nullptr;
    if (output_.container == Container::kMp4) av_dict_set(&options, "movflags", "+faststart", 0);
    const int status = avformat_write_header(muxer_, &options);
    av_dict_free(&options);
    if (status < 0) return fail("header: " + av_text(status));
    started_ = true;
    return true;
}

bool ChannelWriter::add_video_stream(const GopPiece& first) {
    if (first.video.empty()) return fail("no picture at the first key frame");
    const auto size = h264_picture_size(*first.video.front());
    if (!size) return fail("no sequence parameter set at the first key frame");
    video_ = avformat_new_stream(muxer_, nullptr);
    if (video_ == nullptr) return fail("cannot add the video stream");
    AVCodecParameters& par = *video_->codecpar;
    par.codec_type = AVMEDIA_TYPE_VIDEO;
    par.codec_id = AV_CODEC_ID_H264;
    par.format = AV_PIX_FMT_YUV420P;
    par.width = size->width;
    par.height = size->height;
    video_->time_base = AVRational{step_seconds_, frame_rate_};
    video_->avg_frame_rate = AVRational{frame_rate_, step_seconds_};
    return true;
}

// A GOP's frames follow the previous GOP's; a channel short of frames in a GOP leaves a gap
// (the muxer repeats the picture) rather than pulling later pictures ahead of their sound.
bool ChannelWriter::write_piece(GopPiece& piece) {
    const int64_t gop_start = next_frame_;
    int64_t frame = gop_start;
    for (auto& packet : piece.video) {
        if (!write_video(*packet, frame++)) return false;
    }
    next_frame_ = std::max(frame, gop_start + (piece.frames - piece.first_frame));
    return write_audio(piece);
}

bool ChannelWriter::write_video(AVPacket& packet, int64_t frame) {
    packet.pts = packet.dts = frame;
    packet.duration = 1;
    av_packet_rescale_ts(&packet, AVRational{step_seconds_, frame_rate_}, video_->time_base);
    packet.stream_index = video_->index;
    const int status = av_interleaved_write_frame(muxer_, &packet);
    return status >= 0 || fail("video: " + av_text(status));
}

bool ChannelWriter::write_audio(const GopPiece& piece) {
    if (piece.has_audio) {
        return audio_->write(*muxer_, piece.audio.data(), piece.audio.size(), error_);
    }
    const std::vector<uint8_t> silence(
        silence_bytes(output_.sound, piece.first_frame, piece.frames, step_seconds_),
        output_.sound.silence());
    return audio_->write(*muxer_, silence.data(), silence.size(), error_);
}

bool ChannelWriter::finish() {
    if (done_ || muxer_ == nullptr) return fail("the output is closed");
    if (!started_) {
        if (!pending_)
            return fail("channel " + std::to_string(output_.channel + 1) +
                        ": no key frame in the range");
        if (!start_muxer(1, *pending_) || !write_piece(*pending_)) return false;
        pending_.reset();
    }
    if (!audio_->flush(*muxer_, error_)) return false;
    const int status = av_write_trailer(muxer_);
    if (status < 0) return fail("trailer: " + av_text(status));
    if (!close_file()) return false;
    done_ = true;
    return true;
}

bool ChannelWriter::close_file() {
    int status = muxer_->pb->error;
    const int closed = avio_closep(&muxer_->pb);
    if (status >= 0) status = closed;
    avformat_free_context(muxer_);
    muxer_ = nullptr;
    return status >= 0 || fail("close: " + av_text(status));
}

void ChannelWriter::discard() {
    if (muxer_ != nullptr) {
        avio_closep(&muxer_->pb);
        avformat_free_context(muxer_);
        muxer_ = nullptr;
    }
    if (created_) ::unlink(output_.path.c_str());
    created_ = false;
    pending_.reset();
    done_ = true;
}

bool ChannelWriter::fail(std::string reason) {
    error_ = output_.path + ": " + std::move(reason);
    return false;
}

std::unique_ptr<OutputWriter> make_channel_writer(const ExtractJob& job, int channel,
                                                  std::string& error) {
    ChannelOutput output;
    output.path = path_text(job.channel_avi_path[channel]).value_or("");
    output.channel = channel;
    output.container = wants_mp4(job) ? Container::kMp4 : Container::kAvi;
    output.sound = PcmFormat{job.sample_bits, job.sample_rate};
    auto writer = std::make_unique<ChannelWriter>(std::move(output));
    if (!writer->open(error)) return nullptr;
    return writer;
}

}  // namespace ombrel
