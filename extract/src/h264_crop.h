// Removes the recorder's top rows from an H.264 stream without re-encoding: the filter edits
// the cropping fields of every sequence parameter set, so any decoder shows the picture the
// engine shows (it drops those rows after decoding).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "av_handles.h"
#include "picture_size.h"

namespace ombrel {

inline constexpr int kRecorderTopRows = 8;

class H264Crop {
  public:
    // False with the reason when the filter cannot be set up.
    bool open(std::string& error);
    // Passes one access unit through; its filtered packet(s) are appended to `out`. A unit
    // the filter cannot parse goes unchanged when it has no sequence parameter set and is
    // left out when it has one. False only when memory runs out.
    bool filter(const uint8_t* data, size_t length, bool key, std::vector<Packet>& out,
                std::string& error);

  private:
    bool pass_unfiltered(const uint8_t* data, size_t length, bool key, std::vector<Packet>& out,
                         std::string& error);

    BitstreamFilter filter_;
};

// True when the Annex B access unit holds a sequence parameter set NAL unit.
bool has_sequence_parameter_set(const uint8_t* data, size_t length);

// The displayed size an access unit's sequence parameter set gives (after cropping); nothing
// when the unit carries none.
std::optional<PictureSize> h264_picture_size(const AVPacket& access_unit);

}  // namespace ombrel
