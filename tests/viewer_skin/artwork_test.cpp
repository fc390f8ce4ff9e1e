#include "skin/artwork.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <vector>

namespace velmora {
namespace {

struct SizedArt {
    int id;
    QSize size;
};

const std::vector<SizedArt>& all_art() {
    static const std::vector<SizedArt> table = [] {
        std::vector<SizedArt> t{
            {art::kSliderThumb, {7, 7}},    {art::kSliderTrack, {20, 5}},
            {art::kTruckYellow, {48, 48}},  {art::kTruckRed, {48, 48}},
            {art::kTruckGrey, {48, 48}},    {art::kTruckGreen, {48, 48}},
            {art::kVolumeFilled, {20, 5}},  {art::kVolumeEmpty, {20, 5}},
            {art::kVolumeThumb, {32, 31}},  {art::kScrollDown, {16, 16}},
            {art::kScrollUp, {16, 16}},     {art::kScrollHThumb, {96, 16}},
            {art::kScrollLeft, {17, 16}},   {art::kScrollCorner, {16, 16}},
            {art::kScrollRight, {17, 16}},  {art::kScrollVTrack, {16, 153}},
            {art::kScrollVThumb, {16, 29}}, {art::kScrollHTrack, {195, 16}},
            {art::kMainEdgeH, {1047, 3}},   {art::kMainEdgeV, {3, 379}},
            {art::kDialogEdgeH, {1047, 6}}, {art::kDialogEdgeV, {3, 379}},
        };
        for (int id = art::kMinimise; id <= art::kRestoreHover; ++id) t.push_back({id, {16, 16}});
        for (int id = art::kOpenFile; id <= art::kTalkClose; ++id) t.push_back({id, {128, 32}});
        for (int id = art::kPlay; id <= art::kAudioOff; ++id) t.push_back({id, {192, 48}});
        return t;
    }();
    return table;
}

TEST(Artwork, EveryIdHasItsSizeAtOneAndTwoTimes) {
    for (const SizedArt& a : all_art()) {
        SCOPED_TRACE(a.id);
        EXPECT_EQ(skin_size(a.id), a.size);
        const QPixmap one = skin_pixmap(a.id, 1.0);
        const QPixmap two = skin_pixmap(a.id, 2.0);
        ASSERT_FALSE(one.isNull());
        ASSERT_FALSE(two.isNull());
        EXPECT_EQ(one.size(), a.size);
        EXPECT_EQ(two.size(), a.size * 2);
        EXPECT_DOUBLE_EQ(two.devicePixelRatio(), 2.0);
        EXPECT_EQ(two.deviceIndependentSize().toSize(), a.size);
    }
}

TEST(Artwork, EveryImageHasVisiblePixels) {
    for (const SizedArt& a : all_art()) {
        SCOPED_TRACE(a.id);
        const QImage image = skin_pixmap(a.id, 1.0).toImage();
        EXPECT_FALSE(region_from_image(image, qRgb(0, 0, 0), 0).isEmpty());
    }
}

TEST(Artwork, UnknownIdIsNullAndEmpty) {
    for (int id : {0, 1000, 1002, 1019, 1062, 1086}) {
        EXPECT_TRUE(skin_pixmap(id).isNull()) << id;
        EXPECT_TRUE(skin_size(id).isEmpty()) << id;
    }
    EXPECT_TRUE(skin_pixmap(art::kPlay, 0.0).isNull());
}

TEST(Artwork, AppIconOffersSeveralSizes) {
    const QIcon icon = app_icon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_GE(icon.availableSizes().size(), 4);
    EXPECT_EQ(icon.pixmap(QSize(32, 32)).size(), QSize(32, 32));
}

TEST(Artwork, StripFrameTakesTheNthQuarter) {
    QImage strip(40, 5, QImage::Format_RGB32);
    const QRgb colours[] = {qRgb(10, 0, 0), qRgb(0, 20, 0), qRgb(0, 0, 30), qRgb(40, 40, 40)};
    for (int n = 0; n < 4; ++n)
        for (int x = n * 10; x < n * 10 + 10; ++x)
            for (int y = 0; y < 5; ++y) strip.setPixel(x, y, colours[n]);
    const QPixmap pixmap = QPixmap::fromImage(strip);
    for (int n = 1; n <= 4; ++n) {
        const QImage frame = strip_frame(pixmap, n).toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(frame.size(), QSize(10, 5));
        EXPECT_EQ(frame.pixel(0, 0), colours[n - 1]);
        EXPECT_EQ(frame.pixel(9, 4), colours[n - 1]);
    }
    EXPECT_TRUE(strip_frame(pixmap, 0).isNull());
    EXPECT_TRUE(strip_frame(pixmap, 5).isNull());
}

TEST(Artwork, StripFramesOfAButtonDiffer) {
    const QPixmap strip = skin_pixmap(art::kPlay, 1.0);
    const QImage normal = strip_frame(strip, 1).toImage();
    for (int n = 2; n <= 4; ++n) EXPECT_NE(strip_frame(strip, n).toImage(), normal) << n;
}

TEST(Artwork, RoundButtonsHaveRoundRegions) {
    const QImage frame = strip_frame(skin_pixmap(art::kPlay, 1.0), 1).toImage();
    const QRegion region = region_from_image(frame, qRgb(0, 0, 0), 0);
    EXPECT_TRUE(region.contains(QPoint(24, 24)));
    EXPECT_TRUE(region.contains(QPoint(24, 2)));
    EXPECT_FALSE(region.contains(QPoint(0, 0)));
    EXPECT_FALSE(region.contains(QPoint(47, 47)));
}

struct RegionCase {
    QRgb pixel;
    QRgb key;
    int tolerance;
    bool kept;
};

TEST(Artwork, RegionKeepsPixelsOutsideTheKeyRange) {
    const RegionCase cases[] = {
        {qRgb(0, 0, 0), qRgb(0, 0, 0), 0, false},
        {qRgb(1, 0, 0), qRgb(0, 0, 0), 0, true},
        {qRgb(5, 5, 5), qRgb(0, 0, 0), 5, false},
        {qRgb(6, 5, 5), qRgb(0, 0, 0), 5, true},
        {qRgb(255, 255, 255), qRgb(250, 250, 250), 20, false},  // key + tolerance capped at 255
        {qRgb(249, 250, 250), qRgb(250, 250, 250), 20, true},   // below the key
    };
    for (const RegionCase& c : cases) {
        QImage image(3, 2, QImage::Format_RGB32);
        image.fill(c.key);
        image.setPixel(1, 1, c.pixel);
        const QRegion region = region_from_image(image, c.key, c.tolerance);
        EXPECT_EQ(region.contains(QPoint(1, 1)), c.kept) << std::hex << c.pixel;
        EXPECT_FALSE(region.contains(QPoint(0, 0)));
    }
}

TEST(Artwork, RegionJoinsRunsOfARow) {
    QImage image(10, 2, QImage::Format_RGB32);
    image.fill(qRgb(0, 0, 0));
    for (int x : {2, 3, 4, 7}) image.setPixel(x, 1, qRgb(200, 0, 0));
    const QRegion region = region_from_image(image, qRgb(0, 0, 0), 0);
    EXPECT_EQ(region, QRegion(2, 1, 3, 1) + QRegion(7, 1, 1, 1));
}

// A source whose every pixel differs, so a misplaced copy shows.
QImage noise_image(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, 0xff000000u | random.generate());
    return image;
}

QImage stretched(const QImage& src, QSize dest, int cx, int cy) {
    QImage out(dest, QImage::Format_RGB32);
    out.fill(Qt::magenta);
    QPainter painter(&out);
    draw_edge_stretch(painter, QPixmap::fromImage(src), QRect(QPoint(0, 0), dest), cx, cy);
    return out;
}

bool same_block(const QImage& a, QPoint at_a, const QImage& b, QPoint at_b, QSize size) {
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            if (a.pixel(at_a + QPoint(x, y)) != b.pixel(at_b + QPoint(x, y))) return false;
    return true;
}

TEST(Artwork, EdgeStretchKeepsCornersAndStretchesTheLinesNextToThem) {
    const QImage src = noise_image({20, 16});
    const QSize dest(90, 70);
    const int cx = 5, cy = 4;
    const QImage out = stretched(src, dest, cx, cy);
    const QSize corner(cx, cy);
    EXPECT_TRUE(same_block(out, {0, 0}, src, {0, 0}, corner));
    EXPECT_TRUE(same_block(out, {dest.width() - cx, 0}, src, {20 - cx, 0}, corner));
    EXPECT_TRUE(same_block(out, {0, dest.height() - cy}, src, {0, 16 - cy}, corner));
    EXPECT_TRUE(
        same_block(out, {dest.width() - cx, dest.height() - cy}, src, {20 - cx, 16 - cy}, corner));
    for (int x : {cx, 40, dest.width() - cx - 1}) {
        EXPECT_EQ(out.pixel(x, 1), src.pixel(cx, 1)) << x;                   // top edge
        EXPECT_EQ(out.pixel(x, dest.height() - 1), src.pixel(cx, 15)) << x;  // bottom edge
    }
    for (int y : {cy, 30, dest.height() - cy - 1}) {
        EXPECT_EQ(out.pixel(2, y), src.pixel(2, cy)) << y;                  // left edge
        EXPECT_EQ(out.pixel(dest.width() - 1, y), src.pixel(19, cy)) << y;  // right edge
    }
    EXPECT_EQ(out.pixel(45, 35), src.pixel(cx, cy));
    EXPECT_EQ(out.pixel(cx, cy), src.pixel(cx, cy));
}

TEST(Artwork, EdgeStretchWithOnlyCornerWidthStretchesTheColumnBetween) {
    const QImage src = noise_image({20, 6});
    const QSize dest(100, 6);
    const QImage out = stretched(src, dest, 7, 0);
    EXPECT_TRUE(same_block(out, {0, 0}, src, {0, 0}, {7, 6}));
    EXPECT_TRUE(same_block(out, {93, 0}, src, {13, 0}, {7, 6}));
    for (int y = 0; y < 6; ++y) EXPECT_EQ(out.pixel(50, y), src.pixel(7, y)) << y;
}

TEST(Artwork, EdgeStretchWithOnlyCornerHeightStretchesTheRowBetween) {
    const QImage src = noise_image({3, 30});
    const QSize dest(3, 120);
    const QImage out = stretched(src, dest, 0, 9);
    EXPECT_TRUE(same_block(out, {0, 0}, src, {0, 0}, {3, 9}));
    EXPECT_TRUE(same_block(out, {0, 111}, src, {0, 21}, {3, 9}));
    for (int x = 0; x < 3; ++x) EXPECT_EQ(out.pixel(x, 60), src.pixel(x, 9)) << x;
}

TEST(Artwork, EdgeStretchKeepsCornersOfHighResolutionArt) {
    const QImage src = noise_image({40, 32});
    QPixmap pixmap = QPixmap::fromImage(src);
    pixmap.setDevicePixelRatio(2.0);  // 20x16 logical
    QImage out(QSize(180, 140), QImage::Format_RGB32);
    out.setDevicePixelRatio(2.0);  // 90x70 logical
    out.fill(Qt::magenta);
    {
        QPainter painter(&out);
        draw_edge_stretch(painter, pixmap, QRect(0, 0, 90, 70), 5, 4);
    }
    EXPECT_TRUE(same_block(out, {0, 0}, src, {0, 0}, {10, 8}));
    EXPECT_TRUE(same_block(out, {170, 132}, src, {30, 24}, {10, 8}));
}

}  // namespace
}  // namespace velmora
