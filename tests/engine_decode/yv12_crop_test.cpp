// The copy from a decoded picture into the FrameSet layout, on pictures made by hand: odd
// sizes and padded rows that the simulator's encoder never produces.
#include "decode/yv12_crop.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "decode/decoder_bank.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
}

namespace decode_test {
namespace {

struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;

// Every byte tells its plane, row and column, so a misplaced row or plane shows.
uint8_t mark(int plane, int row, int column) {
    return static_cast<uint8_t>(plane * 89 + row * 7 + column * 3);
}

FramePtr make_frame(AVPixelFormat format, int width, int height, int align) {
    FramePtr frame(av_frame_alloc());
    frame->format = format;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame.get(), align) != 0) return nullptr;
    for (int plane = 0; plane < 3; ++plane) {
        const int w = plane == 0 ? width : (width + 1) / 2;
        const int h = plane == 0 ? height : (height + 1) / 2;
        for (int row = 0; row < h; ++row) {
            uint8_t* line =
                frame->data[plane] + static_cast<ptrdiff_t>(row) * frame->linesize[plane];
            for (int column = 0; column < w; ++column) line[column] = mark(plane, row, column);
            // Padding holds a value no visible byte has a reason to carry.
            for (int column = w; column < frame->linesize[plane]; ++column) line[column] = 0xEE;
        }
    }
    return frame;
}

// Y rows 8.., then V (plane 2) and U (plane 1) rows 4.., as the FrameSet wants them.
std::vector<uint8_t> expected_layout(int width, int height) {
    std::vector<uint8_t> out;
    for (int row = 8; row < height; ++row) {
        for (int column = 0; column < width; ++column) out.push_back(mark(0, row, column));
    }
    for (int plane : {2, 1}) {
        for (int row = 4; row < (height + 1) / 2; ++row) {
            for (int column = 0; column < (width + 1) / 2; ++column) {
                out.push_back(mark(plane, row, column));
            }
        }
    }
    return out;
}

struct CropCase {
    int width, height;
    int align;  // row alignment of the source frame: 1 = no padding
};

TEST(CopyCroppedYv12, MatchesLibavutilSizesAndPlaneOrder) {
    const CropCase cases[] = {
        {16, 10, 1}, {16, 10, 64},  {17, 11, 1},    {17, 11, 32},   {33, 9, 16},
        {1, 9, 1},   {720, 488, 1}, {720, 488, 64}, {351, 297, 32},
    };
    for (const CropCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " align " +
                     std::to_string(c.align));
        for (AVPixelFormat format : {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUVJ420P}) {
            FramePtr frame = make_frame(format, c.width, c.height, c.align);
            ASSERT_NE(frame, nullptr);
            const int ffmpeg_size =
                av_image_get_buffer_size(AV_PIX_FMT_YUV420P, c.width, c.height - 8, 1);
            EXPECT_EQ(kivra::yv12_size(c.width, c.height - 8), static_cast<size_t>(ffmpeg_size));

            std::vector<uint8_t> dest(static_cast<size_t>(ffmpeg_size) + 64, 0xEE);
            fleet::format::DecodedPicture out;
            ASSERT_TRUE(kivra::copy_cropped_yv12(*frame, dest.data(),
                                                 static_cast<size_t>(ffmpeg_size), out));
            EXPECT_EQ(out.size, ffmpeg_size);
            EXPECT_EQ(out.width, c.width);
            EXPECT_EQ(out.height, c.height - 8);
            dest.resize(static_cast<size_t>(ffmpeg_size));
            EXPECT_TRUE(dest == expected_layout(c.width, c.height)) << "bytes out of place";
        }
    }
}

struct RefusedCase {
    const char* name;
    AVPixelFormat format;
    int width, height;
};

TEST(CopyCroppedYv12, RefusesWhatItCannotLayOut) {
    const RefusedCase cases[] = {
        {"only the band", AV_PIX_FMT_YUV420P, 16, 8},
        {"less than the band", AV_PIX_FMT_YUV420P, 16, 2},
        {"4:2:2", AV_PIX_FMT_YUV422P, 16, 16},
        {"4:4:4", AV_PIX_FMT_YUV444P, 16, 16},
        {"10-bit 4:2:0", AV_PIX_FMT_YUV420P10LE, 16, 16},
    };
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.name);
        FramePtr frame = make_frame(c.format, c.width, c.height, 1);
        ASSERT_NE(frame, nullptr);
        std::vector<uint8_t> dest(4096, 0x11);
        fleet::format::DecodedPicture out{5, 5, 5};
        EXPECT_FALSE(kivra::copy_cropped_yv12(*frame, dest.data(), dest.size(), out));
        EXPECT_EQ(out.size, 0);
        EXPECT_EQ(dest, std::vector<uint8_t>(4096, 0x11));
    }
}

}  // namespace
}  // namespace decode_test
