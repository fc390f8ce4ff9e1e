#include "channel_writer.h"

#include <algorithm>
#include <climits>

#include "job_outputs.h"
#include "writers.h"

extern "C" {
#include <libavutil/dict.h>
#include <libavutil/rational.h>
}

namespace ombrel {
namespace {

// The recorders' usual channel size, for a file of a channel without pictures when the job
// names no size.
constexpr PictureSize kUsualChannelSize{352, 288};

// The first key frame that carries the sequence parameters a file must start with.
int first_key_frame_with_parameters(const std::vector<AccessUnit>& units) {
    for (size_t i = 0; i < units.size(); ++i) {
        if (units[i].key && has_sequence_parameter_set(units[i].data, units[i].length)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// The access units of the channel, or the frames the GOP announces when the channel has
// fewer records (its missing frames still take their time).
int frames_of(const std::vector<AccessUnit>& units, const FrameSet& set) {
    return std::max({static_cast<int>(units.size()), set.frames_per_channel, 1});
}

}  // namespace

ChannelWriter::ChannelWriter(ChannelOutput output)
    : output_(std::move(output)), clock_(output_.sound.rate) {}

ChannelWriter::~ChannelWriter() {
    if (!done_) discard();
}

bool ChannelWriter::open(std::string& error) {
    if (!file_.create(output_.path, error)) return false;
    const char* format = output_.container == Container::kMp4 ? "mp4" : "avi";
    const std::string url = file_.descriptor_url();
    int status = avformat_alloc_output_context2(&muxer_, nullptr, format, url.c_str());
    if (status >= 0 && (muxer_->pb = file_.io()) == nullptr) status = AVERROR(ENOMEM);
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
    const FrameSet& set = *gop.frames;
    const std::vector<AccessUnit> units =
        channel_access_units(gop.data, gop.length, output_.channel);
    GopPiece piece;
    piece.frames = frames_of(units, set);
    piece.duration = clock_.next(set.gop_time, gop_sound_samples(set, output_.sound));
    if (!started_) {
        piece.first_frame = first_key_frame_with_parameters(units);
        if (piece.first_frame >= 0 && !filter_units(units, piece)) return false;
        const auto size =
            piece.video.empty() ? std::nullopt : h264_picture_size(*piece.video.front());
        if (!size) {
            hold_sound(set, piece);  // the channel's first key frame is still to come
            return true;
        }
        if (!start_muxer(piece, *size)) return false;
    } else if (!filter_units(units, piece)) {
        return false;
    }
    return write_piece(set, piece);
}

bool ChannelWriter::filter_units(const std::vector<AccessUnit>& units, GopPiece& piece) {
    for (size_t i = static_cast<size_t>(piece.first_frame); i < units.size(); ++i) {
        if (!crop_.filter(units[i].data, units[i].length, units[i].key, piece.video, error_)) {
            return fail(error_);
        }
    }
    return true;
}

// Only a file that never gets a picture plays this sound; the first key frame drops it.
void ChannelWriter::hold_sound(const FrameSet& set, const GopPiece& piece) {
    if (!first_held_) first_held_ = GopPiece{{}, 0, piece.frames, piece.duration};
    if (append_gop_audio(set, output_.sound, 0, held_sound_) > 0) return;
    held_sound_.insert(held_sound_.end(),
                       silence_bytes(output_.sound, 0, piece.frames, piece.duration),
                       output_.sound.silence());
}

// The frame rate is the first exported GOP's frames over its duration; the file has one.
bool ChannelWriter::start_muxer(const GopPiece& first, PictureSize size) {
    av_reduce(&frame_time_.num, &frame_time_.den, first.duration,
              int64_t{clock_.rate()} * first.frames, INT_MAX);
    if (!add_video_stream(size)) return false;
    if (!audio_->add_stream(*muxer_, error_)) return fail(error_);
    AVDictionary* options = nullptr;
    if (output_.container == Container::kMp4) av_dict_set(&options, "movflags", "+faststart", 0);
    const int status = avformat_write_header(muxer_, &options);
    av_dict_free(&options);
    if (status < 0) return fail("header: " + av_text(status));
    started_ = true;
    held_sound_.clear();
    held_sound_.shrink_to_fit();
    first_held_.reset();
    return true;
}

bool ChannelWriter::add_video_stream(PictureSize size) {
    video_ = avformat_new_stream(muxer_, nullptr);
    if (video_ == nullptr) return fail("cannot add the video stream");
    AVCodecParameters& par = *video_->codecpar;
    par.codec_type = AVMEDIA_TYPE_VIDEO;
    par.codec_id = AV_CODEC_ID_H264;
    par.format = AV_PIX_FMT_YUV420P;
    par.width = size.width;
    par.height = size.height;
    video_->time_base = frame_time_;
    video_->avg_frame_rate = av_inv_q(frame_time_);
    return true;
}

// A GOP's frames follow the previous GOP's; a channel short of frames in a GOP leaves a gap
// (the muxer repeats the picture) rather than pulling later pictures ahead of their sound.
bool ChannelWriter::write_piece(const FrameSet& set, GopPiece& piece) {
    const int64_t gop_start = next_frame_;
    int64_t frame = gop_start;
    for (auto& packet : piece.video) {
        if (!write_video(*packet, frame++)) return false;
    }
    next_frame_ = std::max(frame, gop_start + (piece.frames - piece.first_frame));
    return write_audio(set, piece);
}

bool ChannelWriter::write_video(AVPacket& packet, int64_t frame) {
    packet.pts = packet.dts = frame;
    packet.duration = 1;
    av_packet_rescale_ts(&packet, frame_time_, video_->time_base);
    packet.stream_index = video_->index;
    const int status = av_interleaved_write_frame(muxer_, &packet);
    return status >= 0 || fail("video: " + av_text(status));
}

bool ChannelWriter::write_audio(const FrameSet& set, const GopPiece& piece) {
    sound_.clear();
    if (append_gop_audio(set, output_.sound, piece.first_frame, sound_) == 0) {
        sound_.assign(silence_bytes(output_.sound, piece.first_frame, piece.frames, piece.duration),
                      output_.sound.silence());
    }
    return audio_->write(*muxer_, sound_.data(), sound_.size(), error_) || fail(error_);
}

bool ChannelWriter::finish() {
    if (done_ || muxer_ == nullptr) return fail("the output is closed");
    if (!started_ && !finish_without_pictures()) return false;
    if (!audio_->flush(*muxer_, error_)) return fail(error_);
    const int status = av_write_trailer(muxer_);
    if (status < 0) return fail("trailer: " + av_text(status));
    muxer_->pb = nullptr;  // the file's own context, closed with the file
    avformat_free_context(muxer_);
    muxer_ = nullptr;
    if (!file_.close(error_)) return fail(error_);
    done_ = true;
    return true;
}

bool ChannelWriter::finish_without_pictures() {
    GopPiece first = first_held_ ? std::move(*first_held_) : GopPiece{{}, 0, 1, clock_.rate()};
    const std::vector<uint8_t> sound = std::move(held_sound_);
    const bool sized = output_.picture.width > 0 && output_.picture.height > 0;
    if (!start_muxer(first, sized ? output_.picture : kUsualChannelSize)) return false;
    return audio_->write(*muxer_, sound.data(), sound.size(), error_) || fail(error_);
}

void ChannelWriter::discard() {
    if (muxer_ != nullptr) {
        muxer_->pb = nullptr;
        avformat_free_context(muxer_);
        muxer_ = nullptr;
    }
    file_.remove();
    held_sound_.clear();
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
    output.picture = PictureSize{job.picture_width, job.picture_height};
    auto writer = std::make_unique<ChannelWriter>(std::move(output));
    if (!writer->open(error)) return nullptr;
    return writer;
}

}  // namespace ombrel
