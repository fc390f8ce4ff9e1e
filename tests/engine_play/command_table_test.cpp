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
    int status_after;  // -1: nothing open any more
};

void PrintTo(const Row& r, std::ostream* os) {
    *os << "from " << r.from << " cmd " << r.cmd << "(" << r.first << ")";
}

constexpr int64_t kSeek = 20480;     // inside the recording
constexpr int64_t kTooFar = 1 << 30;  // beyond it

// Brings a freshly opened recording into a status.
void reach(EngineHarness& engine, From from) {
    switch (from) {
        case kOpened: return;
        case kPlaying: ASSERT_EQ(engine.command(1), 7); return;
        case kPaused:
            ASSERT_EQ(engine.command(1), 7);
            ASSERT_EQ(engine.command(2), 9);
            return;
        case kFastForward:
            ASSERT_EQ(engine.command(1), 7);
            ASSERT_EQ(engine.command(5, 2), 15);
            return;
        case kFastBackward:
            ASSERT_EQ(engine.command(1), 7);
            ASSERT_EQ(engine.command(6, 2), 17);
            return;
        case kStopped:
            ASSERT_EQ(engine.command(1), 7);
            ASSERT_EQ(engine.command(8), 21);
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
    if (row.status_after < 0) {
        EXPECT_EQ(zTellOpenedType(), -1);
    } else {
        EXPECT_EQ(zTellStatusType(), row.status_after);
        EXPECT_EQ(zTellOpenedType(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Stored, CommandTable,
    testing::Values(
        // from opened
        Row{kOpened, 1, 0, 0, 7, {}, 1}, Row{kOpened, 2, 0, 0, 8, {40024}, 0},
        Row{kOpened, 3, 0, 0, 10, {40026}, 0}, Row{kOpened, 4, 0, 0, 12, {40029}, 0},
        Row{kOpened, 5, 3, 0, 14, {40035}, 0}, Row{kOpened, 6, 3, 0, 16, {40038}, 0},
        Row{kOpened, 7, 0, kSeek, 19, {}, 1}, Row{kOpened, 7, 0, kTooFar, 18, {40041}, 0},
        Row{kOpened, 8, 0, 0, 20, {40055}, 0}, Row{kOpened, 0, 0, 0, 5, {}, -1},
        // from playing
        Row{kPlaying, 1, 0, 0, 6, {40015, 40005}, 1}, Row{kPlaying, 2, 0, 0, 9, {}, 2},
        Row{kPlaying, 3, 0, 0, 10, {40026}, 1}, Row{kPlaying, 5, 7, 0, 15, {}, 3},
        Row{kPlaying, 5, 8, 0, 14, {40032}, 1}, Row{kPlaying, 6, 0, 0, 16, {40037}, 1},
        Row{kPlaying, 6, 1, 0, 17, {}, 4}, Row{kPlaying, 7, 0, kSeek, 19, {}, 1},
        Row{kPlaying, 7, 0, -512, 18, {40041}, 1}, Row{kPlaying, 8, 0, 0, 21, {}, 5},
        Row{kPlaying, 0, 0, 0, 4, {40016}, 1},
        // from paused
        Row{kPaused, 1, 0, 0, 7, {}, 1}, Row{kPaused, 2, 0, 0, 8, {40024}, 2},
        Row{kPaused, 3, 0, 0, 11, {}, 2}, Row{kPaused, 4, 0, 0, 13, {}, 2},
        Row{kPaused, 5, 3, 0, 14, {40035}, 2}, Row{kPaused, 7, 0, kSeek, 19, {}, 1},
        Row{kPaused, 8, 0, 0, 21, {}, 5}, Row{kPaused, 0, 0, 0, 4, {40016}, 2},
        // from fast forward and backward
        Row{kFastForward, 1, 0, 0, 7, {}, 1}, Row{kFastForward, 2, 0, 0, 8, {40024}, 3},
        Row{kFastForward, 3, 0, 0, 10, {40026}, 3}, Row{kFastForward, 5, 4, 0, 15, {}, 3},
        Row{kFastForward, 6, 4, 0, 17, {}, 4}, Row{kFastForward, 7, 0, kSeek, 19, {}, 1},
        Row{kFastForward, 8, 0, 0, 21, {}, 5}, Row{kFastBackward, 1, 0, 0, 7, {}, 1},
        Row{kFastBackward, 4, 0, 0, 12, {40029}, 4}, Row{kFastBackward, 8, 0, 0, 21, {}, 5},
        Row{kFastBackward, 0, 0, 0, 4, {40016}, 4},
        // from stopped
        Row{kStopped, 1, 0, 0, 7, {}, 1}, Row{kStopped, 2, 0, 0, 8, {40024}, 5},
        Row{kStopped, 5, 3, 0, 14, {40035}, 5}, Row{kStopped, 7, 0, kSeek, 18, {40047}, 5},
        Row{kStopped, 8, 0, 0, 20, {40055}, 5}, Row{kStopped, 0, 0, 0, 5, {}, -1},
        // commands outside the table answer with the previous result
        Row{kPlaying, 12, 0, 0, 7, {}, 1}, Row{kPlaying, 11, 2, 0, 25, {}, 1}));

TEST(CommandTableNothingOpen, RefusedWithTheirErrors) {
    setenv("KIVRA_AUDIO", "clock", 1);
    EngineHarness engine;
    struct Case {
        int cmd;
        int result;
        std::vector<int> errors;
    };
    for (const Case& c : {Case{1, 6, {40005}}, Case{2, 8, {40024}}, Case{7, 18, {40040}},
                          Case{8, 20, {40055}}, Case{0, 4, {40016}}, Case{9, 22, {40056}}}) {
        EXPECT_EQ(engine.command(c.cmd), c.result) << "cmd " << c.cmd;
        EXPECT_EQ(engine.last_errors(), c.errors) << "cmd " << c.cmd;
    }
}

}  // namespace
}  // namespace fleet::test
