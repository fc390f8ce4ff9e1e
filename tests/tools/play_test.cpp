// dvrtool play drives the engine as a host: what it reports while playing recordings made by
// dvrsim. Audio runs on the clock backend so pace is real time on any machine.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "kivra/kivra.h"
#include "process.h"

namespace {

using fleet::test::ProcessResult;
using fleet::test::run_process;
using fleet::test::split_lines;
using fleet::test::TempDir;
using nlohmann::json;

class Play : public testing::Test {
  protected:
    static void SetUpTestSuite() { setenv("KIVRA_AUDIO", "clock", 1); }

    std::string record(const std::string& name, std::vector<std::string> options) {
        std::string base = dir_.file(name);
        std::vector<std::string> args = {DVRSIM_PATH, "record", "--out", base};
        args.insert(args.end(), options.begin(), options.end());
        ProcessResult r = run_process(args);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        return base;
    }

    // Every callback of a headless play, as JSON objects.
    std::vector<json> play(const std::string& base, std::vector<std::string> options) {
        std::vector<std::string> args = {DVRTOOL_PATH, "play", base + ".dvr", "--headless",
                                         "--events"};
        args.insert(args.end(), options.begin(), options.end());
        ProcessResult r = run_process(args);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        std::vector<json> events;
        for (const auto& line : split_lines(r.out)) events.push_back(json::parse(line));
        return events;
    }

    TempDir dir_;
};

std::vector<json> of_kind(const std::vector<json>& events, const std::string& cb) {
    std::vector<json> out;
    for (const auto& e : events) {
        if (e["cb"] == cb) out.push_back(e);
    }
    return out;
}

int count_play(const std::vector<json>& events, int code) {
    int n = 0;
    for (const auto& e : of_kind(events, "play")) n += e["code"] == code;
    return n;
}

// Every presented frame reports what the recorder stored for it, absent values as null.
TEST_F(Play, FrameTelemetryEqualsWhatWasRecorded) {
    struct Case {
        const char* name;
        std::vector<std::string> options;
    };
    for (const Case& c :
         {Case{"v3", {"--channels", "4", "--stream-version", "3", "--seconds", "6", "--fps", "4"}},
          Case{"v1", {"--channels", "4", "--stream-version", "1", "--seconds", "4", "--fps", "3"}},
          Case{"v0", {"--channels", "1", "--stream-version", "0", "--seconds", "3", "--fps", "2"}},
          // A vehicle id that is not UTF-8 still reports every frame.
          Case{"odd_id",
               {"--channels", "1", "--stream-version", "3", "--seconds", "3", "--fps", "2",
                "--vehicle-id", "BUS\xE9\xFF-1"}}}) {
        SCOPED_TRACE(c.name);
        std::string base = record(c.name, c.options);
        std::vector<json> frames = of_kind(play(base, {}), "frame");
        std::vector<std::string> truth = split_lines(fleet::test::read_file(base + ".truth.jsonl"));
        ASSERT_EQ(frames.size(), truth.size());
        for (size_t i = 0; i < truth.size(); ++i) {
            json expected = json::parse(truth[i]);
            for (const char* key : {"gop", "frame", "channels"}) expected.erase(key);
            json reported = frames[i];
            reported.erase("t");
            reported.erase("cb");
            ASSERT_EQ(reported, expected) << "frame " << i;
        }
    }
}

// Normal play keeps real-time pace, with or without sound in the recording.
TEST_F(Play, NormalPlayKeepsRealTimePace) {
    struct Case {
        const char* name;
        int seconds;
        std::vector<std::string> extra;
    };
    for (const Case& c : {Case{"with_audio", 60, {}}, Case{"without_audio", 10, {"--no-audio"}},
                          Case{"voice_off", 10, {}}}) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> options = {"--channels", "1",         "--stream-version",
                                            "3",          "--seconds", std::to_string(c.seconds),
                                            "--fps",      "8"};
        options.insert(options.end(), c.extra.begin(), c.extra.end());
        bool voice_off = std::string(c.name) == "voice_off";
        std::vector<json> events = play(record(c.name, options),
                                        voice_off ? std::vector<std::string>{"--do", "0:voice:off"}
                                                  : std::vector<std::string>{});
        std::vector<json> frames = of_kind(events, "frame");
        ASSERT_EQ(frames.size(), static_cast<size_t>(c.seconds * 8));
        // The four output buffers start empty, so the first frames come at once; the pace is
        // measured from the ninth frame on.
        double span = frames.back()["t"].get<double>() - frames[8]["t"].get<double>();
        double expected = (static_cast<double>(frames.size()) - 9) / 8;
        EXPECT_NEAR(span, expected, expected * 0.02);
        EXPECT_EQ(count_play(events, KIVRA_EVENT_END_OF_DATA), 1) << "end of data is reported once";
    }
}

// Fast forward at speed 7 passes over 64 GOPs between the GOPs it shows, and repeats the
// end of data on every tick once it got there.
TEST_F(Play, FastForwardSkips64GopsAndRepeatsTheEnd) {
    std::string base = record("long", {"--channels", "1", "--stream-version", "3", "--seconds",
                                       "200", "--fps", "1", "--no-audio"});
    std::vector<json> events = play(base, {"--do", "0.2:ff:7", "--for", "4.5"});
    std::vector<uint32_t> shown;
    for (const auto& f : of_kind(events, "frame")) {
        if (f["t"].get<double>() > 0.3) shown.push_back(f["time"].get<uint32_t>());
    }
    ASSERT_GE(shown.size(), 3u);
    for (size_t i = 1; i < shown.size(); ++i) EXPECT_EQ(shown[i] - shown[i - 1], 65u);
    EXPECT_GE(count_play(events, KIVRA_EVENT_END_OF_DATA), 3) << "end of data on every fast tick";
}

// Damaged pictures make FFmpeg's decoder complain; the engine keeps that out of its host's
// standard error (the libraries do not log).
TEST_F(Play, DamagedPicturesLeaveTheHostsStderrAlone) {
    for (const char* damage : {"broken-pictures", "undecodable"}) {
        SCOPED_TRACE(damage);
        std::string base = record(damage, {"--channels", "4", "--stream-version", "3", "--seconds",
                                           "4", "--fps", "4", "--damage", damage});
        ProcessResult r = run_process({DVRTOOL_PATH, "play", base + ".dvr", "--headless"});
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.err, "");
    }
}

// The channel colours of dvrsim's test pictures, channel 1 first.
constexpr std::array<std::array<int, 3>, 8> kChannelColours = {{{70, 110, 165},
                                                                {60, 140, 95},
                                                                {185, 95, 65},
                                                                {125, 80, 145},
                                                                {175, 145, 50},
                                                                {45, 130, 140},
                                                                {170, 75, 110},
                                                                {105, 120, 55}}};
constexpr std::array<int, 3> kCaptionBox = {24, 24, 24};  // behind dvrsim's "CH N"

struct Rgb24 {
    int width = 0, height = 0;
    std::string pixels;
    std::array<int, 3> at(int x, int y) const {
        size_t i =
            (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
        return {static_cast<uint8_t>(pixels[i]), static_cast<uint8_t>(pixels[i + 1]),
                static_cast<uint8_t>(pixels[i + 2])};
    }
};

// The PNG's pixels, through FFmpeg's own PNG decoder.
Rgb24 read_png(const std::string& png, int width, int height, const std::string& scratch) {
    ProcessResult r = run_process({FFMPEG_PATH, "-v", "error", "-y", "-i", png, "-f", "rawvideo",
                                   "-pix_fmt", "rgb24", scratch});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    Rgb24 picture{width, height, fleet::test::read_file(scratch)};
    EXPECT_EQ(picture.pixels.size(), static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    return picture;
}

bool near(const std::array<int, 3>& a, const std::array<int, 3>& b, int tolerance = 16) {
    for (size_t i = 0; i < 3; ++i) {
        if (std::abs(a[i] - b[i]) > tolerance) return false;
    }
    return true;
}

std::string colour_text(const std::array<int, 3>& c) {
    return std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]);
}

// Real recorders write the first channel in D1 and the others in CIF. Each cell shows its own
// channel at its own size: the plain background in the channel's colour all along a row (a
// picture drawn at another channel's size shows stripes and wrong colours there), and the
// dark box of the "CH N" caption in the cell's top left corner.
TEST_F(Play, ChannelsOfDifferentSizesEachShowTheirOwnPicture) {
    std::filesystem::create_directories(ARTIFACT_DIR);
    struct Case {
        int channels;
        int columns;  // of the grid the engine draws
        bool paused;  // the paused picture is decoded apart from normal play
    };
    for (const Case& c : {Case{4, 2, false}, Case{8, 3, false}, Case{4, 2, true}}) {
        const std::string name = "mixed" + std::to_string(c.channels) + (c.paused ? "_paused" : "");
        SCOPED_TRACE(name);
        const std::string base =
            record(name, {"--channels", std::to_string(c.channels), "--stream-version", "3",
                          "--seconds", "3", "--fps", "4", "--resolution", "d1,cif", "--no-audio"});
        const int cell_w = 480, cell_h = 360;  // D1 and CIF both shrink into it
        const int width = cell_w * c.columns, height = cell_h * c.columns;
        const std::string png = std::string(ARTIFACT_DIR) + "/play_" + name + "_d1_cif.png";
        std::filesystem::remove(png);
        std::vector<std::string> args = {
            DVRTOOL_PATH,   "play",       base + ".dvr",
            "--headless",   "--size",     std::to_string(width) + "x" + std::to_string(height),
            "--screenshot", "1.3:" + png, "--for",
            "1.5"};
        if (c.paused) args.insert(args.end(), {"--do", "0.8:pause"});
        ProcessResult r = run_process(args);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        const Rgb24 picture = read_png(png, width, height, dir_.file(name + ".rgb"));
        ASSERT_FALSE(HasFailure());

        for (int ch = 0; ch < c.channels; ++ch) {
            SCOPED_TRACE("CH " + std::to_string(ch + 1));
            const int left = ch % c.columns * cell_w, top = ch / c.columns * cell_h;
            const auto& colour = kChannelColours[static_cast<size_t>(ch)];
            // Between the caption and the moving box, clear of both, on D1 and CIF alike.
            const int row = top + cell_h * 30 / 100;
            for (int percent = 40; percent <= 95; percent += 5) {
                const auto seen = picture.at(left + cell_w * percent / 100, row);
                EXPECT_TRUE(near(seen, colour))
                    << "at " << percent << "% across: " << colour_text(seen) << " instead of "
                    << colour_text(colour);
            }
            const auto caption = picture.at(left + cell_w * 23 / 1000, top + cell_h * 11 / 100);
            EXPECT_TRUE(near(caption, kCaptionBox)) << "caption box: " << colour_text(caption);
        }
    }
}

// A GOP in which no picture decodes: every cell turns black but keeps its channel label, at the
// size its channel had, and nothing is reported as a drawing failure.
TEST_F(Play, AGopWithoutPicturesShowsBlackCellsWithTheirLabels) {
    std::filesystem::create_directories(ARTIFACT_DIR);
    // The second and last GOP is the undecodable one: its last frame stays on screen after the
    // end of the data, where the screenshot is taken.
    const std::string base =
        record("undecodable", {"--channels", "4", "--stream-version", "3", "--seconds", "2",
                               "--fps", "4", "--damage", "undecodable", "--resolution", "d1,cif"});
    const std::string png = std::string(ARTIFACT_DIR) + "/play_undecodable_gop.png";
    std::filesystem::remove(png);
    std::vector<json> events = play(base, {"--size", "960x720", "--screenshot", "3:" + png});
    EXPECT_EQ(count_play(events, KIVRA_EVENT_DRAW_FAILED), 0);
    EXPECT_EQ(of_kind(events, "frame").size(), 8u) << "the GOP is still presented";
    const Rgb24 picture = read_png(png, 960, 720, dir_.file("undecodable.rgb"));
    ASSERT_FALSE(HasFailure());

    const int cell_w = 480, cell_h = 360;
    for (int ch = 0; ch < 4; ++ch) {
        SCOPED_TRACE("C" + std::to_string(ch + 1));
        const int left = ch % 2 * cell_w, top = ch / 2 * cell_h;
        for (int percent = 10; percent <= 90; percent += 20) {
            const auto seen = picture.at(left + cell_w * percent / 100, top + cell_h * 30 / 100);
            EXPECT_TRUE(near(seen, {0, 0, 0}, 8)) << percent << "% across: " << colour_text(seen);
        }
        // The label's blue box sits in the lower right corner of the picture.
        int blue = 0;
        for (int y = top + cell_h * 85 / 100; y < top + cell_h; ++y) {
            for (int x = left + cell_w * 80 / 100; x < left + cell_w; ++x) {
                blue += near(picture.at(x, y), {0, 0, 255}, 60) ? 1 : 0;
            }
        }
        EXPECT_GT(blue, 20) << "no label";
    }
}

int count_play(const std::vector<json>& events, int code, int value, double from, double to) {
    int n = 0;
    for (const auto& e : of_kind(events, "play")) {
        const double t = e["t"].get<double>();
        n += e["code"] == code && e["value"] == value && t >= from && t < to;
    }
    return n;
}

// A stream cut short while its index still claims the rest: the missing tail cannot be read.
// Stepping and fast play report that once and move on past it, as normal play does, instead
// of failing on the same block at every tick.
TEST_F(Play, AnUnreadableTailIsReportedOnceAndPassedInEveryMode) {
    const std::string base = record("cut", {"--channels", "1", "--stream-version", "3", "--seconds",
                                            "20", "--fps", "1", "--no-audio"});
    const auto size = std::filesystem::file_size(base + ".dvr");
    std::filesystem::resize_file(base + ".dvr", size * 6 / 10);  // GOPs 0-11 are whole
    const int read_failed = KIVRA_EVENT_READ_FAILED, source = KIVRA_READ_FAILED_SOURCE;
    const int end = KIVRA_EVENT_END_OF_DATA;

    {
        SCOPED_TRACE("steps");
        std::vector<std::string> options = {"--do", "0.3:pause", "--for", "8"};
        for (int i = 0; i < 14; ++i) {
            options.insert(options.end(), {"--do", std::to_string(0.8 + 0.5 * i) + ":step"});
        }
        std::vector<json> events = play(base, options);
        EXPECT_EQ(count_play(events, read_failed, source, 0, 99), 1);
        EXPECT_GE(count_play(events, end, 0, 0, 99), 1) << "the steps never got past the damage";
    }
    {
        SCOPED_TRACE("fast forward, then fast backward");
        std::vector<json> events = play(base, {"--do", "0.2:ff:2", "--do", "5:fb:1", "--for", "8"});
        // Whether a fast read lands on the cut GOP or passes over it depends on the skip count.
        EXPECT_LE(count_play(events, read_failed, source, 0, 5), 1);
        EXPECT_LE(count_play(events, read_failed, source, 5, 99), 1);
        EXPECT_GE(count_play(events, end, 0, 0, 5), 1) << "fast forward never got past the damage";
        std::vector<uint32_t> back;
        for (const auto& f : of_kind(events, "frame")) {
            if (f["t"].get<double>() > 5.2) back.push_back(f["time"].get<uint32_t>());
        }
        ASSERT_GE(back.size(), 3u) << "fast backward showed nothing";
        for (size_t i = 1; i < back.size(); ++i) EXPECT_LT(back[i], back[i - 1]);
    }
}

// A screenshot that cannot be saved warns, lets the play go on to its end, and makes the
// command fail, so a script never takes a missing picture for a saved one.
TEST_F(Play, AScreenshotThatCannotBeSavedEndsWithExitOne) {
    const std::string base =
        record("unsaved", {"--channels", "1", "--stream-version", "3", "--seconds", "2"});
    const std::string png = dir_.file("no-such-folder") + "/shot.png";
    ProcessResult r = run_process({DVRTOOL_PATH, "play", base + ".dvr", "--headless", "--events",
                                   "--screenshot", "0.5:" + png, "--for", "1"});
    EXPECT_EQ(r.exit_code, 1) << r.err;
    EXPECT_NE(r.err.find(png), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(png));
    size_t frames = 0;
    for (const auto& line : split_lines(r.out)) frames += json::parse(line)["cb"] == "frame";
    EXPECT_GT(frames, 4u) << "play stopped at the failed screenshot";
}

TEST_F(Play, BenchDecodeReportsARatio) {
    std::string base = record(
        "bench", {"--channels", "4", "--stream-version", "3", "--seconds", "2", "--fps", "4"});
    ProcessResult r = run_process({DVRTOOL_PATH, "bench", "decode", base + ".dvr"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    std::vector<std::string> lines = split_lines(r.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("ratio ", 0), 0u) << lines.back();
    EXPECT_GT(std::stod(lines.back().substr(6)), 0.0);
}

}  // namespace
