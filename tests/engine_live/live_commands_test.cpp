// The playback commands and queries while a network source is open: a realtime feed plays and
// stops, a remote link only closes; what they answer and report.
#include <gtest/gtest.h>

#include <cstdlib>

#include "api/engine.h"
#include "engine_harness.h"
#include "fake_feed.h"
#include "recorded_stream.h"
#include "recordings.h"

namespace live_test {
namespace {

using namespace std::chrono_literals;
using fleet::test::EngineHarness;
using fleet::test::recording;

class LiveCommands : public testing::Test {
  protected:
    static void SetUpTestSuite() { setenv("KIVRA_AUDIO", "clock", 1); }
};

kivra::Engine& engine_core() {
    return kivra::Engine::instance();
}

struct Step {
    int cmd;
    intptr_t first;
    int result;
    std::vector<int> errors;
    int status;  // afterwards
};

// Pause, steps, fast play and seek, refused with their own codes from any status.
std::vector<Step> refusals(int status) {
    return {
        {KIVRA_CMD_PAUSE, 0, KIVRA_RESULT_PAUSE_FAILED, {KIVRA_ERROR_PAUSE_NETWORK}, status},
        {KIVRA_CMD_STEP_FORWARD,
         0,
         KIVRA_RESULT_STEP_FORWARD_FAILED,
         {KIVRA_ERROR_STEP_FORWARD_NETWORK},
         status},
        {KIVRA_CMD_STEP_BACKWARD,
         0,
         KIVRA_RESULT_STEP_BACKWARD_FAILED,
         {KIVRA_ERROR_STEP_BACKWARD_NETWORK},
         status},
        {KIVRA_CMD_FAST_FORWARD,
         1,
         KIVRA_RESULT_FAST_FORWARD_FAILED,
         {KIVRA_ERROR_FAST_FORWARD_NETWORK},
         status},
        {KIVRA_CMD_FAST_BACKWARD,
         7,
         KIVRA_RESULT_FAST_BACKWARD_FAILED,
         {KIVRA_ERROR_FAST_BACKWARD_NETWORK},
         status},
        {KIVRA_CMD_SEEK, 0, KIVRA_RESULT_SEEK_FAILED, {KIVRA_ERROR_SEEK_NETWORK}, status},
    };
}

void run(EngineHarness& engine, const std::vector<Step>& steps) {
    for (const Step& s : steps) {
        SCOPED_TRACE("command " + std::to_string(s.cmd) + " from status " +
                     std::to_string(zTellStatusType()));
        EXPECT_EQ(engine.command(s.cmd, s.first), s.result);
        EXPECT_EQ(engine.last_errors(), s.errors);
        EXPECT_EQ(zTellStatusType(), s.status);
    }
}

std::vector<Step> operator+(std::vector<Step> a, const std::vector<Step>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(LiveCommands, ARealtimeFeedOnlyPlaysAndStops) {
    const RecordedStream stream =
        recorded_stream(recording("--channels 4 --stream-version 3 --seconds 4 --fps 4"), 8000, 16);
    FakeFeed feed(4);
    feed.push(stream.gops);
    EngineHarness engine;
    ASSERT_TRUE(engine_core().open_network(KIVRA_SOURCE_REALTIME, &feed));

    const int opened = KIVRA_STATUS_OPENED, playing = KIVRA_STATUS_PLAYING,
              stopped = KIVRA_STATUS_STOPPED;
    run(engine,
        refusals(opened) +
            std::vector<Step>{
                {KIVRA_CMD_STOP, 0, KIVRA_RESULT_STOP_FAILED, {KIVRA_ERROR_STOP_FAILED}, opened},
                {KIVRA_CMD_PLAY, 0, KIVRA_RESULT_PLAY_OK, {}, playing},
                {KIVRA_CMD_PLAY, 0, KIVRA_RESULT_PLAY_FAILED, {}, playing},
                {KIVRA_CMD_CLOSE,
                 0,
                 KIVRA_RESULT_CLOSE_FAILED,
                 {KIVRA_ERROR_CLOSE_REFUSED},
                 playing},
            } +
            refusals(playing));
    ASSERT_TRUE(engine.wait([&] { return !engine.frames().empty(); }, 10s)) << "nothing plays";
    EXPECT_EQ(feed.counts().stops, 0);

    run(engine, {{KIVRA_CMD_STOP, 0, KIVRA_RESULT_STOP_OK, {}, stopped}});
    EXPECT_EQ(feed.counts().stops, 1) << "stop ends the stream";
    EXPECT_EQ(feed.counts().restarts, 0);
    run(engine,
        refusals(stopped) +
            std::vector<Step>{
                {KIVRA_CMD_STOP, 0, KIVRA_RESULT_STOP_FAILED, {KIVRA_ERROR_STOP_FAILED}, stopped},
                {KIVRA_CMD_PLAY, 0, KIVRA_RESULT_PLAY_OK, {}, playing},
            });
    EXPECT_EQ(feed.counts().restarts, 1) << "play from stopped starts the stream again";
    // The stream that started again plays.
    const size_t shown = engine.frames().size();
    feed.push(stream.gops);
    ASSERT_TRUE(engine.wait([&] { return engine.frames().size() >= shown + 4; }, 10s));

    feed.fail_restarts(true);
    run(engine, {{KIVRA_CMD_STOP, 0, KIVRA_RESULT_STOP_OK, {}, stopped},
                 {KIVRA_CMD_PLAY, 0, KIVRA_RESULT_PLAY_FAILED, {}, stopped},
                 {KIVRA_CMD_CLOSE, 0, KIVRA_RESULT_CLOSE_OK, {}, opened}});
    EXPECT_EQ(feed.counts().restarts, 2);
    EXPECT_EQ(engine.count_play(KIVRA_RESULT_CLOSE_OK, KIVRA_CLOSE_RESULT_REALTIME), 1);
    EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_NONE);
}

TEST_F(LiveCommands, ARemoteLinkOnlyCloses) {
    EngineHarness engine;
    ASSERT_TRUE(engine_core().open_network(KIVRA_SOURCE_REMOTE, nullptr));
    const int opened = KIVRA_STATUS_OPENED;
    run(engine,
        std::vector<Step>{{KIVRA_CMD_PLAY, 0, KIVRA_RESULT_PLAY_FAILED, {}, opened}} +
            refusals(opened) +
            std::vector<Step>{
                {KIVRA_CMD_STOP, 0, KIVRA_RESULT_STOP_FAILED, {KIVRA_ERROR_STOP_FAILED}, opened},
                {KIVRA_CMD_CLOSE, 0, KIVRA_RESULT_CLOSE_OK, {}, opened}});
    EXPECT_EQ(engine.count_play(KIVRA_RESULT_CLOSE_OK, KIVRA_CLOSE_RESULT_REMOTE), 1);
    EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_NONE);
}

// Which network source may be opened over what.
TEST_F(LiveCommands, ANetworkSourceOpensOnlyWhereItMay) {
    EngineHarness engine;
    FakeFeed feed(4), other(8);
    EXPECT_FALSE(engine_core().open_network(KIVRA_SOURCE_REALTIME, nullptr));
    EXPECT_FALSE(engine_core().open_network(KIVRA_SOURCE_REMOTE, &feed));
    EXPECT_FALSE(engine_core().open_network(KIVRA_SOURCE_FILE, &feed));
    EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_NONE);

    ASSERT_TRUE(engine_core().open_network(KIVRA_SOURCE_REMOTE, nullptr));
    EXPECT_TRUE(engine_core().open_network(KIVRA_SOURCE_REMOTE, nullptr)) << "remote over remote";
    EXPECT_FALSE(engine_core().open_network(KIVRA_SOURCE_REALTIME, &feed));
    EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_REMOTE);
    ASSERT_EQ(engine.command(KIVRA_CMD_CLOSE), KIVRA_RESULT_CLOSE_OK);

    ASSERT_TRUE(engine_core().open_network(KIVRA_SOURCE_REALTIME, &feed));
    EXPECT_FALSE(engine_core().open_network(KIVRA_SOURCE_REALTIME, &other));
    EXPECT_FALSE(engine_core().open_network(KIVRA_SOURCE_REMOTE, nullptr));
    EXPECT_EQ(zTellScreenNum(), 4) << "the first feed stays open";
}

TEST_F(LiveCommands, QueriesAnswerForNetworkSources) {
    struct Case {
        const char* name;
        int type;
        int channels;      // of the feed (realtime)
        int screen_count;  // zTellScreenNum
    };
    for (const Case& c : {Case{"realtime, 4 channels", KIVRA_SOURCE_REALTIME, 4, 4},
                          Case{"realtime, 8 channels", KIVRA_SOURCE_REALTIME, 8, 8},
                          Case{"realtime, 6 channels", KIVRA_SOURCE_REALTIME, 6, KIVRA_UNKNOWN},
                          Case{"remote", KIVRA_SOURCE_REMOTE, 0, KIVRA_UNKNOWN}}) {
        SCOPED_TRACE(c.name);
        FakeFeed feed(c.channels);
        EngineHarness engine;
        ASSERT_TRUE(
            engine_core().open_network(c.type, c.type == KIVRA_SOURCE_REALTIME ? &feed : nullptr));
        EXPECT_EQ(zTellOpenedType(), c.type);
        EXPECT_EQ(zTellScreenNum(), c.screen_count);
        EXPECT_EQ(zTellBegTime(), KIVRA_UNKNOWN);
        EXPECT_EQ(zTellEndTime(), KIVRA_UNKNOWN);
        EXPECT_EQ(zTellp(), KIVRA_UNKNOWN);
        EXPECT_EQ(zTellTotalLen(), KIVRA_UNKNOWN);
        char id[16] = "untouched";
        EXPECT_EQ(zTellCarId(id), KIVRA_UNKNOWN);
        EXPECT_STREQ(id, "untouched");
        EXPECT_EQ(zStartExtract(0, 0, 1 << 20, 0), -1);
        uint8_t header[16];
        EXPECT_FALSE(zTellTimeInxHd(header));
    }
}

// With the presenting side held, only a poll can wake the reader after the feed had nothing:
// each poll has the feed asked again.
TEST_F(LiveCommands, APollWakesTheReaderAndReportsNothing) {
    FakeFeed feed(4);
    feed.hold(true);
    EngineHarness engine;
    ASSERT_TRUE(engine_core().open_network(KIVRA_SOURCE_REALTIME, &feed));
    ASSERT_EQ(engine.command(KIVRA_CMD_PLAY), KIVRA_RESULT_PLAY_OK);
    ASSERT_TRUE(feed.wait_until([](const FeedCounts& n) { return n.no_data >= 3; }, 10s));
    const size_t events = engine.play_events().size();
    {
        std::lock_guard<std::mutex> held(engine_core().audio().lock());
        for (int round = 0; round < 3; ++round) {
            SCOPED_TRACE("poll " + std::to_string(round));
            const int asked = feed.counts().no_data;
            zPlayMSG(KIVRA_CMD_POLL, 0, 0, 0, nullptr);
            ASSERT_TRUE(
                feed.wait_until([&](const FeedCounts& n) { return n.no_data > asked; }, 10s));
        }
    }
    ASSERT_EQ(engine.command(KIVRA_CMD_STOP), KIVRA_RESULT_STOP_OK);
    const std::vector<fleet::test::PlayEvent> reported = engine.play_events();
    ASSERT_EQ(reported.size(), events + 1) << "a poll reports nothing";
    EXPECT_EQ(reported.back().code, KIVRA_RESULT_STOP_OK);
}

}  // namespace
}  // namespace live_test
