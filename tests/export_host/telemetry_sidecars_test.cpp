// The sidecars from frame sets built here: the CSV's rows and values, and a GPX track that
// xmllint validates against the GPX 1.1 schema.
#include "export_host/telemetry_sidecars.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "frame_sets.h"
#include "process.h"
#include "small_disk.h"

namespace fleet::export_host::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> lines_of(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string text_of(const std::string& path) {
    std::ifstream in(path);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

fleet::test::ProcessResult xmllint(const std::string& path) {
    return fleet::test::run_process({XMLLINT_PATH, "--noout", "--schema", GPX_SCHEMA_PATH, path});
}

class SidecarTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/sidecars_XXXXXX";
        dir_ = mkdtemp(pattern);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // xmllint's verdict on a file against the vendored schema.
    bool valid_gpx(const std::string& path) {
        const auto run = xmllint(path);
        if (run.exit_code != 0) ADD_FAILURE() << run.err;
        return run.exit_code == 0;
    }

    std::string dir_;
};

TEST(FrameTimeTest, FramesSpreadOverTheGopsSecond) {
    EXPECT_EQ(frame_time_text(946684800, 0, 8), "2000-01-01T00:00:00.000Z");
    EXPECT_EQ(frame_time_text(946684800, 3, 8), "2000-01-01T00:00:00.375Z");
    EXPECT_EQ(frame_time_text(1700000000, 14, 15), "2023-11-14T22:13:20.933Z");
}

TEST_F(SidecarTest, CsvHasARowPerFrameWithWhatTheFrameCarries) {
    auto first = make_frame_set(946684800, 2);
    set_position(*first, 0, "2459.9952N", "12130.0000E");
    set_position(*first, 1, "          ", "           ");  // no fix
    auto second = make_frame_set(946684801, 3);
    second->speed_count = 1;  // frames 1 and 2 carry no speed
    // G and temperature bytes arrive sign-extended: 0xFF is -1, and only 0x80 (-128) lies
    // outside the readings.
    second->gsensor[0] = GSensorSample{-128, 0, 64};  // no reading on x
    second->gsensor[2] = GSensorSample{-1, -127, 1};
    second->temperature[1] = -128;  // no reading
    second->temperature[2] = -1;
    second->flag_count = 0;
    set_position(*second, 2, "1030.0000S", "10015.0000W");

    TelemetryCsv csv;
    const std::string path = dir_ + "/t.csv";
    ASSERT_TRUE(csv.open(path).ok());
    csv.add(*first);
    csv.add(*second);
    EXPECT_EQ(csv.rows(), 5);
    ASSERT_TRUE(csv.close().ok());

    EXPECT_EQ(lines_of(path),
              (std::vector<std::string>{
                  "time_utc,speed_kmh,g_x,g_y,g_z,temperature_c,latitude,longitude,alarms",
                  "2000-01-01T00:00:00.000Z,40.5,0.000,2.000,-2.000,21,24.999920,121.500000,"
                  "001000000000",
                  "2000-01-01T00:00:00.500Z,41.5,0.000,2.000,-2.000,21,,,001000000000",
                  "2000-01-01T00:00:01.000Z,40.5,,0.000,1.008,21,,,",
                  "2000-01-01T00:00:01.333Z,,0.000,2.000,-2.000,,,,",
                  "2000-01-01T00:00:01.666Z,,-0.016,-2.000,0.016,-1,-10.500000,-100.250000,",
              }));
}

TEST_F(SidecarTest, SidecarsNeverReplaceAFile) {
    const std::string path = dir_ + "/taken.csv";
    std::ofstream(path) << "earlier evidence\n";
    TelemetryCsv csv;
    EXPECT_FALSE(csv.open(path).ok());
    GpxTrack gpx;
    EXPECT_FALSE(gpx.open(path, "x").ok());
    EXPECT_EQ(text_of(path), "earlier evidence\n");
}

TEST_F(SidecarTest, DiscardRemovesTheFile) {
    TelemetryCsv csv;
    const std::string path = dir_ + "/gone.csv";
    ASSERT_TRUE(csv.open(path).ok());
    csv.add(*make_frame_set(946684800, 4));
    csv.discard();
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(SidecarTest, AFullDiskShowsAtCloseAndDiscardLeavesNothing) {
    fleet::test::SmallDisk disk(64 * 1024);
    if (!disk.mounted()) GTEST_SKIP() << "mounting a small tmpfs needs root";
    TelemetryCsv csv;
    const std::string path = disk.file("full.csv");
    ASSERT_TRUE(csv.open(path).ok());
    auto gop = make_frame_set(946684800, 16);
    for (int i = 0; i < 2000; ++i) csv.add(*gop);  // about 2 MB of rows
    EXPECT_FALSE(csv.close().ok());
    csv.discard();
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(SidecarTest, GpxTrackValidatesAndBreaksWhereTheFixIsLost) {
    auto gop = make_frame_set(1700000000, 4);
    set_position(*gop, 0, "2459.9952N", "12130.0000E");
    set_position(*gop, 1, "2500.0000N", "12130.0010E");
    // frame 2: no fix
    set_position(*gop, 3, "0000.0000N", "18000.0000E");  // the date line, written west
    auto later = make_frame_set(1700000001, 2);
    set_position(*later, 0, "8959.9999S", "17959.9999W");
    set_position(*later, 1, "9000.0000N", "00000.0000E");

    GpxTrack gpx;
    const std::string path = dir_ + "/track.gpx";
    ASSERT_TRUE(gpx.open(path, "BUS <12> & co").ok());
    gpx.add(*gop);
    gpx.add(*later);
    EXPECT_EQ(gpx.points(), 5);
    ASSERT_TRUE(gpx.close().ok());

    const std::string text = text_of(path);
    EXPECT_NE(text.find("<name>BUS &lt;12&gt; &amp; co</name>"), std::string::npos);
    EXPECT_NE(text.find("<trkpt lat=\"24.999920\" lon=\"121.500000\">"
                        "<time>2023-11-14T22:13:20.000Z</time></trkpt>"),
              std::string::npos);
    EXPECT_NE(text.find("lat=\"0.000000\" lon=\"-180.000000\""), std::string::npos);
    size_t segments = 0;
    for (size_t at = text.find("<trkseg>"); at != std::string::npos;
         at = text.find("<trkseg>", at + 1))
        ++segments;
    EXPECT_EQ(segments, 2u);
    EXPECT_TRUE(valid_gpx(path));
}

TEST_F(SidecarTest, AnEmptyTrackIsStillAValidDocument) {
    GpxTrack gpx;
    const std::string path = dir_ + "/empty.gpx";
    ASSERT_TRUE(gpx.open(path, "unknow").ok());
    gpx.add(*make_frame_set(1700000000, 8));  // no positions at all
    ASSERT_TRUE(gpx.close().ok());
    EXPECT_EQ(gpx.points(), 0);
    EXPECT_TRUE(valid_gpx(path));
}

// The schema itself is checked: a point off the globe must fail it, or the checks above prove
// nothing.
TEST_F(SidecarTest, TheSchemaRejectsAPointOffTheGlobe) {
    const std::string path = dir_ + "/bad.gpx";
    std::ofstream(path) << "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"t\" "
                           "xmlns=\"http://www.topografix.com/GPX/1/1\"><trk><trkseg>"
                           "<trkpt lat=\"91.0\" lon=\"0\"/></trkseg></trk></gpx>\n";
    const auto run = xmllint(path);
    EXPECT_GT(run.exit_code, 0);  // ran, and refused the document
    EXPECT_NE(run.err.find("fails to validate"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace fleet::export_host::test
