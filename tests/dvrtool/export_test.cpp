// dvrtool export end to end: dvrsim recordings exported through the engine, the export session
// and the extraction library, the files checked with ffprobe, ffmpeg, xmllint and dvrtool.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "process.h"
#include "run_dvrtool.h"
#include "small_disk.h"

extern char** environ;

namespace dvrtool_test {
namespace {

namespace fs = std::filesystem;
using fleet::test::read_file;
using fleet::test::run_process;
using fleet::test::split_lines;
using fleet::test::TempDir;

constexpr uint32_t kStart = 1710032400;  // 2024-03-10 01:00:00 UTC
constexpr int kSeconds = 12;             // one GOP a second
constexpr int kFps = 8;
constexpr int kChannels = 4;

std::string utc(uint32_t seconds) {
    const std::time_t t = seconds;
    std::tm parts{};
    gmtime_r(&t, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

std::set<std::string> files_in(const std::string& dir) {
    std::set<std::string> files;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(dir, error)) {
        if (entry.is_regular_file()) files.insert(entry.path().string());
    }
    return files;
}

bool ends_with(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The one written file whose name ends in `suffix`, or "" when none or several do.
std::string file_ending(const std::vector<std::string>& files, const std::string& suffix) {
    std::string found;
    for (const std::string& f : files) {
        if (!ends_with(f, suffix)) continue;
        if (!found.empty()) return "";
        found = f;
    }
    return found;
}

int video_frames(const std::string& file) {
    const auto probed =
        run_process({FFPROBE_PATH, "-v", "error", "-select_streams", "v:0", "-count_frames",
                     "-show_entries", "stream=nb_read_frames", "-of", "csv=p=0", file});
    if (probed.exit_code != 0 || !probed.err.empty()) return -1;
    return std::stoi(probed.out);
}

std::string decode_errors(const std::string& file) {
    const auto decoded = run_process({FFMPEG_PATH, "-v", "error", "-i", file, "-f", "null", "-"});
    return decoded.exit_code == 0 ? decoded.err : "ffmpeg failed: " + decoded.err;
}

long csv_rows(const std::string& file) {
    const auto lines = split_lines(read_file(file));
    return static_cast<long>(lines.size()) - 1;  // less the header row
}

fleet::test::ProcessResult validate_gpx(const std::string& file) {
    return run_process({XMLLINT_PATH, "--noout", "--schema", GPX_SCHEMA_PATH, file});
}

// ---- a four-channel file pair ---------------------------------------------------------------

class ExportOfPair : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        recording_ = new TempDir;
        const auto made =
            run_process({DVRSIM_PATH, "record", "--out", base(), "--channels",
                         std::to_string(kChannels), "--stream-version", "3", "--seconds",
                         std::to_string(kSeconds), "--fps", std::to_string(kFps), "--unit-every",
                         "2", "--start", std::to_string(kStart), "--vehicle-id", "BUS 7/A"});
        ASSERT_EQ(made.exit_code, 0) << made.err;
    }
    static void TearDownTestSuite() {
        delete recording_;
        recording_ = nullptr;
    }
    static std::string base() { return recording_->file("drive"); }
    static std::string dvr() { return base() + ".dvr"; }

    // dvrtool export of the pair from kStart + from to kStart + to into out_, then `extra`.
    fleet::test::ProcessResult run_export(int from, int to, std::vector<std::string> extra) {
        std::vector<std::string> args = {
            "export", dvr(), "--from", utc(kStart + from), "--to", utc(kStart + to), "-o", out()};
        args.insert(args.end(), extra.begin(), extra.end());
        return dvrtool(args);
    }
    std::string out() const { return dir_.file("out"); }

    static TempDir* recording_;
    TempDir dir_;
};
TempDir* ExportOfPair::recording_ = nullptr;

// Units every 2 GOPs: from second 2 to second 6 exports the GOPs of seconds 2 to 5.
constexpr int kFrom = 2, kTo = 6;
constexpr int kFramesOfRange = (kTo - kFrom) * kFps;

enum class Check { FrameCount, PlaysQuietly, DecodesQuietly, VerifiesAsPair };

struct KindCase {
    const char* name;
    std::vector<std::string> options;
    std::vector<std::string> suffixes;  // of the video files, beside the two sidecars
    Check check;
};

void PrintTo(const KindCase& c, std::ostream* os) {
    *os << c.name;
}

const KindCase kKinds[] = {
    {"avi_of_channels_1_and_3",
     {"--avi", "--channels", "1,3"},
     {"_ch1.avi", "_ch3.avi"},
     Check::FrameCount},
    {"mp4_of_every_channel",
     {"--mp4"},
     {"_ch1.mp4", "_ch2.mp4", "_ch3.mp4", "_ch4.mp4"},
     Check::PlaysQuietly},
    {"mosaic", {"--mosaic"}, {"_ch_all.avi"}, Check::DecodesQuietly},
    {"file_pair", {"--pair"}, {".dvr", ".inx"}, Check::VerifiesAsPair},
};

class ExportKinds : public ExportOfPair, public testing::WithParamInterface<KindCase> {};

TEST_P(ExportKinds, WritesExactlyTheAskedFilesWithTheRangesFramesAndSidecars) {
    const KindCase& c = GetParam();
    const auto exported = run_export(kFrom, kTo, c.options);
    ASSERT_EQ(exported.exit_code, 0) << exported.err;
    EXPECT_EQ(exported.err, "") << "no progress bar or chatter when stderr is not a terminal";

    const std::vector<std::string> listed = split_lines(exported.out);
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), files_in(out()));
    ASSERT_EQ(listed.size(), c.suffixes.size() + 2);
    for (const std::string& suffix : c.suffixes) {
        const std::string video = file_ending(listed, suffix);
        ASSERT_NE(video, "") << suffix;
        EXPECT_EQ(fs::path(video).filename().string().rfind("BUS 7_A_", 0), 0u) << video;
        switch (c.check) {
            case Check::FrameCount:
            case Check::PlaysQuietly:
                EXPECT_EQ(video_frames(video), kFramesOfRange) << video;
                break;
            case Check::DecodesQuietly:
                EXPECT_EQ(decode_errors(video), "") << video;
                break;
            case Check::VerifiesAsPair:
                if (suffix == ".dvr") {
                    const auto verified = dvrtool({"verify", video});
                    EXPECT_EQ(verified.exit_code, 0) << verified.out << verified.err;
                }
                break;
        }
    }
    const std::string csv = file_ending(listed, "_telemetry.csv");
    ASSERT_NE(csv, "");
    EXPECT_EQ(csv_rows(csv), kFramesOfRange);
    const std::string gpx = file_ending(listed, ".gpx");
    ASSERT_NE(gpx, "");
    const auto valid = validate_gpx(gpx);
    EXPECT_EQ(valid.exit_code, 0) << valid.err;
}

INSTANTIATE_TEST_SUITE_P(Kinds, ExportKinds, testing::ValuesIn(kKinds),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(ExportOfPair, ASecondExportOfTheSameRangeTakesNewNames) {
    const auto first = run_export(kFrom, kTo, {"--pair"});
    const auto second = run_export(kFrom, kTo, {"--pair"});
    ASSERT_EQ(first.exit_code, 0) << first.err;
    ASSERT_EQ(second.exit_code, 0) << second.err;
    const auto a = split_lines(first.out), b = split_lines(second.out);
    std::set<std::string> all(a.begin(), a.end());
    all.insert(b.begin(), b.end());
    EXPECT_EQ(all.size(), a.size() + b.size()) << "nothing was overwritten";
    EXPECT_EQ(all, files_in(out()));
}

// ---- refusals -------------------------------------------------------------------------------

struct RefusalCase {
    const char* name;
    std::string from, to;
    std::vector<std::string> options;
    int exit_code;
    const char* says;  // part of the message on stderr
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.name;
}

const RefusalCase kRefusals[] = {
    {"from_after_to", utc(kStart + 6), utc(kStart + 2), {"--avi"}, 2, "is after --to"},
    {"range_before_recording",
     "2001-01-01 00:00:00",
     "2001-01-01 01:00:00",
     {"--avi"},
     1,
     "outside the recording"},
    {"range_after_recording",
     utc(kStart + 100),
     utc(kStart + 200),
     {"--avi"},
     1,
     "outside the recording"},
    {"range_on_one_unit", utc(kStart + 4), utc(kStart + 4), {"--avi"}, 1, "is empty"},
    {"no_kind", utc(kStart + 2), utc(kStart + 6), {}, 2, "missing the kind"},
    {"two_kinds", utc(kStart + 2), utc(kStart + 6), {"--avi", "--pair"}, 2, "give one of"},
    {"channel_0",
     utc(kStart + 2),
     utc(kStart + 6),
     {"--avi", "--channels", "0"},
     2,
     "channel must be"},
    {"channel_9",
     utc(kStart + 2),
     utc(kStart + 6),
     {"--avi", "--channels", "9"},
     2,
     "cannot be exported"},
    {"channel_not_recorded",
     utc(kStart + 2),
     utc(kStart + 6),
     {"--avi", "--channels", "1,5"},
     1,
     "the recording has 4 channels"},
    {"channels_with_mosaic",
     utc(kStart + 2),
     utc(kStart + 6),
     {"--mosaic", "--channels", "1"},
     2,
     "goes with --avi or --mp4"},
    {"not_a_time", "yesterday", utc(kStart + 6), {"--avi"}, 2, "takes a UTC time"},
    {"no_such_day", "2024-02-30 00:00:00", utc(kStart + 6), {"--avi"}, 2, "takes a UTC time"},
};

class ExportRefusals : public ExportOfPair, public testing::WithParamInterface<RefusalCase> {};

TEST_P(ExportRefusals, ExitNonZeroSayingWhyAndLeaveNoFile) {
    const RefusalCase& c = GetParam();
    std::vector<std::string> args = {"export", dvr(), "--from", c.from, "--to", c.to, "-o", out()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const auto refused = dvrtool(args);
    EXPECT_EQ(refused.exit_code, c.exit_code) << refused.err;
    EXPECT_NE(refused.err.find(c.says), std::string::npos) << refused.err;
    EXPECT_EQ(refused.out, "");
    EXPECT_TRUE(files_in(out()).empty());
}

INSTANTIATE_TEST_SUITE_P(Refusals, ExportRefusals, testing::ValuesIn(kRefusals),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(ExportOfPair, AFullDiskEndsWithAnErrorAndNoPartialFile) {
    fleet::test::SmallDisk disk(64 * 1024);
    if (!disk.mounted()) GTEST_SKIP() << "mounting a tmpfs needs root";
    ASSERT_GT(fs::file_size(dvr()), 4 * 64 * 1024u) << "the copy must not fit";
    const std::string target = disk.file("out");
    const auto exported = dvrtool({"export", dvr(), "--from", utc(kStart), "--to",
                                   utc(kStart + kSeconds), "--pair", "-o", target});
    EXPECT_EQ(exported.exit_code, 1);
    EXPECT_NE(exported.err.find("Extracting error!"), std::string::npos) << exported.err;
    EXPECT_EQ(exported.out, "");
    EXPECT_TRUE(files_in(target).empty());
}

// ---- Ctrl-C -------------------------------------------------------------------------------

// Runs argv with stdout and stderr into files; once `begun` holds, sends Ctrl-C (SIGINT).
fleet::test::ProcessResult interrupt_once(const std::vector<std::string>& argv,
                                          const std::string& capture,
                                          const std::function<bool()>& begun) {
    fleet::test::ProcessResult result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, (capture + ".out").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, (capture + ".err").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return result;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (begun()) {
            kill(pid, SIGINT);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
    result.out = read_file(capture + ".out");
    result.err = read_file(capture + ".err");
    return result;
}

// A mosaic is re-encoded: two minutes of four camera channels take seconds to export, and
// Ctrl-C comes as soon as the export's first file exists.
TEST(ExportInterrupted, CtrlCStopsWithTheFilesWrittenSoFarCompleteAndListed) {
    TempDir dir;
    const std::string base = dir.file("long");
    const int seconds = 120;
    const auto made = run_process({DVRSIM_PATH, "record", "--out", base, "--channels", "4",
                                   "--stream-version", "3", "--seconds", std::to_string(seconds),
                                   "--scene", "camera", "--start", std::to_string(kStart)});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    const std::string out = dir.file("out");
    const auto stopped =
        interrupt_once({DVRTOOL_PATH, "export", base + ".dvr", "--from", utc(kStart), "--to",
                        utc(kStart + seconds), "--mosaic", "-o", out},
                       dir.file("capture"), [&] { return !files_in(out).empty(); });
    ASSERT_EQ(stopped.exit_code, 130) << stopped.err;
    EXPECT_NE(stopped.err.find("Stop extracting by user!"), std::string::npos) << stopped.err;
    const auto listed = split_lines(stopped.out);
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), files_in(out));
    const std::string mosaic = file_ending(listed, "_ch_all.avi");
    ASSERT_NE(mosaic, "");
    EXPECT_EQ(decode_errors(mosaic), "");
    const int frames = video_frames(mosaic);
    EXPECT_GT(frames, 0);
    EXPECT_LT(frames, seconds * kFps) << "stopped before the end";
    EXPECT_EQ(csv_rows(file_ending(listed, "_telemetry.csv")), frames);
    EXPECT_EQ(validate_gpx(file_ending(listed, ".gpx")).exit_code, 0);
}

// ---- wrapped disks and cards ----------------------------------------------------------------

struct WrappedMedium {
    const char* kind;  // dvrsim's command and dvrtool's option without "--"
    const char* unit_every;
    const char* first_unit;
};

void PrintTo(const WrappedMedium& m, std::ostream* os) {
    *os << m.kind;
}

// The ring holds about the last 50 of 150 seconds, unit numbers running over 0xFFFFF to 1.
const WrappedMedium kWrapped[] = {{"disk", "2", "0xFFFC3"}, {"card", "3", "0xFFFD7"}};

class ExportOfWrappedMedium : public testing::TestWithParam<WrappedMedium> {};

TEST_P(ExportOfWrappedMedium, ARangeAcrossUnit0xFFFFFExports) {
    const WrappedMedium& m = GetParam();
    TempDir dir;
    const std::string image = dir.file("medium.img");
    const std::string option = std::string("--") + m.kind;
    const auto made =
        run_process({DVRSIM_PATH, m.kind, "--out", image, "--ring-size", "1100K", "--seconds",
                     "150", "--unit-every", m.unit_every, "--first-unit", m.first_unit, "--start",
                     std::to_string(kStart), "--fps", std::to_string(kFps)});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    const auto index = dvrtool({"index", option, image, "--json"});
    ASSERT_EQ(index.exit_code, 0) << index.err;
    std::optional<uint32_t> before_wrap, after_wrap;
    const nlohmann::json listing = nlohmann::json::parse(index.out);
    for (const auto& unit : listing["units"]) {
        if (unit["offset"].get<int64_t>() < 0) continue;
        if (unit["number"] == 0xFFFFD) before_wrap = unit["time"].get<uint32_t>();
        if (unit["number"] == 3) after_wrap = unit["time"].get<uint32_t>();
    }
    ASSERT_TRUE(before_wrap && after_wrap) << index.out;
    ASSERT_LT(*before_wrap, *after_wrap);

    const auto exported = dvrtool({"export", option, image, "--from", utc(*before_wrap), "--to",
                                   utc(*after_wrap), "--avi", "-o", dir.file("out")});
    ASSERT_EQ(exported.exit_code, 0) << exported.err;
    const auto listed = split_lines(exported.out);
    const std::string avi = file_ending(listed, "_ch1.avi");
    ASSERT_NE(avi, "") << exported.out;
    const int frames = static_cast<int>(*after_wrap - *before_wrap) * kFps;
    EXPECT_EQ(video_frames(avi), frames);
    EXPECT_EQ(csv_rows(file_ending(listed, "_telemetry.csv")), frames);
}

INSTANTIATE_TEST_SUITE_P(Media, ExportOfWrappedMedium, testing::ValuesIn(kWrapped),
                         [](const auto& row) { return std::string(row.param.kind); });

}  // namespace
}  // namespace dvrtool_test
