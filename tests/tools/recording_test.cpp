// End to end: recordings made by dvrsim, inspected by dvrtool and checked by FFmpeg's tools.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "process.h"

namespace {

using fleet::test::ProcessResult;
using fleet::test::run_process;
using fleet::test::split_lines;
using fleet::test::TempDir;
using nlohmann::json;

ProcessResult dvrsim(std::vector<std::string> args) {
    args.insert(args.begin(), {DVRSIM_PATH, "record"});
    return run_process(args);
}

ProcessResult dvrtool(std::vector<std::string> args) {
    args.insert(args.begin(), DVRTOOL_PATH);
    return run_process(args);
}

// Makes BASE.* in dir with the given extra options; fails the test when dvrsim fails.
std::string record(const TempDir& dir, const std::string& name, int channels, int version,
                   int seconds, std::vector<std::string> extra = {}) {
    std::string base = dir.file(name);
    std::vector<std::string> args = {"--out",
                                     base,
                                     "--channels",
                                     std::to_string(channels),
                                     "--stream-version",
                                     std::to_string(version),
                                     "--seconds",
                                     std::to_string(seconds)};
    args.insert(args.end(), extra.begin(), extra.end());
    ProcessResult r = dvrsim(args);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return base;
}

std::vector<json> json_lines(const std::string& text) {
    std::vector<json> out;
    for (const auto& line : split_lines(text)) out.push_back(json::parse(line));
    return out;
}

// Compares what dvrtool reports frame by frame with what the simulator recorded.
void expect_telemetry_matches_truth(const std::string& base) {
    ProcessResult r = dvrtool({"telemetry", base + ".dvr", "--json"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    std::vector<json> reported = json_lines(r.out);
    std::vector<json> truth = json_lines(fleet::test::read_file(base + ".truth.jsonl"));
    ASSERT_FALSE(truth.empty());
    ASSERT_EQ(reported.size(), truth.size());
    for (size_t i = 0; i < truth.size(); ++i) {
        ASSERT_EQ(reported[i], truth[i]) << "line " << i << "\nreported " << reported[i].dump()
                                         << "\ntruth    " << truth[i].dump();
    }
}

struct TelemetryCase {
    const char* name;
    int channels;
    int version;
    std::vector<std::string> options;
};

void PrintTo(const TelemetryCase& c, std::ostream* os) {
    *os << c.name;
}

class TelemetryMatchesTruth : public testing::TestWithParam<TelemetryCase> {};

TEST_P(TelemetryMatchesTruth, EveryFrame) {
    const TelemetryCase& c = GetParam();
    TempDir dir;
    std::string base = record(dir, c.name, c.channels, c.version, 70, c.options);
    expect_telemetry_matches_truth(base);
}

// 70 seconds cover a GPS dropout (seconds 40-44 of each minute) and every tyre alarm kind.
INSTANTIATE_TEST_SUITE_P(
    Recordings, TelemetryMatchesTruth,
    testing::Values(
        TelemetryCase{"v0_no_telemetry", 4, 0, {"--fps", "2"}},
        TelemetryCase{"v1_tyres_old_encoding", 4, 1, {"--fps", "3"}},
        TelemetryCase{"v2_eight_channels", 8, 2, {"--fps", "2", "--audio-channels", "2"}},
        TelemetryCase{"v3_one_channel", 1, 3, {"--fps", "5"}},
        TelemetryCase{"v3_eight_channel_inputs", 8, 3, {"--fps", "2", "--audio-bits", "8"}},
        TelemetryCase{"v3_sixteen_channels", 16, 3, {"--fps", "1"}},
        // Bytes that are not UTF-8 read the same way in both.
        TelemetryCase{"v3_vehicle_id_not_utf8",
                      1,
                      3,
                      {"--fps", "1", "--vehicle-id",
                       "\xD4\xC1"
                       "B\xFF"}}),
    [](const auto& test) { return std::string(test.param.name); });

int count_frames_with_ffprobe(const std::string& h264) {
    ProcessResult r = run_process({FFPROBE_PATH, "-v", "error", "-count_frames", "-select_streams",
                                   "v:0", "-show_entries", "stream=nb_read_frames", "-of",
                                   "csv=p=0", "-f", "h264", h264});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    return r.exit_code == 0 ? std::stoi(r.out) : -1;
}

// Every channel's elementary stream decodes with the real FFmpeg, without a decoder error,
// with as many pictures as the recording holds.
TEST(Recording, EveryChannelDecodesWithFfmpeg) {
    TempDir dir;
    for (int channels : {4, 8}) {
        std::string base =
            record(dir, "ch" + std::to_string(channels), channels, 3, 3, {"--fps", "6"});
        ProcessResult info = dvrtool({"info", base + ".dvr", "--json"});
        ASSERT_EQ(info.exit_code, 0) << info.err;
        json summary = json::parse(info.out);
        EXPECT_EQ(summary["channels"], channels);
        EXPECT_EQ(summary["gops"], 3);
        EXPECT_EQ(summary["frames_per_channel"], 18);
        for (int c = 1; c <= channels; ++c) {
            std::string es = dir.file("ch" + std::to_string(c) + ".h264");
            ProcessResult x =
                dvrtool({"extract-es", base + ".dvr", "--channel", std::to_string(c), "-o", es});
            ASSERT_EQ(x.exit_code, 0) << x.err;
            EXPECT_EQ(count_frames_with_ffprobe(es), 18) << "channel " << c;
            ProcessResult decode = run_process(
                {FFMPEG_PATH, "-v", "error", "-f", "h264", "-i", es, "-f", "null", "-"});
            EXPECT_EQ(decode.exit_code, 0);
            EXPECT_EQ(decode.err, "") << "channel " << c;
        }
    }
}

// The camera scene is what the decode benchmark measures footage with: it must cost the
// encoder what a recorder spends on D1 (around 1 to 2 Mbit/s), not the few kbit/s of flat
// colours, and still be a stream FFmpeg decodes without complaint.
TEST(Recording, CameraSceneHasTheBitrateOfFootage) {
    TempDir dir;
    const std::vector<std::string> d1 = {"--resolution", "d1", "--fps", "15", "--no-audio"};
    const std::string flat = record(dir, "flat", 1, 3, 2, d1);
    std::vector<std::string> camera_options = d1;
    camera_options.insert(camera_options.end(), {"--scene", "camera"});
    const std::string camera = record(dir, "camera", 1, 3, 2, camera_options);

    const std::string es = dir.file("camera.h264");
    ProcessResult x = dvrtool({"extract-es", camera + ".dvr", "--channel", "1", "-o", es});
    ASSERT_EQ(x.exit_code, 0) << x.err;
    using fleet::test::read_file;
    const double kbit_per_second = static_cast<double>(read_file(es).size()) * 8 / 2000;
    EXPECT_GT(kbit_per_second, 800);
    EXPECT_LT(kbit_per_second, 3000);
    EXPECT_GT(read_file(camera + ".dvr").size(), 10 * read_file(flat + ".dvr").size());
    EXPECT_EQ(count_frames_with_ffprobe(es), 30);
    ProcessResult decode =
        run_process({FFMPEG_PATH, "-v", "error", "-f", "h264", "-i", es, "-f", "null", "-"});
    EXPECT_EQ(decode.exit_code, 0);
    EXPECT_EQ(decode.err, "");
}

TEST(Recording, SameSeedSameBytesOtherSeedOtherBytes) {
    TempDir dir;
    std::string a = record(dir, "a", 4, 3, 3, {"--seed", "7"});
    std::string b = record(dir, "b", 4, 3, 3, {"--seed", "7"});
    std::string c = record(dir, "c", 4, 3, 3, {"--seed", "8"});
    using fleet::test::read_file;
    EXPECT_EQ(read_file(a + ".dvr"), read_file(b + ".dvr"));
    EXPECT_EQ(read_file(a + ".inx"), read_file(b + ".inx"));
    EXPECT_NE(read_file(a + ".dvr"), read_file(c + ".dvr"));
}

// Damage is found by verify, and everything that survives still reads as recorded.
TEST(Recording, DamageIsReportedAndTheRestReadsAsRecorded) {
    const char* kinds[] = {"garbage", "corrupt-header", "truncate", "zero-length-magic"};
    TempDir dir;
    for (const char* kind : kinds) {
        SCOPED_TRACE(kind);
        std::string base = record(dir, kind, 4, 3, 8, {"--fps", "2", "--damage", kind});
        ProcessResult verify = dvrtool({"verify", base + ".dvr"});
        bool is_damage = std::string(kind) != "zero-length-magic";
        EXPECT_EQ(verify.exit_code, is_damage ? 1 : 0) << verify.out << verify.err;
        expect_telemetry_matches_truth(base);
    }
}

TEST(Recording, BadUsageExitsTwo) {
    TempDir dir;
    std::string out = dir.file("x");
    const std::vector<std::vector<std::string>> bad = {
        {},                                                                            // nothing
        {"--out", out, "--channels", "4", "--stream-version", "3"},                    // no seconds
        {"--out", out, "--channels", "3", "--stream-version", "3", "--seconds", "1"},  // channels
        {"--out", out, "--channels", "8", "--stream-version", "1", "--seconds", "1"},  // too many
        {"--out", out, "--channels", "16", "--stream-version", "2", "--seconds", "1"},  // 16 on v2
        {"--out", out, "--channels", "4", "--stream-version", "4", "--seconds", "1"},   // version
        {"--out", out, "--channels", "4", "--stream-version", "3", "--seconds", "1", "--fps", "16"},
        {"--out", out, "--channels", "4", "--stream-version", "3", "--seconds", "1", "--audio-rate",
         "48000"},
        {"--out", out, "--channels", "4", "--stream-version", "3", "--seconds", "1", "--damage",
         "fire"},
        {"--out", out, "--channels", "4", "--stream-version", "3", "--seconds", "x"},
        {"--out", out, "--channels", "4", "--stream-version", "3", "--seconds", "1", "--scene",
         "sunset"},
    };
    for (const auto& args : bad) {
        ProcessResult r = dvrsim(args);
        EXPECT_EQ(r.exit_code, 2) << testing::PrintToString(args);
        EXPECT_NE(r.err, "");
    }
    EXPECT_EQ(run_process({DVRSIM_PATH, "--help"}).exit_code, 0);
    EXPECT_EQ(run_process({DVRSIM_PATH, "play"}).exit_code, 2);
}

TEST(Recording, UnwritableOutputFailsWithAReason) {
    ProcessResult r = dvrsim({"--out", "/nonexistent-dir/x", "--channels", "1", "--stream-version",
                              "3", "--seconds", "1"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("/nonexistent-dir/x"), std::string::npos) << r.err;
}

}  // namespace
