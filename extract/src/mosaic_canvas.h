// The all-channel picture being built: one 4:2:0 frame that keeps every cell's last picture
// until a new one is drawn there, so a channel whose picture is missing repeats its last one
// and cells that never got one stay black.
#pragma once

#include <cstdint>

#include "mosaic_layout.h"

extern "C" {
struct AVFrame;
struct SwsContext;
}

namespace ombrel {

// A decoded picture as the engine's frame set holds it: YV12, Y then V then U, no padding.
struct Yv12Picture {
    const uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
};

// Bytes of a YV12 picture of width x height; the chroma halves are rounded up.
int64_t yv12_bytes(int width, int height);

class MosaicCanvas {
  public:
    explicit MosaicCanvas(const MosaicLayout& layout) : layout_(layout) {}
    ~MosaicCanvas();
    MosaicCanvas(const MosaicCanvas&) = delete;
    MosaicCanvas& operator=(const MosaicCanvas&) = delete;

    // Allocates the frame, all black. False when memory runs out.
    bool init();
    // Puts the picture into the channel's cell, scaled to the cell when its size differs.
    // The frame is made writable first (an encoder may still hold the previous one).
    bool draw(int channel, const Yv12Picture& picture);
    AVFrame* frame() { return frame_; }

  private:
    bool copy_into(const CellOrigin& at, const Yv12Picture& picture);
    bool scale_into(const CellOrigin& at, const Yv12Picture& picture);
    void copy_planes(const CellOrigin& at, const uint8_t* const data[3], const int stride[3]);
    bool allocate_cell();

    MosaicLayout layout_;
    AVFrame* frame_ = nullptr;
    AVFrame* cell_ = nullptr;  // a scaled picture before it goes into its cell
    SwsContext* scaler_ = nullptr;
};

}  // namespace ombrel
