// Each playback command from each status: the result code, the errors reported on the way
// and the status afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "engine_harness.h"
#include "recordings.h"

namespace fleet::test {
namespace {

enum From { kOpened, kPlaying, kPaused, kFastForward, kFastBackward, kStopped };

struct Row {
    From from;
    int cmd;
    intptr_t first;
    int64_t offset;
    int result;
    std::vector<int> errors;
    int status_after;  // kClosed: nothing open any more
};

void PrintTo(const Row& r, std::ostream* os) {
    *os << "from " << r.from << " cmd " << r.cmd << "(" << r.first << ")";
}

constexpr int kClosed = -1;
constexpr int kUnknownCommand = 12;
constexpr int64_t kSeek = 20480;      // inside the recording
constexpr int64_t kTooFar = 1 << 30;  // beyond it

// Brings a freshly opened recording into a status.
void reach(EngineHarness& engine, From from) {
    switch (from) {
        case kOpened:
            return;
        case kPlaying:
            ASSERT_EQ(engine.command(KIVRA_CMD_PLAY), KIVRA_RESULT_PLAY_OK);
            return;
        case kPaused:
            ASSERT_EQ(engine.command(KIVRA_CMD_PLAY), KIVRA_RESULT_PLAY_OK);
            ASSERT_EQ(engine.command(KIVRA_CMD_PAUSE), KIVRA_RESULT_PAUSE_OK);
            return;
        case kFastForward:
            ASSERT_EQ(engine.command(KIVRA_CMD_PLAY), KIVRA_RESULT_PLAY_OK);
            ASSERT_EQ(engine.command(KIVRA_CMD_FAST_FORWARD, 2), KIVRA_RESULT_FAST_FORWARD_OK);
            return;
        case kFastBackward:
            ASSERT_EQ(engine.command(KIVRA_CMD_PLAY), KIVRA_RESULT_PLAY_OK);
            ASSERT_EQ(engine.command(KIVRA_CMD_FAST_BACKWARD, 2), KIVRA_RESULT_FAST_BACKWARD_OK);
            return;
        case kStopped:
            ASSERT_EQ(engine.command(KIVRA_CMD_PLAY), KIVRA_RESULT_PLAY_OK);
            ASSERT_EQ(engine.command(KIVRA_CMD_STOP), KIVRA_RESULT_STOP_OK);
            return;
    }
}

class CommandTable : public testing::TestWithParam<Row> {
  protected:
    static void SetUpTestSuite() { setenv("KIVRA_AUDIO", "clock", 1); }
};

TEST_P(CommandTable, ResultErrorsAndStatus) {
    const Row& row = GetParam();
    EngineHarness engine;
    ASSERT_TRUE(engine.open(recording("--channels 4 --stream-version 3 --seconds 30 --fps 4")));
    reach(engine, row.from);
    EXPECT_EQ(engine.command(row.cmd, row.first, row.offset), row.result);
    EXPECT_EQ(engine.last_errors(), row.errors);
    if (row.status_after == kClosed) {
        EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_NONE);
    } else {
        EXPECT_EQ(zTellStatusType(), row.status_after);
        EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_FILE);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Stored, CommandTable,
    testing::Values(
        // from opened
        Row{kOpened, KIVRA_CMD_PLAY, 0, 0, KIVRA_RESULT_PLAY_OK, {}, KIVRA_STATUS_PLAYING},
        Row{kOpened,
            KIVRA_CMD_PAUSE,
            0,
            0,
            KIVRA_RESULT_PAUSE_FAILED,
            {KIVRA_ERROR_PAUSE_FAILED},
            KIVRA_STATUS_OPENED},
        Row{kOpened,
            KIVRA_CMD_STEP_FORWARD,
            0,
            0,
            KIVRA_RESULT_STEP_FORWARD_FAILED,
            {KIVRA_ERROR_STEP_FORWARD_FAILED},
            KIVRA_STATUS_OPENED},
        Row{kOpened,
            KIVRA_CMD_STEP_BACKWARD,
            0,
            0,
            KIVRA_RESULT_STEP_BACKWARD_FAILED,
            {KIVRA_ERROR_STEP_BACKWARD_FAILED},
            KIVRA_STATUS_OPENED},
        Row{kOpened,
            KIVRA_CMD_FAST_FORWARD,
            3,
            0,
            KIVRA_RESULT_FAST_FORWARD_FAILED,
            {KIVRA_ERROR_FAST_FORWARD_FAILED},
            KIVRA_STATUS_OPENED},
        Row{kOpened,
            KIVRA_CMD_FAST_BACKWARD,
            3,
            0,
            KIVRA_RESULT_FAST_BACKWARD_FAILED,
            {KIVRA_ERROR_FAST_BACKWARD_FAILED},
            KIVRA_STATUS_OPENED},
        Row{kOpened, KIVRA_CMD_SEEK, 0, kSeek, KIVRA_RESULT_SEEK_OK, {}, KIVRA_STATUS_PLAYING},
        Row{kOpened,
            KIVRA_CMD_SEEK,
            0,
            kTooFar,
            KIVRA_RESULT_SEEK_FAILED,
            {KIVRA_ERROR_SEEK_OUT_OF_RANGE},
            KIVRA_STATUS_OPENED},
        Row{kOpened,
            KIVRA_CMD_STOP,
            0,
            0,
            KIVRA_RESULT_STOP_FAILED,
            {KIVRA_ERROR_STOP_FAILED},
            KIVRA_STATUS_OPENED},
        Row{kOpened, KIVRA_CMD_CLOSE, 0, 0, KIVRA_RESULT_CLOSE_OK, {}, kClosed},
        // from playing
        Row{kPlaying,
            KIVRA_CMD_PLAY,
            0,
            0,
            KIVRA_RESULT_PLAY_FAILED,
            {KIVRA_ERROR_OUTPUT_ALREADY_RUNNING, KIVRA_ERROR_PLAY_OUTPUT_START},
            KIVRA_STATUS_PLAYING},
        Row{kPlaying, KIVRA_CMD_PAUSE, 0, 0, KIVRA_RESULT_PAUSE_OK, {}, KIVRA_STATUS_PAUSED},
        Row{kPlaying,
            KIVRA_CMD_STEP_FORWARD,
            0,
            0,
            KIVRA_RESULT_STEP_FORWARD_FAILED,
            {KIVRA_ERROR_STEP_FORWARD_FAILED},
            KIVRA_STATUS_PLAYING},
        Row{kPlaying,
            KIVRA_CMD_FAST_FORWARD,
            7,
            0,
            KIVRA_RESULT_FAST_FORWARD_OK,
            {},
            KIVRA_STATUS_FAST_FORWARD},
        Row{kPlaying,
            KIVRA_CMD_FAST_FORWARD,
            8,
            0,
            KIVRA_RESULT_FAST_FORWARD_FAILED,
            {KIVRA_ERROR_FAST_FORWARD_SPEED},
            KIVRA_STATUS_PLAYING},
        Row{kPlaying,
            KIVRA_CMD_FAST_BACKWARD,
            0,
            0,
            KIVRA_RESULT_FAST_BACKWARD_FAILED,
            {KIVRA_ERROR_FAST_BACKWARD_SPEED},
            KIVRA_STATUS_PLAYING},
        Row{kPlaying,
            KIVRA_CMD_FAST_BACKWARD,
            1,
            0,
            KIVRA_RESULT_FAST_BACKWARD_OK,
            {},
            KIVRA_STATUS_FAST_BACKWARD},
        Row{kPlaying, KIVRA_CMD_SEEK, 0, kSeek, KIVRA_RESULT_SEEK_OK, {}, KIVRA_STATUS_PLAYING},
        Row{kPlaying,
            KIVRA_CMD_SEEK,
            0,
            -512,
            KIVRA_RESULT_SEEK_FAILED,
            {KIVRA_ERROR_SEEK_OUT_OF_RANGE},
            KIVRA_STATUS_PLAYING},
        Row{kPlaying, KIVRA_CMD_STOP, 0, 0, KIVRA_RESULT_STOP_OK, {}, KIVRA_STATUS_STOPPED},
        Row{kPlaying,
            KIVRA_CMD_CLOSE,
            0,
            0,
            KIVRA_RESULT_CLOSE_FAILED,
            {KIVRA_ERROR_CLOSE_REFUSED},
            KIVRA_STATUS_PLAYING},
        // from paused
        Row{kPaused, KIVRA_CMD_PLAY, 0, 0, KIVRA_RESULT_PLAY_OK, {}, KIVRA_STATUS_PLAYING},
        Row{kPaused,
            KIVRA_CMD_PAUSE,
            0,
            0,
            KIVRA_RESULT_PAUSE_FAILED,
            {KIVRA_ERROR_PAUSE_FAILED},
            KIVRA_STATUS_PAUSED},
        Row{kPaused,
            KIVRA_CMD_STEP_FORWARD,
            0,
            0,
            KIVRA_RESULT_STEP_FORWARD_OK,
            {},
            KIVRA_STATUS_PAUSED},
        Row{kPaused,
            KIVRA_CMD_STEP_BACKWARD,
            0,
            0,
            KIVRA_RESULT_STEP_BACKWARD_OK,
            {},
            KIVRA_STATUS_PAUSED},
        Row{kPaused,
            KIVRA_CMD_FAST_FORWARD,
            3,
            0,
            KIVRA_RESULT_FAST_FORWARD_FAILED,
            {KIVRA_ERROR_FAST_FORWARD_FAILED},
            KIVRA_STATUS_PAUSED},
        Row{kPaused, KIVRA_CMD_SEEK, 0, kSeek, KIVRA_RESULT_SEEK_OK, {}, KIVRA_STATUS_PLAYING},
        Row{kPaused, KIVRA_CMD_STOP, 0, 0, KIVRA_RESULT_STOP_OK, {}, KIVRA_STATUS_STOPPED},
        Row{kPaused,
            KIVRA_CMD_CLOSE,
            0,
            0,
            KIVRA_RESULT_CLOSE_FAILED,
            {KIVRA_ERROR_CLOSE_REFUSED},
            KIVRA_STATUS_PAUSED},
        // from fast forward and backward
        Row{kFastForward, KIVRA_CMD_PLAY, 0, 0, KIVRA_RESULT_PLAY_OK, {}, KIVRA_STATUS_PLAYING},
        Row{kFastForward,
            KIVRA_CMD_PAUSE,
            0,
            0,
            KIVRA_RESULT_PAUSE_FAILED,
            {KIVRA_ERROR_PAUSE_FAILED},
            KIVRA_STATUS_FAST_FORWARD},
        Row{kFastForward,
            KIVRA_CMD_STEP_FORWARD,
            0,
            0,
            KIVRA_RESULT_STEP_FORWARD_FAILED,
            {KIVRA_ERROR_STEP_FORWARD_FAILED},
            KIVRA_STATUS_FAST_FORWARD},
        Row{kFastForward,
            KIVRA_CMD_FAST_FORWARD,
            4,
            0,
            KIVRA_RESULT_FAST_FORWARD_OK,
            {},
            KIVRA_STATUS_FAST_FORWARD},
        Row{kFastForward,
            KIVRA_CMD_FAST_BACKWARD,
            4,
            0,
            KIVRA_RESULT_FAST_BACKWARD_OK,
            {},
            KIVRA_STATUS_FAST_BACKWARD},
        Row{kFastForward, KIVRA_CMD_SEEK, 0, kSeek, KIVRA_RESULT_SEEK_OK, {}, KIVRA_STATUS_PLAYING},
        Row{kFastForward, KIVRA_CMD_STOP, 0, 0, KIVRA_RESULT_STOP_OK, {}, KIVRA_STATUS_STOPPED},
        Row{kFastBackward, KIVRA_CMD_PLAY, 0, 0, KIVRA_RESULT_PLAY_OK, {}, KIVRA_STATUS_PLAYING},
        Row{kFastBackward,
            KIVRA_CMD_STEP_BACKWARD,
            0,
            0,
            KIVRA_RESULT_STEP_BACKWARD_FAILED,
            {KIVRA_ERROR_STEP_BACKWARD_FAILED},
            KIVRA_STATUS_FAST_BACKWARD},
        Row{kFastBackward, KIVRA_CMD_STOP, 0, 0, KIVRA_RESULT_STOP_OK, {}, KIVRA_STATUS_STOPPED},
        Row{kFastBackward,
            KIVRA_CMD_CLOSE,
            0,
            0,
            KIVRA_RESULT_CLOSE_FAILED,
            {KIVRA_ERROR_CLOSE_REFUSED},
            KIVRA_STATUS_FAST_BACKWARD},
        // from stopped
        Row{kStopped, KIVRA_CMD_PLAY, 0, 0, KIVRA_RESULT_PLAY_OK, {}, KIVRA_STATUS_PLAYING},
        Row{kStopped,
            KIVRA_CMD_PAUSE,
            0,
            0,
            KIVRA_RESULT_PAUSE_FAILED,
            {KIVRA_ERROR_PAUSE_FAILED},
            KIVRA_STATUS_STOPPED},
        Row{kStopped,
            KIVRA_CMD_FAST_FORWARD,
            3,
            0,
            KIVRA_RESULT_FAST_FORWARD_FAILED,
            {KIVRA_ERROR_FAST_FORWARD_FAILED},
            KIVRA_STATUS_STOPPED},
        Row{kStopped,
            KIVRA_CMD_SEEK,
            0,
            kSeek,
            KIVRA_RESULT_SEEK_FAILED,
            {KIVRA_ERROR_SEEK_RESTART},
            KIVRA_STATUS_STOPPED},
        Row{kStopped,
            KIVRA_CMD_STOP,
            0,
            0,
            KIVRA_RESULT_STOP_FAILED,
            {KIVRA_ERROR_STOP_FAILED},
            KIVRA_STATUS_STOPPED},
        Row{kStopped, KIVRA_CMD_CLOSE, 0, 0, KIVRA_RESULT_CLOSE_OK, {}, kClosed},
        // commands outside the table answer with the previous result
        Row{kPlaying, kUnknownCommand, 0, 0, KIVRA_RESULT_PLAY_OK, {}, KIVRA_STATUS_PLAYING},
        Row{kPlaying, KIVRA_CMD_JUMP, 2, 0, KIVRA_RESULT_JUMP_OK, {}, KIVRA_STATUS_PLAYING}));

// Before any command of this engine's run there is no result to repeat: an unknown command
// then reports nothing, where repeating a made-up 0 would tell the host the recording ended.
TEST(CommandTableFirst, UnknownCommandBeforeAnyOtherReportsNothing) {
    setenv("KIVRA_AUDIO", "clock", 1);
    {
        // A result left from an earlier run of the engine must not count either.
        EngineHarness earlier;
        ASSERT_EQ(earlier.command(KIVRA_CMD_JUMP, KIVRA_JUMP_NEXT), KIVRA_RESULT_JUMP_OK);
    }
    EngineHarness engine;
    ASSERT_TRUE(engine.open(recording("--channels 4 --stream-version 3 --seconds 30 --fps 4")));
    zPlayMSG(kUnknownCommand, 0, 0, 0, nullptr);
    EXPECT_FALSE(
        engine.wait([&] { return !engine.play_events().empty(); }, std::chrono::milliseconds(300)))
        << "reported (" << engine.play_events().front().code << ", "
        << engine.play_events().front().value << ")";
    ASSERT_EQ(engine.command(KIVRA_CMD_PLAY), KIVRA_RESULT_PLAY_OK);
    EXPECT_EQ(engine.command(kUnknownCommand), KIVRA_RESULT_PLAY_OK) << "repeats the last result";
}

TEST(CommandTableNothingOpen, RefusedWithTheirErrors) {
    setenv("KIVRA_AUDIO", "clock", 1);
    EngineHarness engine;
    struct Case {
        int cmd;
        int result;
        std::vector<int> errors;
    };
    for (const Case& c :
         {Case{KIVRA_CMD_PLAY, KIVRA_RESULT_PLAY_FAILED, {KIVRA_ERROR_PLAY_OUTPUT_START}},
          Case{KIVRA_CMD_PAUSE, KIVRA_RESULT_PAUSE_FAILED, {KIVRA_ERROR_PAUSE_FAILED}},
          Case{KIVRA_CMD_SEEK, KIVRA_RESULT_SEEK_FAILED, {KIVRA_ERROR_SEEK_LENGTH_UNKNOWN}},
          Case{KIVRA_CMD_STOP, KIVRA_RESULT_STOP_FAILED, {KIVRA_ERROR_STOP_FAILED}},
          Case{KIVRA_CMD_CLOSE, KIVRA_RESULT_CLOSE_FAILED, {KIVRA_ERROR_CLOSE_REFUSED}},
          Case{KIVRA_CMD_SNAPSHOT,
               KIVRA_RESULT_SNAPSHOT_FAILED,
               {KIVRA_ERROR_SNAPSHOT_NOTHING_OPEN}}}) {
        EXPECT_EQ(engine.command(c.cmd), c.result) << "cmd " << c.cmd;
        EXPECT_EQ(engine.last_errors(), c.errors) << "cmd " << c.cmd;
    }
}

}  // namespace
}  // namespace fleet::test
