#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "present/presenter.h"
#include "small_disk.h"
#include "yv12_pictures.h"

namespace kivra {
namespace {

using test::Colour;

struct Decoded {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;

    Colour at(int x, int y) const {
        const uint8_t* p = &rgb[static_cast<size_t>(y * width + x) * 3];
        return Colour{p[0], p[1], p[2]};
    }
    int white_pixels(int right, int bottom) const {
        int count = 0;
        for (int y = 0; y < bottom; ++y)
            for (int x = 0; x < right; ++x) count += test::near(at(x, y), {255, 255, 255}, 40);
        return count;
    }
};

bool decode_jpeg(const std::string& path, Decoded& out) {
    std::ifstream file(path, std::ios::binary);
    std::vector<unsigned char> jpeg((std::istreambuf_iterator<char>(file)),
                                    std::istreambuf_iterator<char>());
    if (jpeg.empty()) return false;
    tjhandle handle = tjInitDecompress();
    if (!handle) return false;
    int subsampling = 0, colourspace = 0;
    bool ok = tjDecompressHeader3(handle, jpeg.data(), jpeg.size(), &out.width, &out.height,
                                  &subsampling, &colourspace) == 0;
    if (ok) {
        out.rgb.resize(static_cast<size_t>(out.width * out.height * 3));
        ok = tjDecompress2(handle, jpeg.data(), jpeg.size(), out.rgb.data(), out.width, 0,
                           out.height, TJPF_RGB, 0) == 0;
    }
    tjDestroy(handle);
    return ok;
}

std::vector<uint8_t> solid_rgb(int width, int height, Colour colour) {
    std::vector<uint8_t> rgb(static_cast<size_t>(width * height * 3));
    for (size_t i = 0; i < rgb.size(); i += 3) {
        rgb[i] = static_cast<uint8_t>(colour.r);
        rgb[i + 1] = static_cast<uint8_t>(colour.g);
        rgb[i + 2] = static_cast<uint8_t>(colour.b);
    }
    return rgb;
}

class SnapshotTest : public ::testing::Test {
  protected:
    void SetUp() override {
        directory = std::filesystem::path(FLEET_ARTIFACT_DIR) / "snapshots";
        std::filesystem::create_directories(directory);
    }
    std::string path(const std::string& name) const { return (directory / name).string(); }

    std::filesystem::path directory;
    const Colour colour{200, 60, 40};
};

struct StampCase {
    const char* name;
    int width, height;
    uint32_t time_stamp;
    bool white_expected;
};

class SnapshotStamp : public SnapshotTest, public ::testing::WithParamInterface<StampCase> {};

TEST_P(SnapshotStamp, DecodesBackWithOrWithoutTimeStamp) {
    const StampCase& c = GetParam();
    std::string file = path(c.name);
    std::remove(file.c_str());
    ASSERT_TRUE(write_snapshot_jpeg(file, solid_rgb(c.width, c.height, colour), c.width, c.height,
                                    c.time_stamp));
    Decoded decoded;
    ASSERT_TRUE(decode_jpeg(file, decoded));
    EXPECT_EQ(decoded.width, c.width);
    EXPECT_EQ(decoded.height, c.height);
    Colour bottom_right = decoded.at(c.width - 4, c.height - 4);
    EXPECT_TRUE(test::near(bottom_right, colour, 10)) << test::describe(bottom_right);
    int white = decoded.white_pixels(std::min(c.width, 120), std::min(c.height, 36));
    if (c.white_expected) {
        EXPECT_GT(white, 50);
        // The box behind the text is black.
        EXPECT_TRUE(test::near(decoded.at(1, 1), Colour{0, 0, 0}, 24))
            << test::describe(decoded.at(1, 1));
    } else {
        EXPECT_EQ(white, 0);
        EXPECT_TRUE(test::near(decoded.at(1, 1), colour, 10));
    }
}

INSTANTIATE_TEST_SUITE_P(Snapshots, SnapshotStamp,
                         ::testing::Values(StampCase{"plain.jpg", 320, 240, 0, false},
                                           StampCase{"stamped.jpg", 640, 480, 946684800, true},
                                           StampCase{"stamped_narrow.jpg", 200, 150, 1700000000,
                                                     true},
                                           StampCase{"odd.jpg", 333, 77, 0, false}));

TEST_F(SnapshotTest, LeavesCallerPixelsAlone) {
    std::vector<uint8_t> rgb = solid_rgb(500, 100, colour);
    std::vector<uint8_t> before = rgb;
    ASSERT_TRUE(write_snapshot_jpeg(path("caller.jpg"), rgb, 500, 100, 946684800));
    EXPECT_EQ(rgb, before);
}

struct FailCase {
    const char* name;
    std::string path;
    size_t bytes;
    int width, height;
};

class SnapshotFails : public SnapshotTest, public ::testing::WithParamInterface<FailCase> {};

TEST_P(SnapshotFails, ReportsFalse) {
    const FailCase& c = GetParam();
    std::string file = c.path.empty() ? path("never.jpg") : c.path;
    if (c.path == "directory") {
        file = path("a_directory");
        std::filesystem::create_directories(file);
    } else if (c.path.empty()) {
        std::filesystem::remove(file);
    }
    std::vector<uint8_t> rgb(c.bytes, 128);
    EXPECT_FALSE(write_snapshot_jpeg(file, rgb, c.width, c.height, 946684800));
    if (c.path == "directory") {
        EXPECT_TRUE(std::filesystem::is_directory(file));
    } else {
        EXPECT_FALSE(std::filesystem::exists(file));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, SnapshotFails,
    ::testing::Values(FailCase{"unwritable", "/nonexistent/x.jpg", 64 * 48 * 3, 64, 48},
                      FailCase{"directory", "directory", 64 * 48 * 3, 64, 48},
                      FailCase{"too_few_bytes", "", 64 * 48 * 3 - 1, 64, 48},
                      FailCase{"zero_width", "", 64 * 48 * 3, 0, 48},
                      FailCase{"negative_height", "", 64 * 48 * 3, 64, -1}),
    [](const ::testing::TestParamInfo<FailCase>& param) { return std::string(param.param.name); });

// A full disk shows up as a failed write or close; /dev/full fails every write.
TEST(SnapshotFull, FullDeviceIsAFailure) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    std::vector<uint8_t> rgb(64 * 48 * 3, 128);
    EXPECT_FALSE(write_snapshot_jpeg("/dev/full", rgb, 64, 48, 0));
}

// The same on a real file system that has filled up.
TEST(SnapshotFull, FullFileSystemIsAFailure) {
    fleet::test::SmallDisk disk(64 * 1024);
    if (!disk.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    ASSERT_TRUE(disk.fill());
    std::vector<uint8_t> rgb(64 * 48 * 3, 128);
    EXPECT_FALSE(write_snapshot_jpeg(disk.file("snapshot.jpg"), rgb, 64, 48, 0));
    EXPECT_FALSE(std::filesystem::exists(disk.file("snapshot.jpg"))) << "a partial picture stayed";
}

// A capture of a composed canvas goes through to a JPEG of the captured size.
TEST(SnapshotOfCanvas, CaptureThenWrite) {
    struct Host {
        static void size(void*, int32_t* width, int32_t* height) {
            *width = 640;
            *height = 480;
        }
        static void present(void*, const KivraCanvas*) {}
    };
    KivraVideoTarget target{nullptr, &Host::size, &Host::present};
    Presenter presenter;
    ASSERT_TRUE(presenter.create(&target));
    auto picture = test::solid_yv12(352, 288, Colour{40, 160, 220});
    presenter.begin_frame();
    presenter.set_label("C1", 352 - 40, 288 - 20);
    ASSERT_TRUE(presenter.present(1, 0, picture.data(), 352, 288));
    presenter.end_frame();

    std::vector<uint8_t> rgb;
    int width = 0, height = 0;
    ASSERT_TRUE(presenter.capture(0, 0, 640, 480, rgb, width, height));
    std::filesystem::create_directories(FLEET_ARTIFACT_DIR);
    std::string file = std::string(FLEET_ARTIFACT_DIR) + "/snapshot_canvas.jpg";
    ASSERT_TRUE(write_snapshot_jpeg(file, rgb, width, height, 1700000000));
    Decoded decoded;
    ASSERT_TRUE(decode_jpeg(file, decoded));
    EXPECT_EQ(decoded.width, 640);
    EXPECT_EQ(decoded.height, 480);
    EXPECT_TRUE(test::near(decoded.at(320, 240), Colour{40, 160, 220}, 10));
}

}  // namespace
}  // namespace kivra
