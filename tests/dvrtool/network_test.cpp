// dvrtool's network commands end to end: a recording made by dvrsim, served by a real
// `dvrsim serve` process on the recorder's port, reached through the engine's links. Each test
// runs in its own network namespace, so the fixed ports are free.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "run_dvrtool.h"
#include "running_process.h"

namespace dvrtool_test {
namespace {

using fleet::test::ProcessResult;
using fleet::test::read_file;
using fleet::test::run_process;
using fleet::test::RunningProcess;
using fleet::test::split_lines;
using fleet::test::TempDir;
using nlohmann::json;

constexpr const char* kRecorder = "127.0.0.1";
constexpr const char* kWrappingFirstUnit = "0xFFFFE";  // units 0xFFFFE, 0xFFFFF, 1, 2, ...

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// Four channels with telemetry, a GOP a second, a time unit every other GOP and events between.
std::string record_pair(const TempDir& dir, int seconds) {
    const std::string base = dir.file("rec");
    const ProcessResult made =
        run_process({DVRSIM_PATH, "record", "--out", base, "--channels", "4", "--stream-version",
                     "3", "--seconds", std::to_string(seconds), "--fps", "4", "--unit-every", "2",
                     "--event-every", "5", "--start", "1773475200"});
    EXPECT_EQ(made.exit_code, 0) << made.err;
    return base;
}

// `dvrsim serve --pair BASE ARGS...`, stopped with the test.
class ServedRecorder {
  public:
    ServedRecorder(const std::string& base, const std::vector<std::string>& args)
        : process_([&] {
              std::vector<std::string> argv{DVRSIM_PATH, "serve", "--pair", base};
              argv.insert(argv.end(), args.begin(), args.end());
              return argv;
          }()) {
        ready_ = !process_.wait_for_line("serving on ").empty();
    }
    bool ready() const { return ready_; }
    std::string err() const { return process_.err(); }

  private:
    RunningProcess process_;
    bool ready_ = false;
};

json parsed(const ProcessResult& result) {
    EXPECT_EQ(result.exit_code, 0) << result.err;
    return result.exit_code == 0 ? json::parse(result.out) : json();
}

// The lines of a listing after its column heading: the rows.
std::vector<std::string> rows_of(const std::string& listing) {
    std::vector<std::string> lines = split_lines(listing);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find("time") != std::string::npos &&
            lines[i].find("offset") != std::string::npos) {
            return {lines.begin() + static_cast<long>(i) + 1, lines.end()};
        }
    }
    return {};
}

std::string bytes_at(const std::string& file, int64_t offset, int64_t length) {
    return read_file(file).substr(static_cast<size_t>(offset), static_cast<size_t>(length));
}

// ---- index --remote -------------------------------------------------------------------------

struct IndexCase {
    const char* name;
    std::vector<std::string> serve;
    std::string remote;
};

void PrintTo(const IndexCase& c, std::ostream* os) {
    *os << c.name;
}

class RemoteIndex : public testing::TestWithParam<IndexCase> {};

// The recorder lists its time index; dvrtool shows the same rows as the local listing of the
// pair, in ring order also where the recorder's unit numbers wrap.
TEST_P(RemoteIndex, ListsTheRowsOfThePairsIndex) {
    TempDir dir;
    const std::string base = record_pair(dir, 12);
    ServedRecorder recorder(base, GetParam().serve);
    ASSERT_TRUE(recorder.ready()) << recorder.err();
    const std::string remote = GetParam().remote;

    const json local = parsed(dvrtool({"index", base + ".inx", "--json"}));
    const json listed = parsed(dvrtool({"index", "--remote", remote, "--json"}));
    ASSERT_GE(local["units"].size(), 4u);
    EXPECT_EQ(listed["units"], local["units"]);
    EXPECT_EQ(listed["rows"], local["units"].size());
    EXPECT_EQ(listed["recorder"],
              remote.find(':') == std::string::npos ? remote + ":2200" : remote);

    const ProcessResult text = dvrtool({"index", "--remote", remote});
    ASSERT_EQ(text.exit_code, 0) << text.err;
    EXPECT_EQ(rows_of(text.out), rows_of(dvrtool({"index", base + ".inx"}).out));
    EXPECT_FALSE(rows_of(text.out).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Served, RemoteIndex,
    testing::Values(IndexCase{"plain", {}, kRecorder},
                    IndexCase{
                        "wrapped_unit_numbers", {"--first-unit", kWrappingFirstUnit}, kRecorder},
                    IndexCase{"own_port", {"--listen", "2300"}, "127.0.0.1:2300"}),
    [](const testing::TestParamInfo<IndexCase>& c) { return c.param.name; });

// ---- download -------------------------------------------------------------------------------

struct DownloadCase {
    const char* name;
    std::vector<std::string> serve;
    size_t from_row, to_row;  // 0-based rows of the index; to_row past the end: the last one
};

void PrintTo(const DownloadCase& c, std::ostream* os) {
    *os << c.name;
}

class Download : public testing::TestWithParam<DownloadCase> {};

// The download holds exactly the pair's GOPs from the first row's GOP up to the last row's (the
// last row of the index closes the data: up to the end), verifies, and carries their telemetry.
TEST_P(Download, HoldsThePairsGopsOfTheSpan) {
    const DownloadCase& c = GetParam();
    TempDir dir;
    const std::string base = record_pair(dir, 14);
    ServedRecorder recorder(base, c.serve);
    ASSERT_TRUE(recorder.ready()) << recorder.err();
    const json units = parsed(dvrtool({"index", base + ".inx", "--json"}))["units"];
    const json& from = units.at(c.from_row);
    const json& to = units.at(std::min(c.to_row, units.size() - 1));

    const std::string out = dir.file("down");
    const ProcessResult done = dvrtool({"download", "--remote", kRecorder, "--from",
                                        from["time_text"], "--to", to["time_text"], "-o", out});
    ASSERT_EQ(done.exit_code, 0) << done.err;
    EXPECT_EQ(done.out, out + ".dvr\n" + out + ".inx\n");
    EXPECT_TRUE(done.err.empty()) << done.err;

    const ProcessResult verified = dvrtool({"verify", out + ".dvr"});
    EXPECT_EQ(verified.exit_code, 0) << verified.out << verified.err;

    std::vector<json> expected;
    std::set<int64_t> expected_gop_numbers;
    const auto source_gops = json_lines(dvrtool({"gops", base + ".dvr", "--json"}).out);
    for (size_t i = 0; i < source_gops.size(); ++i) {
        const int64_t offset = source_gops[i]["offset"];
        if (offset >= from["offset"].get<int64_t>() && offset < to["offset"].get<int64_t>()) {
            expected.push_back(source_gops[i]);
            expected_gop_numbers.insert(static_cast<int64_t>(i));
        }
    }
    const auto got = json_lines(dvrtool({"gops", out + ".dvr", "--json"}).out);
    ASSERT_EQ(got.size(), expected.size());
    ASSERT_GE(got.size(), 2u);
    for (size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE("GOP " + std::to_string(i));
        EXPECT_EQ(got[i]["time"], expected[i]["time"]);
        EXPECT_EQ(bytes_at(out + ".dvr", got[i]["offset"], got[i]["stored"]),
                  bytes_at(base + ".dvr", expected[i]["offset"], expected[i]["stored"]));
    }

    std::vector<json> source_frames;
    for (json frame : json_lines(dvrtool({"telemetry", base + ".dvr", "--json"}).out)) {
        if (!expected_gop_numbers.contains(frame["gop"].get<int64_t>())) continue;
        frame.erase("gop");
        source_frames.push_back(frame);
    }
    std::vector<json> downloaded_frames;
    for (json frame : json_lines(dvrtool({"telemetry", out + ".dvr", "--json"}).out)) {
        frame.erase("gop");
        downloaded_frames.push_back(frame);
    }
    EXPECT_EQ(downloaded_frames, source_frames);
}

INSTANTIATE_TEST_SUITE_P(
    Served, Download,
    testing::Values(DownloadCase{"middle", {}, 1, 5},
                    DownloadCase{
                        "across_wrapped_unit_numbers", {"--first-unit", kWrappingFirstUnit}, 0, 4},
                    DownloadCase{"to_the_end", {}, 3, 1000}),
    [](const testing::TestParamInfo<DownloadCase>& c) { return c.param.name; });

// ---- play --live ----------------------------------------------------------------------------

class LivePlay : public testing::Test {
  protected:
    static void SetUpTestSuite() { setenv("KIVRA_AUDIO", "clock", 1); }
};

std::vector<json> of_kind(const std::vector<json>& events, const std::string& cb) {
    std::vector<json> out;
    for (const auto& e : events) {
        if (e["cb"] == cb) out.push_back(e);
    }
    return out;
}

// The picture's bytes through FFmpeg's PNG decoder, as 24-bit RGB.
std::string png_pixels(const std::string& png, const std::string& scratch) {
    const ProcessResult r = run_process({FFMPEG_PATH, "-v", "error", "-y", "-i", png, "-f",
                                         "rawvideo", "-pix_fmt", "rgb24", scratch});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return read_file(scratch);
}

// Prebuffering reports, then frames carrying the recording's telemetry and a picture; stop and
// close at the end.
TEST_F(LivePlay, PrebuffersThenShowsTheRecordersPicture) {
    TempDir dir;
    const std::string base = record_pair(dir, 12);
    ServedRecorder recorder(base, {"--pace", "10"});
    ASSERT_TRUE(recorder.ready()) << recorder.err();
    std::filesystem::create_directories(ARTIFACT_DIR);
    const std::string shot = std::string(ARTIFACT_DIR) + "/dvrtool_live_play.png";
    std::filesystem::remove(shot);

    const ProcessResult r = dvrtool({"play", "--live", kRecorder, "--headless", "--for", "6",
                                     "--events", "--screenshot", "5:" + shot, "--size", "640x480"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const std::vector<json> events = json_lines(r.out);

    std::vector<int> prebuffering;
    for (const json& e : of_kind(events, "link")) {
        EXPECT_EQ(e["link"], 0);
        if (e["code"] == 3) prebuffering.push_back(e["value"]);
    }
    const std::vector<int> first_fill = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
    ASSERT_GE(prebuffering.size(), first_fill.size());
    EXPECT_EQ(std::vector<int>(prebuffering.begin(), prebuffering.begin() + 10), first_fill);

    std::vector<int> results;  // of the commands sent; 24 is a drawing failure, no result
    for (const json& e : of_kind(events, "play")) {
        if (e["code"] >= 4 && e["code"] != 24) results.push_back(e["code"]);
    }
    EXPECT_EQ(results, (std::vector<int>{7, 21, 5}));  // play, stop, close

    std::set<std::string> recorded;
    for (const auto& line : split_lines(read_file(base + ".truth.jsonl"))) {
        json frame = json::parse(line);
        for (const char* key : {"gop", "frame", "channels"}) frame.erase(key);
        recorded.insert(frame.dump());
    }
    const std::vector<json> frames = of_kind(events, "frame");
    ASSERT_GE(frames.size(), 8u);  // at least two seconds' worth at four frames a second
    for (json frame : frames) {
        frame.erase("t");
        frame.erase("cb");
        EXPECT_TRUE(recorded.contains(frame.dump())) << frame.dump();
    }

    const std::string pixels = png_pixels(shot, dir.file("shot.rgb"));
    ASSERT_EQ(pixels.size(), 640u * 480u * 3u);
    EXPECT_NE(pixels.find_first_not_of(pixels.substr(0, 3)), std::string::npos)
        << "the screenshot is one colour";
}

// ---- refusals -------------------------------------------------------------------------------

struct Refusal {
    const char* name;
    std::vector<std::string> serve;  // none: no recorder listens
    std::vector<std::string> args;   // "OUT" stands for the download's base
    int exit_code;
    std::string message;
};

void PrintTo(const Refusal& c, std::ostream* os) {
    *os << c.name;
}

const std::vector<std::string> kNoServer = {"-"};
const std::string kFrom = "2026-03-14 08:00:01", kTo = "2026-03-14 08:00:09";

class Refused : public testing::TestWithParam<Refusal> {
  protected:
    static void SetUpTestSuite() { setenv("KIVRA_AUDIO", "clock", 1); }
};

// Each refusal exits with its code and says why on one line, and a download leaves no file.
TEST_P(Refused, ExitsWithItsMessageAndLeavesNoFile) {
    const Refusal& c = GetParam();
    TempDir dir;
    const std::string base = record_pair(dir, 12);
    std::unique_ptr<ServedRecorder> recorder;
    if (c.serve != kNoServer) {
        recorder = std::make_unique<ServedRecorder>(base, c.serve);
        ASSERT_TRUE(recorder->ready()) << recorder->err();
    }
    const std::string out = dir.file("out");
    std::vector<std::string> args;
    for (const std::string& a : c.args) args.push_back(a == "OUT" ? out : a);

    const ProcessResult r = dvrtool(args);
    EXPECT_EQ(r.exit_code, c.exit_code) << r.out << r.err;
    const auto err = split_lines(r.err);
    ASSERT_FALSE(err.empty());
    EXPECT_NE(err[0].find(c.message), std::string::npos) << r.err;
    EXPECT_FALSE(exists(out + ".dvr"));
    EXPECT_FALSE(exists(out + ".inx"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Refused,
    testing::Values(
        Refusal{"index_without_recorder",
                kNoServer,
                {"index", "--remote", kRecorder},
                1,
                "link failed: cannot reach the recorder at 127.0.0.1:2200"},
        Refusal{"download_without_recorder",
                kNoServer,
                {"download", "--remote", kRecorder, "--from", kFrom, "--to", kTo, "-o", "OUT"},
                1,
                "link failed: cannot reach the recorder at 127.0.0.1:2200"},
        Refusal{"live_without_recorder",
                kNoServer,
                {"play", "--live", kRecorder, "--headless", "--for", "5"},
                1,
                "link failed: cannot reach the recorder at 127.0.0.1:2200"},
        Refusal{"live_denied",
                {"--refuse", "denied"},
                {"play", "--live", kRecorder, "--headless", "--for", "5"},
                1,
                "the recorder at 127.0.0.1:2200 refused live video: access denied"},
        Refusal{"live_busy",
                {"--refuse", "busy"},
                {"play", "--live", kRecorder, "--headless", "--for", "5"},
                1,
                "the recorder at 127.0.0.1:2200 refused live video: it is busy"},
        Refusal{"from_not_before_to",
                {},
                {"download", "--remote", kRecorder, "--from", kTo, "--to", kTo, "-o", "OUT"},
                2,
                "--from 2026-03-14 08:00:09 is not before --to"},
        Refusal{"bad_time",
                {},
                {"download", "--remote", kRecorder, "--from", "08:00:01", "--to", kTo, "-o", "OUT"},
                2,
                "--from takes a UTC time as \"YYYY-MM-DD HH:MM:SS\""},
        Refusal{"span_before_the_recording",
                {},
                {"download", "--remote", kRecorder, "--from", "2026-03-14 07:00:00", "--to",
                 "2026-03-14 07:59:59", "-o", "OUT"},
                1,
                "no index row lies between 2026-03-14 07:00:00 and 2026-03-14 07:59:59"},
        Refusal{"link_cut_during_the_download",
                {"--cut-after", "3"},
                {"download", "--remote", kRecorder, "--from", kFrom, "--to", kTo, "-o", "OUT"},
                1,
                "link broke: the link to the recorder at 127.0.0.1:2200 was closed"}),
    [](const testing::TestParamInfo<Refusal>& c) { return c.param.name; });

// The pid of the running program whose command line holds `word` (the test's own output path).
pid_t pid_of(const std::string& word) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::string cmdline = read_file(entry.path() / "cmdline");
        std::replace(cmdline.begin(), cmdline.end(), '\0', ' ');
        if (cmdline.rfind(DVRTOOL_PATH, 0) == 0 && cmdline.find(word) != std::string::npos) {
            return static_cast<pid_t>(std::stol(name));
        }
    }
    return -1;
}

// Whether the process blocks SIGINT: dvrtool does so while it waits, to take Ctrl-C as a request.
bool blocks_interrupts(pid_t pid) {
    for (const auto& line : split_lines(read_file("/proc/" + std::to_string(pid) + "/status"))) {
        if (line.rfind("SigBlk:", 0) == 0) {
            return (std::stoull(line.substr(7), nullptr, 16) & (1ull << (SIGINT - 1))) != 0;
        }
    }
    return false;
}

// Ctrl-C while the recorder keeps its index back (it is stopped) ends the download before it
// began: exit 130, said on stderr, and no file.
TEST(DownloadInterrupted, BeforeTheDownloadBeganLeavesNoFile) {
    TempDir dir;
    const std::string base = record_pair(dir, 12);
    RunningProcess recorder({DVRSIM_PATH, "serve", "--pair", base});
    ASSERT_FALSE(recorder.wait_for_line("serving on ").empty()) << recorder.err();
    ASSERT_TRUE(recorder.signal(SIGSTOP));
    const std::string out = dir.file("stopped_out");
    RunningProcess download(
        {DVRTOOL_PATH, "download", "--remote", kRecorder, "--from", kFrom, "--to", kTo, "-o", out});
    pid_t pid = -1;
    for (int tries = 0; tries < 3000 && (pid < 0 || !blocks_interrupts(pid)); ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        pid = pid_of(out);
    }
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(blocks_interrupts(pid));
    ASSERT_TRUE(download.signal(SIGINT));
    EXPECT_EQ(download.wait(), 130) << download.err();
    EXPECT_EQ(download.err(), "dvrtool: interrupted before the download began\n");
    EXPECT_FALSE(exists(out + ".dvr"));
    EXPECT_FALSE(exists(out + ".inx"));
    recorder.signal(SIGCONT);
}

// An existing file is neither overwritten nor removed, and nothing is fetched for it.
TEST(DownloadTarget, AnExistingFileIsKeptAsItWas) {
    TempDir dir;
    const std::string base = record_pair(dir, 12);
    ServedRecorder recorder(base, {});
    ASSERT_TRUE(recorder.ready()) << recorder.err();
    const std::string out = dir.file("out");
    std::ofstream(out + ".inx") << "someone's index";

    const ProcessResult r =
        dvrtool({"download", "--remote", kRecorder, "--from", kFrom, "--to", kTo, "-o", out});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, "dvrtool: " + out + ".inx exists; a download overwrites nothing\n");
    EXPECT_EQ(read_file(out + ".inx"), "someone's index");
    EXPECT_FALSE(exists(out + ".dvr"));
}

}  // namespace
}  // namespace dvrtool_test
