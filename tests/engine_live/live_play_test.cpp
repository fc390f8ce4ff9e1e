// Normal play of a realtime feed: what the host sees while the link prebuffers, then every
// frame the recorder sent, with its pictures and telemetry; a feed whose sound changes format;
// GOPs that cannot be taken.
#include <gtest/gtest.h>

#include <cstdlib>

#include "api/engine.h"
#include "engine_harness.h"
#include "fake_feed.h"
#include "format/stream_walker.h"
#include "process.h"
#include "recorded_stream.h"
#include "recordings.h"
#include "shown_frames.h"

namespace live_test {
namespace {

using namespace std::chrono_literals;
using fleet::test::EngineHarness;
using fleet::test::recording;

class LivePlay : public testing::Test {
  protected:
    static void SetUpTestSuite() { setenv("KIVRA_AUDIO", "clock", 1); }
};

bool open_feed(FakeFeed& feed) {
    return kivra::Engine::instance().open_network(KIVRA_SOURCE_REALTIME, &feed);
}

// Every frame of `parts` was shown once, as recorded, and nothing else.
void expect_shown_exactly(EngineHarness& engine, const std::vector<ShownPart>& parts, Area area) {
    size_t frames = 0;
    for (const ShownPart& part : parts) frames += part.stream->truth.size();
    EXPECT_EQ(engine.frames().size(), frames);
    expect_shown_as_recorded(engine.frames(), parts, area);
}

bool wait_for_frames(EngineHarness& engine, size_t count) {
    return engine.wait([&] { return engine.frames().size() >= count; }, 30s);
}

// While the link prebuffers, the presenting side keeps asking and nothing is shown; then every
// frame is shown once, in order, as recorded.
TEST_F(LivePlay, PrebufferingShowsNothingThenEveryFrameAsRecorded) {
    struct Case {
        const char* options;
    };
    for (const Case& c : {Case{"--channels 4 --stream-version 3 --seconds 4 --fps 4"},
                          Case{"--channels 8 --stream-version 3 --seconds 3 --fps 3"}}) {
        SCOPED_TRACE(c.options);
        const RecordedStream stream = recorded_stream(recording(c.options), 8000, 16);
        ASSERT_FALSE(stream.gops.empty());
        FakeFeed feed(stream.channels);
        feed.hold(true);
        feed.push(stream.gops);
        const Area area = area_for(stream.channels);
        EngineHarness engine(area.width, area.height);
        ASSERT_TRUE(open_feed(feed));
        EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_REALTIME);
        EXPECT_EQ(zTellScreenNum(), stream.channels);

        ASSERT_EQ(engine.command(KIVRA_CMD_PLAY), KIVRA_RESULT_PLAY_OK);
        EXPECT_EQ(zTellStatusType(), KIVRA_STATUS_PLAYING);
        ASSERT_TRUE(feed.wait_until([](const FeedCounts& n) { return n.no_data >= 20; }, 10s))
            << "the reader is not asked again while the link prebuffers";
        EXPECT_EQ(feed.counts().taken, 0);
        EXPECT_EQ(engine.frames().size(), 0u);
        EXPECT_EQ(engine.presents(), 0u);

        feed.hold(false);
        ASSERT_TRUE(wait_for_frames(engine, stream.truth.size()));
        // Once the feed ran dry the reader is asked again, and nothing more is shown.
        const int dry = feed.counts().no_data;
        ASSERT_TRUE(
            feed.wait_until([&](const FeedCounts& n) { return n.no_data >= dry + 5; }, 10s));
        expect_shown_exactly(engine, {whole(stream)}, area);
        EXPECT_EQ(feed.counts().taken, static_cast<int>(stream.gops.size()));
        EXPECT_EQ(engine.count_play(KIVRA_EVENT_READ_FAILED, KIVRA_READ_FAILED_SOURCE), 0);
        EXPECT_EQ(engine.count_play(KIVRA_EVENT_READ_FAILED, KIVRA_READ_FAILED_PARSE), 0);
        EXPECT_EQ(engine.count_play(KIVRA_EVENT_DRAW_FAILED, 0), 0);

        ASSERT_EQ(engine.command(KIVRA_CMD_STOP), KIVRA_RESULT_STOP_OK);
        EXPECT_EQ(feed.counts().stops, 1);
    }
}

// A realtime source stays open across a zRelease and zInit, as a stored one does: play then
// takes the feed's GOPs as before.
TEST_F(LivePlay, ARealtimeSourceOpenAcrossARestartStillPlays) {
    const RecordedStream stream =
        recorded_stream(recording("--channels 4 --stream-version 3 --seconds 3 --fps 4"), 8000, 16);
    FakeFeed feed(stream.channels);
    feed.push(stream.gops);
    const Area area = area_for(stream.channels);
    EngineHarness engine(area.width, area.height);
    ASSERT_TRUE(open_feed(feed));
    engine.restart();
    EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_REALTIME);
    ASSERT_EQ(engine.command(KIVRA_CMD_PLAY), KIVRA_RESULT_PLAY_OK);
    ASSERT_TRUE(wait_for_frames(engine, stream.truth.size()));
    expect_shown_exactly(engine, {whole(stream)}, area);
    ASSERT_EQ(engine.command(KIVRA_CMD_STOP), KIVRA_RESULT_STOP_OK);
}

// The recorder's sound changes format mid-stream: the output follows it, and every frame of
// the old format is still shown, at the old format's pace.
TEST_F(LivePlay, TheOutputFollowsTheSoundFormatWithoutLosingFrames) {
    const char* common = "--channels 4 --stream-version 3 --seconds 3 --fps 4";
    const RecordedStream first =
        recorded_stream(recording(std::string(common) + " --audio-rate 8000"), 8000, 16);
    const RecordedStream second = recorded_stream(
        recording(std::string(common) + " --audio-rate 16000 --audio-bits 8 --seed 7"), 16000, 8);
    FakeFeed feed(4);
    feed.push(first.gops);
    feed.push(second.gops);
    const Area area = area_for(4);
    EngineHarness engine(area.width, area.height);
    ASSERT_TRUE(open_feed(feed));
    ASSERT_EQ(engine.command(KIVRA_CMD_PLAY), KIVRA_RESULT_PLAY_OK);
    ASSERT_TRUE(wait_for_frames(engine, first.truth.size() + second.truth.size()));
    expect_shown_exactly(engine, {whole(first), whole(second)}, area);
    EXPECT_EQ(engine.count_play(KIVRA_EVENT_READ_FAILED, KIVRA_READ_FAILED_SOURCE), 0);
}

// Recording while a feed plays keeps every GOP the recorder sent, as it sent it: a feed of a
// whole recording is recorded as that recording's stream, byte for byte.
TEST_F(LivePlay, RecordingDuringPlayKeepsEveryGopAsSent) {
    const std::string base = recording("--channels 4 --stream-version 3 --seconds 4 --fps 4");
    const RecordedStream stream = recorded_stream(base, 8000, 16);
    fleet::test::TempDir dir;
    const std::string recorded = dir.file("recorded");
    FakeFeed feed(4);
    feed.push(stream.gops);
    {
        EngineHarness engine;
        ASSERT_TRUE(open_feed(feed));
        ASSERT_TRUE(zSetRecord(recorded.c_str(), 1));
        ASSERT_EQ(engine.command(KIVRA_CMD_PLAY), KIVRA_RESULT_PLAY_OK);
        ASSERT_TRUE(wait_for_frames(engine, stream.truth.size()));
        ASSERT_TRUE(zSetRecord(nullptr, 0));
    }
    EXPECT_TRUE(fleet::test::read_file(recorded + ".dvr") == fleet::test::read_file(base + ".dvr"));
    fleet::test::ProcessResult verify =
        fleet::test::run_process({DVRTOOL_PATH, "verify", recorded + ".dvr"});
    EXPECT_EQ(verify.exit_code, 0) << verify.out << verify.err;
}

// A GOP too large for the reader's buffer is reported and play goes on with the next; a link
// that closed is reported once however often the reader finds it closed.
TEST_F(LivePlay, AFailedTakeIsReportedOnceAndPlayGoesOn) {
    const RecordedStream stream =
        recorded_stream(recording("--channels 4 --stream-version 3 --seconds 4 --fps 4"), 8000, 16);
    ASSERT_GE(stream.gops.size(), 3u);
    FakeFeed feed(4);
    feed.push(stream.gops[0]);
    feed.push(Bytes(fleet::format::kWalkBufferSize + 512, 0xAB));
    feed.push(std::vector<Bytes>(stream.gops.begin() + 1, stream.gops.end()));
    const Area area = area_for(4);
    EngineHarness engine(area.width, area.height);
    ASSERT_TRUE(open_feed(feed));
    ASSERT_EQ(engine.command(KIVRA_CMD_PLAY), KIVRA_RESULT_PLAY_OK);
    ASSERT_TRUE(wait_for_frames(engine, stream.truth.size()));
    expect_shown_exactly(engine, {whole(stream)}, area);
    EXPECT_EQ(feed.counts().failed, 1);
    EXPECT_EQ(engine.count_play(KIVRA_EVENT_READ_FAILED, KIVRA_READ_FAILED_SOURCE), 1);

    feed.close();
    ASSERT_TRUE(feed.wait_until([](const FeedCounts& n) { return n.failed >= 8; }, 10s));
    EXPECT_EQ(engine.count_play(KIVRA_EVENT_READ_FAILED, KIVRA_READ_FAILED_SOURCE), 2);
    EXPECT_EQ(zTellStatusType(), KIVRA_STATUS_PLAYING);
}

}  // namespace
}  // namespace live_test
