// Turns one decoded 4:2:0 picture into the FrameSet's picture layout.
#pragma once

#include <cstddef>
#include <cstdint>

#include "format/gop_parser.h"

struct AVFrame;

namespace kivra {

// Bytes of a YV12 picture of width x height without row padding; odd sizes round the chroma
// planes up as FFmpeg does.
size_t yv12_size(int width, int height);

// Writes Y, V, U of `frame` (YUV420P or YUVJ420P) without its top kCroppedRows rows to dest.
// False, with nothing written, for any other format, a picture 8 rows high or less, or one
// larger than `capacity`.
bool copy_cropped_yv12(const AVFrame& frame, uint8_t* dest, size_t capacity,
                       fleet::format::DecodedPicture& out);

}  // namespace kivra
