#include "mosaic_canvas.h"

#include <cstring>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace ombrel {
namespace {

// Black in the limited range H.264 players expect.
constexpr uint8_t kBlackLuma = 16;
constexpr uint8_t kNeutralChroma = 128;

struct Planes {
    const uint8_t* data[3];  // Y, U, V: the order libswscale's YUV420P takes
    int stride[3];
};

Planes planes_of(const Yv12Picture& p) {
    const int chroma_width = (p.width + 1) / 2;
    const int64_t luma = int64_t{p.width} * p.height;
    const int64_t chroma = int64_t{chroma_width} * ((p.height + 1) / 2);
    const uint8_t* v = p.data + luma;
    return {{p.data, v + chroma, v}, {p.width, chroma_width, chroma_width}};
}

void fill_plane(AVFrame* frame, int plane, int width, int height, uint8_t value) {
    for (int y = 0; y < height; ++y) {
        std::memset(frame->data[plane] + y * frame->linesize[plane], value,
                    static_cast<size_t>(width));
    }
}

}  // namespace

int64_t yv12_bytes(int width, int height) {
    return int64_t{width} * height + 2 * int64_t{(width + 1) / 2} * ((height + 1) / 2);
}

MosaicCanvas::~MosaicCanvas() {
    av_frame_free(&frame_);
    av_frame_free(&cell_);
    sws_freeContext(scaler_);
}

bool MosaicCanvas::init() {
    frame_ = av_frame_alloc();
    if (frame_ == nullptr) return false;
    frame_->format = AV_PIX_FMT_YUV420P;
    frame_->width = layout_.width();
    frame_->height = layout_.height();
    if (av_frame_get_buffer(frame_, 0) < 0) return false;
    fill_plane(frame_, 0, frame_->width, frame_->height, kBlackLuma);
    fill_plane(frame_, 1, frame_->width / 2, frame_->height / 2, kNeutralChroma);
    fill_plane(frame_, 2, frame_->width / 2, frame_->height / 2, kNeutralChroma);
    return true;
}

bool MosaicCanvas::draw(int channel, const Yv12Picture& picture) {
    if (channel < 0 || channel >= layout_.channels || picture.width <= 0 || picture.height <= 0 ||
        av_frame_make_writable(frame_) < 0) {
        return false;
    }
    const CellOrigin at = layout_.origin(channel);
    if (picture.width == layout_.cell_width && picture.height == layout_.cell_height) {
        return copy_into(at, picture);
    }
    return scale_into(at, picture);
}

void MosaicCanvas::copy_planes(const CellOrigin& at, const uint8_t* const data[3],
                               const int stride[3]) {
    for (int plane = 0; plane < 3; ++plane) {
        const int shift = plane == 0 ? 0 : 1;
        const int rows = layout_.cell_height >> shift;
        const size_t row_bytes = static_cast<size_t>(layout_.cell_width >> shift);
        uint8_t* cell =
            frame_->data[plane] + (at.y >> shift) * frame_->linesize[plane] + (at.x >> shift);
        for (int y = 0; y < rows; ++y) {
            std::memcpy(cell + y * frame_->linesize[plane], data[plane] + y * stride[plane],
                        row_bytes);
        }
    }
}

bool MosaicCanvas::copy_into(const CellOrigin& at, const Yv12Picture& picture) {
    const Planes src = planes_of(picture);
    copy_planes(at, src.data, src.stride);
    return true;
}

// Scaled into a frame of its own first: libswscale wants aligned rows, and a cell inside the
// canvas starts wherever the grid puts it.
bool MosaicCanvas::scale_into(const CellOrigin& at, const Yv12Picture& picture) {
    if (cell_ == nullptr && !allocate_cell()) return false;
    scaler_ = sws_getCachedContext(scaler_, picture.width, picture.height, AV_PIX_FMT_YUV420P,
                                   layout_.cell_width, layout_.cell_height, AV_PIX_FMT_YUV420P,
                                   SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (scaler_ == nullptr) return false;
    const Planes src = planes_of(picture);
    if (sws_scale(scaler_, src.data, src.stride, 0, picture.height, cell_->data, cell_->linesize) !=
        layout_.cell_height) {
        return false;
    }
    copy_planes(at, cell_->data, cell_->linesize);
    return true;
}

bool MosaicCanvas::allocate_cell() {
    cell_ = av_frame_alloc();
    if (cell_ == nullptr) return false;
    cell_->format = AV_PIX_FMT_YUV420P;
    cell_->width = layout_.cell_width;
    cell_->height = layout_.cell_height;
    return av_frame_get_buffer(cell_, 0) >= 0;
}

}  // namespace ombrel
