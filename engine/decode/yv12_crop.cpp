#include "decode/yv12_crop.h"

#include <cstddef>
#include <cstdint>

#include "decode/decoder_bank.h"
#include "decode/streaming_writer.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

namespace kivra {
namespace {

size_t half_up(int n) {
    return static_cast<size_t>(n / 2 + n % 2);
}

void copy_plane(StreamingWriter& dest, const uint8_t* row, ptrdiff_t stride, size_t width,
                size_t rows) {
    if (static_cast<size_t>(stride) == width) {
        dest.write(row, width * rows);
        return;
    }
    for (size_t r = 0; r < rows; ++r, row += stride) dest.write(row, width);
}

const uint8_t* first_row(const AVFrame& frame, int plane, int row) {
    return frame.data[plane] + static_cast<ptrdiff_t>(row) * frame.linesize[plane];
}

}  // namespace

size_t yv12_size(int width, int height) {
    if (width <= 0 || height <= 0) return 0;
    return static_cast<size_t>(width) * static_cast<size_t>(height) +
           2 * half_up(width) * half_up(height);
}

bool copy_cropped_yv12(const AVFrame& frame, uint8_t* dest, size_t capacity,
                       fleet::format::DecodedPicture& out) {
    out = fleet::format::DecodedPicture{};
    if (frame.format != AV_PIX_FMT_YUV420P && frame.format != AV_PIX_FMT_YUVJ420P) return false;
    const int width = frame.width;
    const int height = frame.height - kCroppedRows;
    if (width <= 0 || height <= 0 || dest == nullptr) return false;
    const size_t size = yv12_size(width, height);
    if (size > capacity || size > static_cast<size_t>(INT32_MAX)) return false;

    const size_t luma_width = static_cast<size_t>(width);
    const size_t chroma_width = half_up(width);
    const size_t chroma_rows = half_up(height);
    // The recorder's band covers whole chroma rows too: 8 luma rows are 4 chroma rows.
    constexpr int kChromaCropped = kCroppedRows / 2;
    StreamingWriter writer(dest);
    copy_plane(writer, first_row(frame, 0, kCroppedRows), frame.linesize[0], luma_width,
               static_cast<size_t>(height));
    copy_plane(writer, first_row(frame, 2, kChromaCropped), frame.linesize[2], chroma_width,
               chroma_rows);
    copy_plane(writer, first_row(frame, 1, kChromaCropped), frame.linesize[1], chroma_width,
               chroma_rows);
    writer.finish();

    out.size = static_cast<int32_t>(size);
    out.width = width;
    out.height = height;
    return true;
}

}  // namespace kivra
