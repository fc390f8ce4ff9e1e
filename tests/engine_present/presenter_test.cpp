#include "present/presenter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "report/png_writer.h"
#include "yv12_pictures.h"

namespace kivra {
namespace {

using test::Colour;

// The host side: a video area of a settable size that keeps a copy of each canvas.
struct FakeTarget {
    int32_t width = 0, height = 0;
    int presents = 0;
    int canvas_width = 0, canvas_height = 0, canvas_stride = 0;
    std::vector<uint8_t> pixels;

    KivraVideoTarget target() { return KivraVideoTarget{this, &size_of, &present_canvas}; }

    static void size_of(void* user, int32_t* width, int32_t* height) {
        auto* self = static_cast<FakeTarget*>(user);
        *width = self->width;
        *height = self->height;
    }
    static void present_canvas(void* user, const KivraCanvas* canvas) {
        auto* self = static_cast<FakeTarget*>(user);
        ++self->presents;
        self->canvas_width = canvas->width;
        self->canvas_height = canvas->height;
        self->canvas_stride = canvas->stride;
        self->pixels.assign(canvas->pixels,
                            canvas->pixels + static_cast<size_t>(canvas->stride) * canvas->height);
    }

    Colour at(int x, int y) const {
        const uint8_t* p = &pixels[static_cast<size_t>(y) * canvas_stride + x * 4];
        return Colour{p[2], p[1], p[0]};
    }
    int alpha_at(int x, int y) const {
        return pixels[static_cast<size_t>(y) * canvas_stride + x * 4 + 3];
    }

    void save(const std::string& name) const {
        std::filesystem::create_directories(FLEET_ARTIFACT_DIR);
        std::string path = std::string(FLEET_ARTIFACT_DIR) + "/" + name;
        EXPECT_TRUE(
            fleet::write_png(path, pixels.data(), canvas_width, canvas_height, canvas_stride))
            << path;
    }
};

constexpr int kCif = 352, kCifRows = 288;
const Colour kCellColours[] = {{220, 40, 40},  {240, 220, 40}, {40, 160, 220}, {200, 200, 200},
                               {150, 60, 200}, {60, 200, 120}, {250, 140, 30}, {120, 120, 120}};

std::string channel_label(int channel) {
    return "C" + std::to_string(channel + 1);
}

// The label rectangle of a picture, mapped into its cell of the canvas.
struct Region {
    int left, top, right, bottom;
};

Region label_in_cell(const CellRect& cell, int picture_width, int picture_height, int box_width,
                     int box_height) {
    auto map_x = [&](int x) { return cell.left + x * cell.width / picture_width; };
    auto map_y = [&](int y) { return cell.top + y * cell.height / picture_height; };
    int x = picture_width - 40, y = picture_height - 20;
    return Region{map_x(x), map_y(y), map_x(x + box_width), map_y(y + box_height)};
}

struct RegionColours {
    int green = 0, blue = 0, other = 0;
};

RegionColours count_colours(const FakeTarget& host, Region region) {
    RegionColours counts;
    for (int y = region.top; y < region.bottom; ++y) {
        for (int x = region.left; x < region.right; ++x) {
            Colour c = host.at(x, y);
            if (test::is_green(c)) {
                ++counts.green;
            } else if (test::is_blue(c)) {
                ++counts.blue;
            } else {
                ++counts.other;
            }
        }
    }
    return counts;
}

class PresenterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        KivraVideoTarget target = host.target();
        ASSERT_TRUE(presenter.create(&target));
    }

    bool present_channel(int layout, int position, const std::vector<uint8_t>* picture, int width,
                         int height) {
        presenter.set_label(channel_label(position).c_str(), width - 40, height - 20);
        return presenter.present(layout, position, picture ? picture->data() : nullptr, width,
                                 height);
    }

    FakeTarget host;
    Presenter presenter;
};

TEST(PresenterLifetime, CreateAndRelease) {
    Presenter presenter;
    EXPECT_FALSE(presenter.created());
    EXPECT_FALSE(presenter.create(nullptr));
    EXPECT_FALSE(presenter.created());
    FakeTarget host;
    KivraVideoTarget target = host.target();
    EXPECT_TRUE(presenter.create(&target));
    EXPECT_TRUE(presenter.created());
    presenter.release();
    EXPECT_FALSE(presenter.created());
}

TEST_F(PresenterTest, FourCellsInTheirQuarters) {
    host.width = 800;
    host.height = 600;
    presenter.begin_frame();
    for (int position = 0; position < 4; ++position) {
        auto picture = test::solid_yv12(kCif, kCifRows, kCellColours[position]);
        ASSERT_TRUE(present_channel(4, position, &picture, kCif, kCifRows));
    }
    presenter.end_frame();
    ASSERT_EQ(host.presents, 1);
    ASSERT_EQ(host.canvas_width, 800);
    ASSERT_EQ(host.canvas_height, 600);
    ASSERT_EQ(host.canvas_stride, 800 * 4);
    host.save("present_4cells.png");

    for (int position = 0; position < 4; ++position) {
        SCOPED_TRACE(position);
        CellRect cell;
        ASSERT_TRUE(cell_rect(4, position, 800, 600, cell));
        Colour centre = host.at(cell.left + cell.width / 2, cell.top + cell.height / 2);
        EXPECT_TRUE(test::near(centre, kCellColours[position], 6)) << test::describe(centre);
        // Corners just inside the cell, away from the label.
        EXPECT_TRUE(test::near(host.at(cell.left + 3, cell.top + 3), kCellColours[position], 6));
        EXPECT_TRUE(test::near(host.at(cell.left + 3, cell.top + cell.height - 4),
                               kCellColours[position], 6));

        // "Cn" at scale 2: 22x14 with a 2-pixel margin.
        Region label = label_in_cell(cell, kCif, kCifRows, 26, 18);
        RegionColours counts = count_colours(host, label);
        EXPECT_GT(counts.green, 4);
        EXPECT_GT(counts.blue, 4);
        Region beside = {label.left - 30, label.top - 20, label.left - 5, label.top - 5};
        RegionColours plain = count_colours(host, beside);
        EXPECT_EQ(plain.green + plain.blue, 0);
    }
    for (int y = 0; y < 600; y += 7) {
        for (int x = 0; x < 800; x += 5) ASSERT_EQ(host.alpha_at(x, y), 255) << x << "," << y;
    }
}

TEST_F(PresenterTest, MissingPictureIsBlackWithLabel) {
    host.width = 800;
    host.height = 600;
    presenter.begin_frame();
    ASSERT_TRUE(present_channel(4, 0, nullptr, kCif, kCifRows));
    presenter.end_frame();
    CellRect cell;
    ASSERT_TRUE(cell_rect(4, 0, 800, 600, cell));
    for (auto [x, y] : {std::pair{200, 150}, std::pair{5, 5}, std::pair{390, 250}}) {
        EXPECT_TRUE(test::near(host.at(x, y), Colour{0, 0, 0}, 8)) << test::describe(host.at(x, y));
    }
    RegionColours counts = count_colours(host, label_in_cell(cell, kCif, kCifRows, 26, 18));
    EXPECT_GT(counts.green, 4);
    EXPECT_GT(counts.blue, 4);
}

TEST_F(PresenterTest, LabelServesOnePicture) {
    host.width = 704;
    host.height = 576;
    auto picture = test::solid_yv12(kCif, kCifRows, kCellColours[3]);
    presenter.begin_frame();
    ASSERT_TRUE(present_channel(4, 0, &picture, kCif, kCifRows));
    ASSERT_TRUE(presenter.present(4, 1, picture.data(), kCif, kCifRows));
    presenter.end_frame();
    CellRect first, second;
    ASSERT_TRUE(cell_rect(4, 0, 704, 576, first));
    ASSERT_TRUE(cell_rect(4, 1, 704, 576, second));
    RegionColours labelled = count_colours(host, label_in_cell(first, kCif, kCifRows, 26, 18));
    RegionColours unlabelled = count_colours(host, label_in_cell(second, kCif, kCifRows, 26, 18));
    EXPECT_GT(labelled.green, 4);
    EXPECT_EQ(unlabelled.green + unlabelled.blue, 0);
}

TEST_F(PresenterTest, NineCellsWithEightChannels) {
    host.width = 900;
    host.height = 600;
    presenter.begin_frame();
    for (int position = 0; position < 8; ++position) {
        auto picture = test::solid_yv12(kCif, kCifRows, kCellColours[position], true);
        ASSERT_TRUE(present_channel(9, position, &picture, kCif, kCifRows));
    }
    presenter.end_frame();
    host.save("present_9cells_8channels.png");

    for (int position = 0; position < 8; ++position) {
        SCOPED_TRACE(position);
        CellRect cell;
        ASSERT_TRUE(cell_rect(9, position, 900, 600, cell));
        Colour centre = host.at(cell.left + cell.width / 2, cell.top + cell.height / 2);
        EXPECT_TRUE(test::near(centre, kCellColours[position], 6)) << test::describe(centre);
    }
    CellRect empty;
    ASSERT_TRUE(cell_rect(9, 8, 900, 600, empty));
    for (int y = empty.top; y < empty.top + empty.height; ++y) {
        for (int x = empty.left; x < empty.left + empty.width; ++x) {
            ASSERT_TRUE(test::near(host.at(x, y), Colour{0, 0, 0}, 0)) << x << "," << y;
        }
    }
}

TEST_F(PresenterTest, FullScreenD1) {
    host.width = 1280;
    host.height = 720;
    auto picture = test::solid_yv12(704, 576, kCellColours[5], true);
    presenter.begin_frame();
    ASSERT_TRUE(present_channel(1, 0, &picture, 704, 576));
    presenter.end_frame();
    host.save("present_fullscreen.png");
    EXPECT_TRUE(test::near(host.at(640, 360), kCellColours[5], 6));
    // D1: scale 2, "C1" is 22x14 with a 2-pixel margin.
    CellRect cell{0, 0, 1280, 720};
    RegionColours counts = count_colours(host, label_in_cell(cell, 704, 576, 26, 18));
    EXPECT_GT(counts.green, 40);
    EXPECT_GT(counts.blue, 40);
}

TEST_F(PresenterTest, CanvasFollowsTargetSize) {
    auto picture = test::solid_yv12(kCif, kCifRows, kCellColours[0]);
    struct Step {
        int width, height;
    };
    for (Step step : {Step{640, 480}, Step{320, 240}, Step{321, 199}, Step{1024, 768}}) {
        SCOPED_TRACE(std::to_string(step.width) + "x" + std::to_string(step.height));
        host.width = step.width;
        host.height = step.height;
        presenter.begin_frame();
        ASSERT_TRUE(present_channel(1, 0, &picture, kCif, kCifRows));
        presenter.end_frame();
        EXPECT_EQ(host.canvas_width, step.width);
        EXPECT_EQ(host.canvas_height, step.height);
        EXPECT_EQ(host.canvas_stride, step.width * 4);
        EXPECT_TRUE(test::near(host.at(step.width / 2, step.height / 2), kCellColours[0], 6));
    }
}

TEST_F(PresenterTest, MinimisedAreaDrawsNothing) {
    auto picture = test::solid_yv12(kCif, kCifRows, kCellColours[1]);
    host.width = 400;
    host.height = 300;
    presenter.begin_frame();
    ASSERT_TRUE(present_channel(1, 0, &picture, kCif, kCifRows));
    presenter.end_frame();
    ASSERT_EQ(host.presents, 1);

    host.width = 0;
    host.height = 0;
    presenter.begin_frame();
    EXPECT_TRUE(present_channel(4, 2, &picture, kCif, kCifRows));
    EXPECT_FALSE(present_channel(4, 4, &picture, kCif, kCifRows));
    presenter.end_frame();
    EXPECT_EQ(host.presents, 1);

    // The last real canvas stays for repaint and capture.
    presenter.repaint();
    EXPECT_EQ(host.presents, 2);
    EXPECT_EQ(host.canvas_width, 400);
    std::vector<uint8_t> rgb;
    int width = 0, height = 0;
    EXPECT_TRUE(presenter.capture(0, 0, 400, 300, rgb, width, height));
}

struct BadPresent {
    int layout, position, width, height;
};

class PresenterRejects : public PresenterTest, public ::testing::WithParamInterface<BadPresent> {};

TEST_P(PresenterRejects, BadArguments) {
    const BadPresent& c = GetParam();
    host.width = 640;
    host.height = 480;
    auto picture = test::solid_yv12(kCif, kCifRows, kCellColours[0]);
    presenter.begin_frame();
    EXPECT_FALSE(presenter.present(c.layout, c.position, picture.data(), c.width, c.height));
    presenter.end_frame();
    // Nothing was drawn.
    EXPECT_TRUE(test::near(host.at(320, 240), Colour{0, 0, 0}, 0));
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, PresenterRejects,
    ::testing::Values(BadPresent{1, 1, kCif, kCifRows}, BadPresent{1, -1, kCif, kCifRows},
                      BadPresent{4, 4, kCif, kCifRows}, BadPresent{9, 9, kCif, kCifRows},
                      BadPresent{2, 0, kCif, kCifRows}, BadPresent{16, 0, kCif, kCifRows},
                      BadPresent{1, 0, 0, kCifRows}, BadPresent{1, 0, -2, kCifRows},
                      BadPresent{1, 0, kCif, 0}, BadPresent{1, 0, kCif, -8},
                      BadPresent{1, 0, 9000, 10}));

TEST_F(PresenterTest, PresentOutsideFrameIsRefused) {
    host.width = 640;
    host.height = 480;
    auto picture = test::solid_yv12(kCif, kCifRows, kCellColours[0]);
    EXPECT_FALSE(presenter.present(1, 0, picture.data(), kCif, kCifRows));
    presenter.begin_frame();
    presenter.end_frame();
    EXPECT_FALSE(presenter.present(1, 0, picture.data(), kCif, kCifRows));
}

TEST_F(PresenterTest, OddPictureSizes) {
    host.width = 640;
    host.height = 480;
    struct Size {
        int width, height;
    };
    for (Size size : {Size{1, 1}, Size{3, 5}, Size{175, 143}, Size{2, 2}}) {
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
        auto picture = test::solid_yv12(size.width, size.height, kCellColours[2]);
        presenter.begin_frame();
        ASSERT_TRUE(presenter.present(1, 0, picture.data(), size.width, size.height));
        presenter.end_frame();
        Colour centre = host.at(320, 240);
        if (size.width < 2 || size.height < 2) {
            // No chroma sample in the source: grey of its luma.
            EXPECT_EQ(centre.r, centre.g);
            EXPECT_EQ(centre.g, centre.b);
        } else {
            EXPECT_TRUE(test::near(centre, kCellColours[2], 6)) << test::describe(centre);
        }
    }
}

TEST_F(PresenterTest, RepaintPresentsLastCanvas) {
    presenter.repaint();
    EXPECT_EQ(host.presents, 0);
    host.width = 320;
    host.height = 240;
    auto picture = test::solid_yv12(kCif, kCifRows, kCellColours[4]);
    presenter.begin_frame();
    ASSERT_TRUE(present_channel(1, 0, &picture, kCif, kCifRows));
    presenter.end_frame();
    std::vector<uint8_t> first = host.pixels;
    host.pixels.clear();
    presenter.repaint();
    EXPECT_EQ(host.presents, 2);
    EXPECT_EQ(host.pixels, first);
}

struct CaptureCase {
    int left, top, right, bottom;
    bool ok;
    int width, height, origin_x, origin_y;
};

class PresenterCapture : public PresenterTest, public ::testing::WithParamInterface<CaptureCase> {};

TEST_P(PresenterCapture, ClipsToCanvas) {
    const CaptureCase& c = GetParam();
    host.width = 200;
    host.height = 100;
    presenter.begin_frame();
    for (int position = 0; position < 4; ++position) {
        auto picture = test::solid_yv12(64, 48, kCellColours[position]);
        ASSERT_TRUE(presenter.present(4, position, picture.data(), 64, 48));
    }
    presenter.end_frame();

    std::vector<uint8_t> rgb;
    int width = -1, height = -1;
    ASSERT_EQ(presenter.capture(c.left, c.top, c.right, c.bottom, rgb, width, height), c.ok);
    if (!c.ok) return;
    ASSERT_EQ(width, c.width);
    ASSERT_EQ(height, c.height);
    ASSERT_EQ(rgb.size(), static_cast<size_t>(width * height * 3));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Colour canvas = host.at(c.origin_x + x, c.origin_y + y);
            const uint8_t* p = &rgb[static_cast<size_t>(y * width + x) * 3];
            ASSERT_EQ(p[0], canvas.r);
            ASSERT_EQ(p[1], canvas.g);
            ASSERT_EQ(p[2], canvas.b);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Areas, PresenterCapture,
                         ::testing::Values(CaptureCase{0, 0, 200, 100, true, 200, 100, 0, 0},
                                           CaptureCase{-10, -10, 20, 30, true, 20, 30, 0, 0},
                                           CaptureCase{150, 60, 500, 500, true, 50, 40, 150, 60},
                                           CaptureCase{99, 49, 101, 51, true, 2, 2, 99, 49},
                                           CaptureCase{-50, -50, 300, 300, true, 200, 100, 0, 0},
                                           CaptureCase{200, 0, 250, 10, false, 0, 0, 0, 0},
                                           CaptureCase{0, 100, 10, 120, false, 0, 0, 0, 0},
                                           CaptureCase{-20, -20, 0, 0, false, 0, 0, 0, 0},
                                           CaptureCase{10, 10, 10, 20, false, 0, 0, 0, 0},
                                           CaptureCase{30, 30, 20, 20, false, 0, 0, 0, 0}));

TEST_F(PresenterTest, CaptureBeforeAnyFrameFails) {
    std::vector<uint8_t> rgb;
    int width = 0, height = 0;
    EXPECT_FALSE(presenter.capture(0, 0, 10, 10, rgb, width, height));
}

TEST_F(PresenterTest, ReleaseDropsCanvas) {
    host.width = 64;
    host.height = 64;
    presenter.begin_frame();
    presenter.end_frame();
    std::vector<uint8_t> rgb;
    int width = 0, height = 0;
    EXPECT_TRUE(presenter.capture(0, 0, 10, 10, rgb, width, height));
    presenter.release();
    EXPECT_FALSE(presenter.capture(0, 0, 10, 10, rgb, width, height));
    presenter.repaint();
    EXPECT_EQ(host.presents, 1);
}

// repaint and capture from another thread while frames are composed: every canvas the host
// receives is a finished one of the current size.
TEST_F(PresenterTest, CaptureAndRepaintFromAnotherThread) {
    host.width = 320;
    host.height = 240;
    auto picture = test::solid_yv12(kCif, kCifRows, kCellColours[0]);
    std::atomic<bool> stop{false};
    std::atomic<int> captures{0}, unfinished{0};
    std::thread other([&] {
        std::vector<uint8_t> rgb;
        int width = 0, height = 0;
        while (!stop) {
            presenter.repaint();
            if (presenter.capture(0, 0, 320, 240, rgb, width, height)) {
                ++captures;
                size_t centre = (120 * 320 + 160) * 3;
                if (!test::near(Colour{rgb[0], rgb[1], rgb[2]}, kCellColours[0], 6) ||
                    !test::near(Colour{rgb[centre], rgb[centre + 1], rgb[centre + 2]},
                                kCellColours[0], 6)) {
                    ++unfinished;
                }
            }
        }
    });
    for (int frame = 0; frame < 200; ++frame) {
        presenter.begin_frame();
        ASSERT_TRUE(present_channel(1, 0, &picture, kCif, kCifRows));
        presenter.end_frame();
    }
    stop = true;
    other.join();
    EXPECT_GT(captures.load(), 0);
    EXPECT_EQ(unfinished.load(), 0);
    EXPECT_TRUE(test::near(host.at(160, 120), kCellColours[0], 6));
}

}  // namespace
}  // namespace kivra
