// One channel of an extraction as a file ordinary players open: the recorded H.264 copied
// as it is (only the cropping fields edited), from the channel's first key frame, at the
// constant frame rate of the GOPs, with the sound the engine plays beside it.
//
// A channel that shows no usable key frame in the whole range still gets a valid file: a
// video stream of the job's picture size without frames and the range's sound (silence where
// a GOP has none). The export keeps its other outputs that way, and the file says what the
// recording holds for that channel: nothing to see.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio_track.h"
#include "av_handles.h"
#include "channel_frames.h"
#include "exclusive_file.h"
#include "gop_clock.h"
#include "h264_crop.h"
#include "output_writer.h"

namespace ombrel {

enum class Container { kAvi, kMp4 };

struct ChannelOutput {
    std::string path;
    int channel = 0;  // 0-based
    Container container = Container::kAvi;
    PcmFormat sound;
    PictureSize picture;  // the job's, for a channel without a key frame
};

class ChannelWriter : public OutputWriter {
  public:
    explicit ChannelWriter(ChannelOutput output);
    ~ChannelWriter() override;
    ChannelWriter(const ChannelWriter&) = delete;
    ChannelWriter& operator=(const ChannelWriter&) = delete;

    // Creates the file (never over an existing one) and prepares the muxer and the filter.
    bool open(std::string& error);

    bool write_gop(const GopInput& gop) override;
    bool finish() override;
    void discard() override;
    std::string error() const override { return error_; }

  private:
    // What one GOP adds to the output.
    struct GopPiece {
        std::vector<Packet> video;
        int first_frame = 0;   // frames before it were not exported
        int frames = 0;        // the GOP's frames of the channel
        int64_t duration = 0;  // in ticks of the clock
    };

    bool filter_units(const std::vector<AccessUnit>& units, GopPiece& piece);
    void hold_sound(const FrameSet& set, const GopPiece& piece);
    bool start_muxer(const GopPiece& first, PictureSize size);
    bool add_video_stream(PictureSize size);
    bool write_piece(const FrameSet& set, GopPiece& piece);
    bool write_video(AVPacket& packet, int64_t frame);
    bool write_audio(const FrameSet& set, const GopPiece& piece);
    bool finish_without_pictures();
    bool fail(std::string reason);

    ChannelOutput output_;
    ExclusiveFile file_;
    H264Crop crop_;
    GopClock clock_;
    AVFormatContext* muxer_ = nullptr;
    AVStream* video_ = nullptr;
    AVRational frame_time_{1, 1};  // one frame, in seconds
    std::unique_ptr<AudioTrack> audio_;
    bool started_ = false;  // the header is written
    bool done_ = false;
    // Until the first key frame: the range's sound, and the first GOP for the frame rate.
    std::vector<uint8_t> held_sound_;
    std::optional<GopPiece> first_held_;
    int64_t next_frame_ = 0;
    std::vector<uint8_t> sound_;  // reused for each GOP
    std::string error_;
};

}  // namespace ombrel
