#include "dvrsim/picture_painter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>
#include <vector>

#include "picture_files.h"

namespace dvrsim {
namespace {

using Picture = std::vector<uint8_t>;

constexpr int kCifWidth = 352;
constexpr int kCifHeight = 296;
constexpr uint32_t kSomeTime = 1718000000;  // 2024-06-10 06:13:20 UTC

PictureContent content_for(int channel, int frame_index) {
    PictureContent c;
    c.channel = channel;
    c.frame_index = frame_index;
    c.time = kSomeTime;
    c.frame_in_second = 7;
    c.fps = 25;
    return c;
}

Picture paint(int width, int height, const PictureContent& content) {
    Picture picture(yuv420p_size(width, height));
    paint_picture(picture.data(), width, height, content);
    return picture;
}

struct Sample {
    int y;
    int u;
    int v;
    bool operator==(const Sample&) const = default;
};

Sample sample_at(const Picture& p, int width, int height, int x, int y) {
    const size_t luma = static_cast<size_t>(width) * static_cast<size_t>(height);
    const size_t chroma_plane = luma / 4;
    const size_t chroma =
        static_cast<size_t>(y / 2) * static_cast<size_t>(width / 2) + static_cast<size_t>(x / 2);
    return Sample{p[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)],
                  p[luma + chroma], p[luma + chroma_plane + chroma]};
}

bool near(int value, int expected) {
    return std::abs(value - expected) <= 2;
}

TEST(PicturePainter, SizeIsOneAndAHalfBytesPerPixel) {
    EXPECT_EQ(yuv420p_size(352, 296), 352u * 296u * 3u / 2u);
    EXPECT_EQ(yuv420p_size(1280, 728), 1280u * 728u * 3u / 2u);
}

TEST(PicturePainter, TopEightRowsAreTheMagentaBand) {
    const Picture p = paint(kCifWidth, kCifHeight, content_for(3, 10));
    // BT.601 limited range of RGB (255, 0, 255).
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < kCifWidth; ++x) {
            const Sample s = sample_at(p, kCifWidth, kCifHeight, x, y);
            ASSERT_TRUE(near(s.y, 107) && near(s.u, 202) && near(s.v, 222))
                << "x " << x << " y " << y << ": " << s.y << ' ' << s.u << ' ' << s.v;
        }
    }
    const Sample below = sample_at(p, kCifWidth, kCifHeight, kCifWidth - 2, 8);
    EXPECT_FALSE(near(below.y, 107) && near(below.u, 202) && near(below.v, 222));
}

TEST(PicturePainter, EachOfEightChannelsHasItsOwnBackground) {
    std::vector<Sample> backgrounds;
    for (int channel = 0; channel < 8; ++channel) {
        const Picture p = paint(kCifWidth, kCifHeight, content_for(channel, 0));
        // Top right, below the band: no text or moving box there.
        backgrounds.push_back(sample_at(p, kCifWidth, kCifHeight, kCifWidth - 4, 12));
    }
    for (size_t i = 0; i < backgrounds.size(); ++i) {
        for (size_t j = 0; j < i; ++j) EXPECT_NE(backgrounds[i], backgrounds[j]) << i << ' ' << j;
    }
}

TEST(PicturePainter, PatternMovesWithFrameIndex) {
    const Picture first = paint(kCifWidth, kCifHeight, content_for(0, 0));
    EXPECT_EQ(first, paint(kCifWidth, kCifHeight, content_for(0, 0)));
    EXPECT_NE(first, paint(kCifWidth, kCifHeight, content_for(0, 1)));
    EXPECT_NE(paint(kCifWidth, kCifHeight, content_for(0, 1)),
              paint(kCifWidth, kCifHeight, content_for(0, 2)));
}

TEST(PicturePainter, TimeAndFrameInSecondAreShown) {
    const PictureContent base = content_for(0, 0);
    PictureContent later = base;
    later.time += 1;
    PictureContent next_frame = base;
    next_frame.frame_in_second += 1;
    const Picture p = paint(kCifWidth, kCifHeight, base);
    EXPECT_NE(p, paint(kCifWidth, kCifHeight, later));
    EXPECT_NE(p, paint(kCifWidth, kCifHeight, next_frame));
}

// Detail replaces the flat background only: the band, the texts and the moving box are
// painted over it unchanged, and the background keeps its channel's colour.
TEST(PicturePainter, CameraSceneAddsDetailUnderTheSameOverlays) {
    constexpr int kWidth = 720;
    constexpr int kHeight = 488;
    PictureContent content = content_for(2, 30);
    const Picture flat = paint(kWidth, kHeight, content);
    content.scene = Scene::Camera;
    const Picture camera = paint(kWidth, kHeight, content);
    EXPECT_EQ(camera, paint(kWidth, kHeight, content));

    const Sample background = sample_at(flat, kWidth, kHeight, kWidth - 4, 12);
    int overlay_pixels = 0;
    int detail_pixels = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const Sample f = sample_at(flat, kWidth, kHeight, x, y);
            const Sample c = sample_at(camera, kWidth, kHeight, x, y);
            if (y >= 8 && f == background) {
                detail_pixels += c.y != f.y;
                ASSERT_TRUE(c.u == f.u && c.v == f.v) << "chroma at " << x << ',' << y;
            } else if (f.y != background.y) {
                ++overlay_pixels;
                ASSERT_EQ(c.y, f.y) << "overlay at " << x << ',' << y;
            }
        }
    }
    EXPECT_GT(overlay_pixels, 1000);
    EXPECT_GT(detail_pixels, kWidth * kHeight / 2);

    PictureContent next = content;
    ++next.frame_index;
    EXPECT_NE(camera, paint(kWidth, kHeight, next));
}

TEST(PicturePainter, StaysInsideTheBuffer) {
    constexpr uint8_t kGuard = 0xA5;
    constexpr size_t kGuardBytes = 64;
    for (const auto& [width, height] :
         {std::pair{352, 296}, std::pair{720, 488}, std::pair{1280, 728}, std::pair{16, 10},
          std::pair{17, 11}}) {
        const size_t size = yuv420p_size(width, height);
        Picture p(size + kGuardBytes, kGuard);
        paint_picture(p.data(), width, height, content_for(15, 1000));
        for (size_t i = size; i < p.size(); ++i) {
            ASSERT_EQ(p[i], kGuard) << width << 'x' << height << " wrote past the end";
        }
    }
}

TEST(PicturePainter, SavesPicturesToLookAt) {
    const Picture cif = paint(kCifWidth, kCifHeight, content_for(0, 40));
    EXPECT_NE(test_support::save_picture("dvrsim_cif", cif.data(), kCifWidth, kCifHeight), "");
    const Picture d1 = paint(720, 488, content_for(4, 90));
    EXPECT_NE(test_support::save_picture("dvrsim_d1", d1.data(), 720, 488), "");
    const Picture hd = paint(1280, 728, content_for(10, 17));
    EXPECT_NE(test_support::save_picture("dvrsim_720p", hd.data(), 1280, 728), "");
    PictureContent camera = content_for(4, 90);
    camera.scene = Scene::Camera;
    const Picture d1_camera = paint(720, 488, camera);
    EXPECT_NE(test_support::save_picture("dvrsim_d1_camera", d1_camera.data(), 720, 488), "");
}

}  // namespace
}  // namespace dvrsim
