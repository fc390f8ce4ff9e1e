// The sound track of a channel's output: the engine's PCM as it is (AVI), or AAC where the
// container cannot hold PCM (this FFmpeg's MP4 muxer has no tag for it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "channel_frames.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace ombrel {

class AudioTrack {
  public:
    virtual ~AudioTrack() = default;
    // Sets up what the track needs before any GOP arrives (the encoder), so a format the
    // track cannot write is refused while the export is still being prepared.
    virtual bool open(const AVOutputFormat& container, std::string& error) = 0;
    // Adds the track's stream to the muxer, before its header is written.
    virtual bool add_stream(AVFormatContext& muxer, std::string& error) = 0;
    // Appends mono samples in the track's PcmFormat (whole samples).
    virtual bool write(AVFormatContext& muxer, const uint8_t* pcm, size_t bytes,
                       std::string& error) = 0;
    // Writes what is still held, before the trailer.
    virtual bool flush(AVFormatContext& muxer, std::string& error) = 0;
};

std::unique_ptr<AudioTrack> make_pcm_track(const PcmFormat& format);
std::unique_ptr<AudioTrack> make_aac_track(const PcmFormat& format);

}  // namespace ombrel
