// What a person sees and gets while playing: the canvas layouts, pause and steps, and
// recordings made during play.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "engine_harness.h"
#include "process.h"
#include "recordings.h"

namespace fleet::test {
namespace {

using namespace std::chrono_literals;

class Playback : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        setenv("KIVRA_AUDIO", "clock", 1);
        std::filesystem::create_directories(ARTIFACT_DIR);
    }
};

std::string artifact(const std::string& name) {
    return std::string(ARTIFACT_DIR) + "/" + name;
}

bool near(const std::array<int, 3>& a, const std::array<int, 3>& b, int tolerance = 12) {
    for (size_t i = 0; i < 3; ++i) {
        if (std::abs(a[i] - b[i]) > tolerance) return false;
    }
    return true;
}

bool is_black(const std::array<int, 3>& c) {
    return c[0] < 10 && c[1] < 10 && c[2] < 10;
}

// A point of a cell's plain background: clear of the channel caption, time and moving box.
std::array<int, 3> background(EngineHarness& engine, int layout, int position) {
    int columns = layout == 9 ? 3 : layout == 4 ? 2 : 1;
    int cell_w = engine.width() / columns, cell_h = engine.height() / columns;
    int x = (position % columns) * cell_w + cell_w * 85 / 100;
    int y = (position / columns) * cell_h + cell_h * 30 / 100;
    return engine.pixel(x, y);
}

size_t frames_after(EngineHarness& engine, size_t count) {
    engine.wait([&] { return engine.frames().size() >= count; }, 5s);
    return engine.frames().size();
}

TEST_F(Playback, EightChannelsInAGridByDivisionAndFullScreen) {
    EngineHarness engine;
    ASSERT_TRUE(engine.open(recording("--channels 8 --stream-version 3 --seconds 20 --fps 4")));
    ASSERT_EQ(engine.command(KIVRA_CMD_PLAY), KIVRA_RESULT_PLAY_OK);
    size_t seen = frames_after(engine, 5);
    EXPECT_TRUE(engine.save_canvas(artifact("play_8ch_grid.png")));

    std::array<std::array<int, 3>, 8> colours;
    for (int c = 0; c < 8; ++c) {
        colours[static_cast<size_t>(c)] = background(engine, 9, c);
        EXPECT_FALSE(is_black(colours[static_cast<size_t>(c)])) << "channel " << c + 1;
        for (int d = 0; d < c; ++d) {
            EXPECT_FALSE(near(colours[static_cast<size_t>(c)], colours[static_cast<size_t>(d)]))
                << "channels " << c + 1 << " and " << d + 1 << " look alike";
        }
    }
    EXPECT_TRUE(is_black(background(engine, 9, 8))) << "the ninth cell has no channel";

    ASSERT_TRUE(zSetDivStatus(2));
    seen = frames_after(engine, seen + 2);
    EXPECT_TRUE(engine.save_canvas(artifact("play_8ch_division2.png")));
    EXPECT_TRUE(near(background(engine, 4, 0), colours[4])) << "channel 5 at the top left";
    EXPECT_TRUE(near(background(engine, 4, 3), colours[7])) << "channel 8 at the bottom right";

    ASSERT_TRUE(zSetFullScreen(3));
    frames_after(engine, seen + 2);
    EXPECT_TRUE(engine.save_canvas(artifact("play_8ch_full3.png")));
    EXPECT_TRUE(near(background(engine, 1, 0), colours[2])) << "channel 3 alone";
}

// Pause shows the GOP on screen, not the one decoded ahead; each step shows a new GOP.
TEST_F(Playback, PauseAndStepsMoveOneGopAtATime) {
    EngineHarness engine;
    ASSERT_TRUE(engine.open(recording("--channels 1 --stream-version 3 --seconds 20 --fps 4")));
    ASSERT_EQ(engine.command(KIVRA_CMD_PLAY), KIVRA_RESULT_PLAY_OK);
    frames_after(engine, 14);
    ASSERT_EQ(engine.command(KIVRA_CMD_PAUSE), KIVRA_RESULT_PAUSE_OK);
    uint32_t playing = engine.frames().back().time;
    const size_t before_pause = engine.frames().size();
    // Paused, the engine keeps presenting the GOP on screen.
    ASSERT_GT(frames_after(engine, before_pause + 1), before_pause);
    uint32_t paused = engine.frames().back().time;
    EXPECT_EQ(paused, playing);

    struct Step {
        int cmd;
        int result;
        int moves;
    };
    for (const Step& s : {Step{KIVRA_CMD_STEP_BACKWARD, KIVRA_RESULT_STEP_BACKWARD_OK, -1},
                          Step{KIVRA_CMD_STEP_BACKWARD, KIVRA_RESULT_STEP_BACKWARD_OK, -1},
                          Step{KIVRA_CMD_STEP_FORWARD, KIVRA_RESULT_STEP_FORWARD_OK, +1},
                          Step{KIVRA_CMD_STEP_FORWARD, KIVRA_RESULT_STEP_FORWARD_OK, +1},
                          Step{KIVRA_CMD_STEP_FORWARD, KIVRA_RESULT_STEP_FORWARD_OK, +1}}) {
        uint32_t before = engine.frames().back().time;
        size_t frames = engine.frames().size();
        ASSERT_EQ(engine.command(s.cmd), s.result);
        frames_after(engine, frames + 1);
        EXPECT_EQ(static_cast<int64_t>(engine.frames().back().time) - before, s.moves)
            << "command " << s.cmd;
    }
}

TEST_F(Playback, RecordingDuringPlayIsAValidFilePairThatPlays) {
    TempDir dir;
    std::string base = dir.file("recorded");
    {
        EngineHarness engine;
        ASSERT_TRUE(engine.open(recording("--channels 4 --stream-version 3 --seconds 20 --fps 4")));
        ASSERT_EQ(engine.command(KIVRA_CMD_PLAY), KIVRA_RESULT_PLAY_OK);
        frames_after(engine, 2);
        ASSERT_TRUE(zSetRecord(base.c_str(), 1));
        frames_after(engine, 14);
        ASSERT_TRUE(zSetRecord(nullptr, 0));
    }
    ProcessResult verify = run_process({DVRTOOL_PATH, "verify", base + ".dvr"});
    EXPECT_EQ(verify.exit_code, 0) << verify.out << verify.err;
    ProcessResult info = run_process({DVRTOOL_PATH, "info", base + ".dvr", "--json"});
    ASSERT_EQ(info.exit_code, 0) << info.err;
    EXPECT_NE(info.out.find("\"channels\": 4"), std::string::npos) << info.out;

    EngineHarness replay;
    ASSERT_TRUE(replay.open(base));
    ASSERT_EQ(replay.command(KIVRA_CMD_PLAY), KIVRA_RESULT_PLAY_OK);
    EXPECT_TRUE(
        replay.wait([&] { return replay.count_play(KIVRA_EVENT_END_OF_DATA, 0) == 1; }, 15s));
    EXPECT_GE(replay.frames().size(), 8u);
}

// Recording during play keeps each GOP once, in the order of the recording, whatever the
// operator does in between: pause, steps, fast play and play again read GOPs again that were
// decoded ahead or stepped over, and fast play leaves GOPs out, so every recorded GOP must link
// back to the one recorded before it.
TEST_F(Playback, RecordingAcrossPauseStepsAndFastPlayKeepsEachGopOnce) {
    TempDir dir;
    const std::string base = dir.file("recorded");
    {
        EngineHarness engine;
        ASSERT_TRUE(engine.open(recording("--channels 4 --stream-version 3 --seconds 40 --fps 4")));
        ASSERT_TRUE(zSetRecord(base.c_str(), 1));
        ASSERT_EQ(engine.command(KIVRA_CMD_PLAY), KIVRA_RESULT_PLAY_OK);
        frames_after(engine, 10);
        ASSERT_EQ(engine.command(KIVRA_CMD_PAUSE), KIVRA_RESULT_PAUSE_OK);
        frames_after(engine, engine.frames().size() + 1);
        for (int cmd : {KIVRA_CMD_STEP_FORWARD, KIVRA_CMD_STEP_FORWARD, KIVRA_CMD_STEP_BACKWARD}) {
            const size_t shown = engine.frames().size();
            ASSERT_EQ(engine.command(cmd), cmd == KIVRA_CMD_STEP_FORWARD
                                               ? KIVRA_RESULT_STEP_FORWARD_OK
                                               : KIVRA_RESULT_STEP_BACKWARD_OK);
            frames_after(engine, shown + 1);
        }
        struct Phase {
            int cmd;
            intptr_t speed;
            int result;
            size_t frames;
        };
        for (const Phase& p : {Phase{KIVRA_CMD_PLAY, 0, KIVRA_RESULT_PLAY_OK, 10},
                               Phase{KIVRA_CMD_FAST_FORWARD, 2, KIVRA_RESULT_FAST_FORWARD_OK, 2},
                               Phase{KIVRA_CMD_PLAY, 0, KIVRA_RESULT_PLAY_OK, 10},
                               Phase{KIVRA_CMD_FAST_BACKWARD, 1, KIVRA_RESULT_FAST_BACKWARD_OK, 2},
                               Phase{KIVRA_CMD_PLAY, 0, KIVRA_RESULT_PLAY_OK, 10}}) {
            const size_t shown = engine.frames().size();
            ASSERT_EQ(engine.command(p.cmd, p.speed), p.result);
            frames_after(engine, shown + p.frames);
        }
        ASSERT_TRUE(zSetRecord(nullptr, 0));
    }
    ProcessResult verify = run_process({DVRTOOL_PATH, "verify", base + ".dvr"});
    EXPECT_EQ(verify.exit_code, 0) << verify.out << verify.err;
    ProcessResult gops = run_process({DVRTOOL_PATH, "gops", base + ".dvr", "--json"});
    ASSERT_EQ(gops.exit_code, 0) << gops.err;
    std::vector<uint32_t> times;
    for (const std::string& line : split_lines(gops.out)) {
        times.push_back(nlohmann::json::parse(line)["time"].get<uint32_t>());
    }
    ASSERT_GE(times.size(), 8u);
    for (size_t i = 1; i < times.size(); ++i) {
        EXPECT_GT(times[i], times[i - 1]) << "GOP " << i << " of the recording";
    }
}

// After a jump back, normal play goes on after the GOP it jumped to instead of reading that
// GOP again from its start: every GOP is shown once, its four frames in a row.
TEST_F(Playback, AJumpBackShowsTheGopItLandsOnOnce) {
    EngineHarness engine;
    ASSERT_TRUE(engine.open(recording("--channels 1 --stream-version 3 --seconds 40 --fps 4")));
    ASSERT_EQ(engine.command(KIVRA_CMD_PLAY), KIVRA_RESULT_PLAY_OK);
    frames_after(engine, 6);
    ASSERT_EQ(engine.command(KIVRA_CMD_JUMP, KIVRA_JUMP_AHEAD), KIVRA_RESULT_JUMP_OK);
    frames_after(engine, engine.frames().size() + 12);
    ASSERT_EQ(engine.command(KIVRA_CMD_JUMP, KIVRA_JUMP_BACK), KIVRA_RESULT_JUMP_OK);
    frames_after(engine, engine.frames().size() + 16);

    const std::vector<FrameEvent> frames = engine.frames();
    bool went_back = false;
    size_t run = 1;
    for (size_t i = 1; i < frames.size(); ++i) {
        went_back = went_back || frames[i].time < frames[i - 1].time;
        run = frames[i].time == frames[i - 1].time ? run + 1 : 1;
        EXPECT_LE(run, 4u) << "GOP of " << frames[i].time << " shown again";
    }
    EXPECT_TRUE(went_back) << "the jump back did not happen";
}

}  // namespace
}  // namespace fleet::test
