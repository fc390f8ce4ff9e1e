#include "picture_geometry.h"

#include "format/gop_layout.h"
#include "mosaic_canvas.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace ombrel {
namespace {

// Rows the recorder paints above the picture; the engine's pictures come without them.
constexpr int kBandRows = 8;

bool fits(const PictureSize& size, int32_t bytes) {
    return size.width > 0 && size.height > 0 && yv12_bytes(size.width, size.height) == bytes;
}

}  // namespace

PictureGeometry::~PictureGeometry() {
    av_parser_close(parser_);
    avcodec_free_context(&codec_);
}

std::optional<PictureSize> PictureGeometry::size_of(const uint8_t* gop, size_t length,
                                                    const FrameSet& set, int channel, int frame) {
    if (channel < 0 || channel >= KIVRA_MAX_CHANNELS || frame < 0 || frame >= KIVRA_MAX_FRAMES)
        return std::nullopt;
    const int32_t bytes = set.picture_size[channel][frame];
    if (bytes <= 0) return std::nullopt;
    auto& known = known_[static_cast<size_t>(channel)];
    if (known && fits(*known, bytes)) return known;
    const PictureSize named{set.picture_width, set.picture_height};
    if (fits(named, bytes)) return known = named;
    const auto streamed = size_from_stream(gop, length, channel);
    if (streamed && fits(*streamed, bytes)) return known = streamed;
    return std::nullopt;
}

std::optional<PictureSize> PictureGeometry::size_from_stream(const uint8_t* gop, size_t length,
                                                             int channel) {
    const auto layout = fleet::format::gop_layout(gop, length);
    if (!layout || !open_parser()) return std::nullopt;
    std::optional<PictureSize> found;
    fleet::format::for_each_frame_record(gop, *layout, [&](const auto& record) {
        if (found || record.channel != channel || !record.key) return;
        uint8_t* out = nullptr;
        int out_size = 0;
        parser_->width = parser_->height = 0;
        av_parser_parse2(parser_, codec_, &out, &out_size, record.data,
                         static_cast<int>(record.length), AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (parser_->width > 0 && parser_->height > kBandRows) {
            found = PictureSize{parser_->width, parser_->height - kBandRows};
        }
    });
    return found;
}

bool PictureGeometry::open_parser() {
    if (parser_ != nullptr) return true;
    codec_ = avcodec_alloc_context3(nullptr);
    parser_ = av_parser_init(AV_CODEC_ID_H264);
    if (codec_ == nullptr || parser_ == nullptr) return false;
    // Each key frame record is a whole access unit: no need to wait for the next one.
    parser_->flags |= PARSER_FLAG_COMPLETE_FRAMES;
    return true;
}

}  // namespace ombrel
