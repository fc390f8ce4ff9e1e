// The width and height of each channel's pictures in a frame set. The frame set names one size
// only (that of the last picture decoded), but recorders write channels at different sizes
// (D1 on the first, CIF on the rest); a picture's byte count then tells which size it has, and
// where it fits neither the named size nor the channel's last one, the channel's own sequence
// parameters in the GOP give it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "kivra/kivra.h"
#include "picture_size.h"

extern "C" {
struct AVCodecContext;
struct AVCodecParserContext;
}

namespace ombrel {

class PictureGeometry {
  public:
    PictureGeometry() = default;
    ~PictureGeometry();
    PictureGeometry(const PictureGeometry&) = delete;
    PictureGeometry& operator=(const PictureGeometry&) = delete;

    // The size of `channel`'s picture `frame` of the GOP, empty when the picture is missing
    // or no size matches its byte count.
    std::optional<PictureSize> size_of(const uint8_t* gop, size_t length, const FrameSet& set,
                                       int channel, int frame);

  private:
    std::optional<PictureSize> size_from_stream(const uint8_t* gop, size_t length, int channel);
    bool open_parser();

    std::array<std::optional<PictureSize>, KIVRA_MAX_CHANNELS> known_{};
    AVCodecContext* codec_ = nullptr;
    AVCodecParserContext* parser_ = nullptr;
};

}  // namespace ombrel
