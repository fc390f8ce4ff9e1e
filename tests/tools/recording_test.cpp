// End to end: recordings made by dvrsim, inspected by dvrtool and checked by FFmpeg's tools.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <set>
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

std::vector<json> telemetry_of(const std::string& base) {
    ProcessResult r = dvrtool({"telemetry", base + ".dvr", "--json"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return json_lines(r.out);
}

struct UnitsCase {
    const char* layout;
    std::vector<int> types;       // of units 1, 2, 3
    std::vector<int> unit_tyres;  // tyres of each unit present
};

void PrintTo(const UnitsCase& c, std::ostream* os) {
    *os << c.layout;
}

class TyreLayoutDecodes : public testing::TestWithParam<UnitsCase> {};

// What a dashboard takes from the decoded frames: the units' layout types and alarm flags in
// the summary, each unit's tyres in turn in the records; a unit is in alarm for an abnormal
// tyre or for its own flag, and both happen.
TEST_P(TyreLayoutDecodes, UnitsTyresAndAlarms) {
    const UnitsCase& c = GetParam();
    TempDir dir;
    const std::string base =
        record(dir, "units", 1, 3, 40, {"--fps", "2", "--no-audio", "--tyre-layout", c.layout});
    expect_telemetry_matches_truth(base);
    int tyres = 0;
    for (int n : c.unit_tyres) tyres += n;
    bool tyre_alarm = false, flag_alarm = false;
    std::set<int> states;
    for (const json& frame : telemetry_of(base)) {
        SCOPED_TRACE(frame.dump());
        const json& summary = frame["tyre_summary"];
        ASSERT_EQ(frame["tyres_per_group"], tyres);
        ASSERT_EQ(frame["tyres"].size(), static_cast<size_t>(tyres));
        size_t at = 0;
        for (size_t u = 0; u < 3; ++u) {
            ASSERT_EQ(summary[u], c.types[u]);
            const int flag = summary[3 + u];
            if (u >= c.unit_tyres.size()) {
                EXPECT_EQ(flag, 0);
                continue;
            }
            EXPECT_TRUE(flag == 1 || flag == 2) << flag;
            bool abnormal = false;
            for (int k = 0; k < c.unit_tyres[u]; ++k, ++at) {
                const json& t = frame["tyres"][at];
                const int state = t["state"];
                states.insert(state);
                abnormal |= state != 1;
                EXPECT_GE(t["temperature"].get<int>(), 20);
                EXPECT_LE(t["temperature"].get<int>(), 70);
                if (state == 1) {
                    EXPECT_GE(t["pressure"].get<double>(), 100);
                    EXPECT_LE(t["pressure"].get<double>(), 120);
                }
            }
            if (abnormal) {
                EXPECT_EQ(flag, 2);
            }
            tyre_alarm |= abnormal;
            flag_alarm |= flag == 2 && !abnormal;
        }
    }
    EXPECT_TRUE(tyre_alarm);
    EXPECT_TRUE(flag_alarm);
    EXPECT_EQ(states, (std::set<int>{1, 2, 3, 4, 5}));
}

INSTANTIATE_TEST_SUITE_P(Vehicles, TyreLayoutDecodes,
                         testing::Values(UnitsCase{"2,4", {2, 4, 0}, {6, 6}},
                                         UnitsCase{"3,14,14", {3, 14, 14}, {6, 12, 12}},
                                         // The most tyres a vehicle has.
                                         UnitsCase{"6,14,14", {6, 14, 14}, {10, 12, 12}}),
                         [](const auto& test) {
                             std::string name = test.param.layout;
                             std::replace(name.begin(), name.end(), ',', '_');
                             return "types_" + name;
                         });

// Version 2 words carry no tyre state: a hot tyre (above 80 C) is the alarm. One of the first
// four tyres gets there, passing exactly 80; all other readings stay at or below 80.
TEST(Recording, Version2HasAHotFrontTyre) {
    TempDir dir;
    const std::string base = record(dir, "hot", 4, 2, 40, {"--fps", "2", "--no-audio"});
    expect_telemetry_matches_truth(base);
    int hot = 0, at_limit = 0, cool = 0;
    for (const json& frame : telemetry_of(base)) {
        ASSERT_EQ(frame["tyre_summary"], json::array({0, 0, 0, 0, 0, 0}));
        const json& tyres = frame["tyres"];
        ASSERT_EQ(tyres.size(), 6u);
        for (size_t i = 0; i < tyres.size(); ++i) {
            const int t = tyres[i]["temperature"];
            EXPECT_EQ(tyres[i]["state"], 0);
            if (t > 80) {
                EXPECT_LT(i, 4u) << frame.dump();
            }
            hot += t > 80;
            at_limit += t == 80;
            cool += t < 80;
        }
    }
    EXPECT_GT(hot, 0);
    EXPECT_GT(at_limit, 0);
    EXPECT_GT(cool, hot);
}

// South and west positions reach the reader as the recorder wrote them, including values
// whose minutes round up into the next degree.
TEST(Recording, OriginSouthAndWest) {
    const std::pair<const char*, const char*> cases[] = {
        {"-33.5,-70.25", "3330.0000S07015.0000W"},
        {"-12.99999999,-77.99999999", "1300.0000S07800.0000W"},
        {"51.5,-0.5", "5130.0000N00030.0000W"},
    };
    TempDir dir;
    for (const auto& [origin, first] : cases) {
        SCOPED_TRACE(origin);
        const std::string base =
            record(dir, "origin", 1, 3, 3, {"--fps", "2", "--no-audio", "--origin", origin});
        expect_telemetry_matches_truth(base);
        const std::vector<json> frames = telemetry_of(base);
        ASSERT_FALSE(frames.empty());
        EXPECT_EQ(frames.front()["position"], first);
        for (const json& frame : frames) {
            const std::string position = frame["position"];
            EXPECT_EQ(position[9], first[9]) << position;
            EXPECT_EQ(position[20], first[20]) << position;
        }
    }
}

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

// Values the recorder cannot take are refused, naming the option.
TEST(Recording, BadTyreLayoutOrOriginIsRefused) {
    TempDir dir;
    const std::vector<std::string> v3 = {
        "--out", dir.file("x"), "--channels", "1", "--stream-version", "3", "--seconds", "1"};
    const struct {
        const char* option;
        const char* value;
        const char* version;
        const char* message;
    } cases[] = {
        {"--tyre-layout", "7", "3", "bad value for --tyre-layout: 7 (one to three layout types"},
        {"--tyre-layout", "0", "3", "bad value for --tyre-layout"},
        {"--tyre-layout", "1,15", "3", "bad value for --tyre-layout"},
        {"--tyre-layout", "1,2,3,4", "3", "bad value for --tyre-layout"},
        {"--tyre-layout", "2,", "3", "bad value for --tyre-layout"},
        {"--tyre-layout", "2,4", "2", "--tyre-layout needs stream version 3"},
        {"--tyre-layout", "2", "1", "--tyre-layout needs stream version 3"},
        {"--origin", "90,0", "3", "bad value for --origin: 90,0 (LAT,LON in decimal degrees"},
        {"--origin", "0,-180", "3", "bad value for --origin"},
        {"--origin", "-33.5", "3", "bad value for --origin"},
        {"--origin", "south,west", "3", "bad value for --origin"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = v3;
        args[5] = c.version;
        args.insert(args.end(), {c.option, c.value});
        ProcessResult r = dvrsim(args);
        EXPECT_EQ(r.exit_code, 2) << c.option << " " << c.value;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

TEST(Recording, UnwritableOutputFailsWithAReason) {
    ProcessResult r = dvrsim({"--out", "/nonexistent-dir/x", "--channels", "1", "--stream-version",
                              "3", "--seconds", "1"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("/nonexistent-dir/x"), std::string::npos) << r.err;
}

}  // namespace
