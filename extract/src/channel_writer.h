// One channel of an extraction as a file ordinary players open: the recorded H.264 copied
// as it is (only the cropping fields edited), from the channel's first key frame, at the
// constant frame rate of the GOPs, with the sound the engine plays beside it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio_track.h"
#include "av_handles.h"
#include "channel_frames.h"
#include "h264_crop.h"
#include "output_writer.h"

namespace ombrel {

// GOPs further apart than this are a gap in the recording, not its pace.
inline constexpr int kMaxGopStepSeconds = 4;

enum class Container { kAvi, kMp4 };

struct ChannelOutput {
    std::string path;
    int channel = 0;  // 0-based
    Container container = Container::kAvi;
    PcmFormat sound;
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
        std::vector<uint8_t> audio;  // the engine's chunks; empty when the GOP has none
        bool has_audio = false;
        int first_frame = 0;  // frames before it were not exported
        int frames = 0;       // the GOP's frames per channel
        uint32_t time = 0;
    };

    bool take_piece(const GopInput& gop, std::optional<GopPiece>& piece);
    bool start_muxer(int step_seconds, const GopPiece& first);
    bool add_video_stream(const GopPiece& first);
    bool write_piece(GopPiece& piece);
    bool write_video(AVPacket& packet, int64_t frame);
    bool write_audio(const GopPiece& piece);
    bool close_file();
    bool fail(std::string reason);

    ChannelOutput output_;
    H264Crop crop_;
    AVFormatContext* muxer_ = nullptr;
    AVStream* video_ = nullptr;
    std::unique_ptr<AudioTrack> audio_;
    bool created_ = false;
    bool started_ = false;  // the header is written
    bool done_ = false;
    std::optional<GopPiece> pending_;  // the first GOP, held until the GOP step is known
    int step_seconds_ = 1;
    int frame_rate_ = 0;  // frames per step_seconds_
    int64_t next_frame_ = 0;
    std::string error_;
};

}  // namespace ombrel
