// Realtime play from a recorder on the network: `dvrsim serve` in its own process, reached over
// loopback on the recorder's port inside a private network namespace, through zOpenEx.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "common/le.h"
#include "engine_harness.h"
#include "process.h"
#include "recorded_stream.h"
#include "recordings.h"
#include "running_process.h"
#include "shown_frames.h"

namespace live_test {
namespace {

using namespace std::chrono_literals;
using fleet::test::EngineHarness;
using fleet::test::LinkEvent;
using fleet::test::recording;
using fleet::test::RunningProcess;

class LiveServe : public testing::Test {
  protected:
    static void SetUpTestSuite() { setenv("KIVRA_AUDIO", "clock", 1); }
};

const uint8_t kAddress6[6] = {127, 0, 0, 1, 0x98, 0x08};
const char kName32[32] = "BUS-0001";

LiveParams live_params(uint32_t channels, bool buffering) {
    LiveParams p{};
    std::memcpy(p.bytes, "127.0.0.1", 9);
    fleet::store_u32(p.bytes + 32, channels);
    fleet::store_u32(p.bytes + 36, (1u << channels) - 1);  // channel mask
    p.bytes[50] = buffering ? 1 : 0;
    p.bytes[51] = 1;  // request mark
    return p;
}

// `dvrsim serve --pair BASE EXTRA...` on the recorder's port, once it is ready.
struct ServedPair {
    ServedPair(const std::string& base, std::vector<std::string> extra)
        : process([&] {
              std::vector<std::string> argv{DVRSIM_PATH, "serve", "--pair", base};
              argv.insert(argv.end(), extra.begin(), extra.end());
              return argv;
          }()),
          ready(!process.wait_for_line("serving on").empty()) {}
    RunningProcess process;
    bool ready;
};

std::optional<LinkEvent> wait_link(EngineHarness& engine, size_t from, int code,
                                   std::optional<int> value = std::nullopt) {
    std::optional<LinkEvent> found;
    engine.wait(
        [&] {
            const std::vector<LinkEvent> events = engine.link_events();
            for (size_t i = from; i < events.size(); ++i) {
                const LinkEvent& e = events[i];
                if (e.link == KIVRA_LINK_REALTIME && e.code == code &&
                    (!value || e.value == *value)) {
                    found = e;
                    return true;
                }
            }
            return false;
        },
        20s);
    return found;
}

bool wait_for_frames(EngineHarness& engine, size_t count) {
    return engine.wait([&] { return engine.frames().size() >= count; }, 60s);
}

std::vector<fleet::test::FrameEvent> frames_from(EngineHarness& engine, size_t first) {
    std::vector<fleet::test::FrameEvent> frames = engine.frames();
    frames.erase(frames.begin(), frames.begin() + static_cast<std::ptrdiff_t>(first));
    return frames;
}

// GOPs 0, 1, ... of the recording, in order.
bool from_the_start(const ShownPart& part) {
    for (size_t i = 0; i < part.gops.size(); ++i) {
        if (part.gops[i] != i) return false;
    }
    return true;
}

// Opened on the recorder's port: the link reports its connect and the recorder's acceptance,
// and play shows the recorder's GOPs from its first, as recorded.
TEST_F(LiveServe, TheRecordersFramesPlayAsRecorded) {
    const std::string base = recording("--channels 4 --stream-version 3 --seconds 8 --fps 4");
    const RecordedStream stream = recorded_stream(base, 8000, 16);
    ServedPair served(base, {});
    ASSERT_TRUE(served.ready) << served.process.err();
    const Area area = area_for(4);
    EngineHarness engine(area.width, area.height);

    ASSERT_TRUE(zOpenEx(live_params(4, false), 0, 0, kAddress6, kName32, nullptr));
    EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_REALTIME);
    EXPECT_EQ(zTellScreenNum(), 4);
    ASSERT_TRUE(wait_link(engine, 0, KIVRA_LINK_CONNECTED, 0));
    ASSERT_TRUE(wait_link(engine, 0, KIVRA_LINK_START_ACCEPTED, 0));

    ASSERT_EQ(engine.command(KIVRA_CMD_PLAY), KIVRA_RESULT_PLAY_OK);
    ASSERT_TRUE(wait_for_frames(engine, 4 * 4));
    const size_t links = engine.link_events().size();
    ASSERT_EQ(engine.command(KIVRA_CMD_STOP), KIVRA_RESULT_STOP_OK);
    EXPECT_TRUE(wait_link(engine, links, KIVRA_LINK_STOP_ACCEPTED, 0));

    const ShownPart shown = gops_shown(engine.frames(), stream);
    EXPECT_GE(shown.gops.size(), 3u);
    EXPECT_TRUE(from_the_start(shown)) << "GOPs were lost or shown twice";
    expect_shown_as_recorded(engine.frames(), {shown}, area);
    EXPECT_EQ(engine.count_play(KIVRA_EVENT_READ_FAILED, KIVRA_READ_FAILED_SOURCE), 0);
    EXPECT_EQ(engine.count_play(KIVRA_EVENT_READ_FAILED, KIVRA_READ_FAILED_PARSE), 0);

    ASSERT_EQ(engine.command(KIVRA_CMD_CLOSE), KIVRA_RESULT_CLOSE_OK);
    EXPECT_EQ(engine.count_play(KIVRA_RESULT_CLOSE_OK, KIVRA_CLOSE_RESULT_REALTIME), 1);
}

// `dvrsim serve --dial`: the recorder connects to the engine's listener and says hello.
struct DialledPair {
    explicit DialledPair(const std::string& base)
        : process({DVRSIM_PATH, "serve", "--pair", base, "--dial", "127.0.0.1:2201"}),
          dialled(!process.wait_for_line("dialled").empty()) {}
    RunningProcess process;
    bool dialled;
};

struct ListenCase {
    const char* name;
    int32_t connect_mode;
};

void PrintTo(const ListenCase& c, std::ostream* os) {
    *os << c.name;
}

class LiveListen : public LiveServe, public testing::WithParamInterface<ListenCase> {};

// Listening on 2201, asked for or after a direct link failed (nobody serves 2200): the
// recorder that dials in takes the start request and its frames play as recorded.
TEST_P(LiveListen, TheRecorderThatDialsInPlays) {
    const std::string base = recording("--channels 4 --stream-version 3 --seconds 8 --fps 4");
    const RecordedStream stream = recorded_stream(base, 8000, 16);
    const Area area = area_for(4);
    EngineHarness engine(area.width, area.height);

    ASSERT_TRUE(
        zOpenEx(live_params(4, false), GetParam().connect_mode, 0, kAddress6, kName32, nullptr));
    ASSERT_TRUE(wait_link(engine, 0, KIVRA_LINK_LISTENING, 2201));
    DialledPair recorder(base);
    ASSERT_TRUE(recorder.dialled) << recorder.process.err();
    ASSERT_TRUE(wait_link(engine, 0, KIVRA_LINK_START_ACCEPTED, 0));
    EXPECT_EQ(engine.link_events().front().code, KIVRA_LINK_LISTENING);

    ASSERT_EQ(engine.command(KIVRA_CMD_PLAY), KIVRA_RESULT_PLAY_OK);
    ASSERT_TRUE(wait_for_frames(engine, 3 * 4));
    ASSERT_EQ(engine.command(KIVRA_CMD_STOP), KIVRA_RESULT_STOP_OK);
    const ShownPart shown = gops_shown(engine.frames(), stream);
    EXPECT_TRUE(from_the_start(shown));
    expect_shown_as_recorded(engine.frames(), {shown}, area);
    ASSERT_EQ(engine.command(KIVRA_CMD_CLOSE), KIVRA_RESULT_CLOSE_OK);
}

INSTANTIATE_TEST_SUITE_P(Modes, LiveListen,
                         testing::Values(ListenCase{"Listening", 4},
                                         ListenCase{"FallbackFromDirect", 0}),
                         [](const testing::TestParamInfo<ListenCase>& row) {
                             return std::string(row.param.name);
                         });

struct RefusalCase {
    const char* refuse;
    int code;
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.refuse;
}

class LiveRefusal : public LiveServe, public testing::WithParamInterface<RefusalCase> {};

// A busy or denying recorder answers the start request: the host hears which, and nothing
// is shown.
TEST_P(LiveRefusal, IsReportedAndNothingPlays) {
    const std::string base = recording("--channels 4 --stream-version 3 --seconds 8 --fps 4");
    ServedPair served(base, {"--refuse", GetParam().refuse});
    ASSERT_TRUE(served.ready) << served.process.err();
    const Area area = area_for(4);
    EngineHarness engine(area.width, area.height);

    ASSERT_TRUE(zOpenEx(live_params(4, false), 0, 0, kAddress6, kName32, nullptr));
    ASSERT_TRUE(wait_link(engine, 0, GetParam().code));
    ASSERT_EQ(engine.command(KIVRA_CMD_PLAY), KIVRA_RESULT_PLAY_OK);
    EXPECT_FALSE(engine.wait([&] { return !engine.frames().empty(); }, 1s));
    for (const LinkEvent& e : engine.link_events()) {
        EXPECT_NE(e.code, KIVRA_LINK_START_ACCEPTED);
    }
    ASSERT_EQ(engine.command(KIVRA_CMD_STOP), KIVRA_RESULT_STOP_OK);
    ASSERT_EQ(engine.command(KIVRA_CMD_CLOSE), KIVRA_RESULT_CLOSE_OK);
}

INSTANTIATE_TEST_SUITE_P(Answers, LiveRefusal,
                         testing::Values(RefusalCase{"busy", KIVRA_LINK_START_REFUSED},
                                         RefusalCase{"denied", KIVRA_LINK_START_DENIED}),
                         [](const testing::TestParamInfo<RefusalCase>& row) {
                             return std::string(row.param.refuse);
                         });

// With buffering on, nothing is shown until ten GOPs are queued; a recorder that sends faster
// than the pictures are shown is asked to slow down, and the queue is trimmed of its oldest
// GOPs: whole GOPs are left out, the ones shown are still shown as recorded.
TEST_F(LiveServe, PrebufferingThenTrimmingOfAFastRecorder) {
    const std::string base = recording("--channels 4 --stream-version 3 --seconds 40 --fps 2");
    const RecordedStream stream = recorded_stream(base, 8000, 16);
    fleet::test::TempDir dir;
    const std::string stats = dir.file("stats");
    ServedPair served(base, {"--pace", "8", "--stats", stats});
    ASSERT_TRUE(served.ready) << served.process.err();
    const Area area = area_for(4);
    EngineHarness engine(area.width, area.height);

    ASSERT_TRUE(zOpenEx(live_params(4, true), 0, 0, kAddress6, kName32, nullptr));
    ASSERT_TRUE(wait_link(engine, 0, KIVRA_LINK_CONNECTED, 0));
    ASSERT_EQ(engine.command(KIVRA_CMD_PLAY), KIVRA_RESULT_PLAY_OK);
    const std::optional<LinkEvent> almost = wait_link(engine, 0, KIVRA_LINK_PREBUFFERING, 90);
    ASSERT_TRUE(almost);
    ASSERT_TRUE(wait_link(engine, 0, KIVRA_LINK_PREBUFFERING, 100));
    std::vector<int> percents;
    for (const LinkEvent& e : engine.link_events()) {
        if (e.code == KIVRA_LINK_PREBUFFERING) percents.push_back(e.value);
    }
    EXPECT_EQ(percents, (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));

    ASSERT_TRUE(wait_for_frames(engine, 7 * 2));
    EXPECT_GT(engine.frames().front().at, almost->at) << "a frame was shown while prebuffering";
    ASSERT_EQ(engine.command(KIVRA_CMD_STOP), KIVRA_RESULT_STOP_OK);
    ASSERT_EQ(engine.command(KIVRA_CMD_CLOSE), KIVRA_RESULT_CLOSE_OK);

    const ShownPart shown = gops_shown(engine.frames(), stream);
    ASSERT_GE(shown.gops.size(), 6u);
    bool trimmed = false;
    for (size_t i = 1; i < shown.gops.size(); ++i) {
        trimmed = trimmed || shown.gops[i] != (shown.gops[i - 1] + 1) % stream.gops.size();
    }
    EXPECT_TRUE(trimmed) << "every GOP was shown although the recorder sent eight times faster";
    expect_shown_as_recorded(engine.frames(), {shown}, area);

    // The recorder writes its counts when the link ends.
    ASSERT_EQ(served.process.signal(SIGTERM), true);
    EXPECT_EQ(served.process.wait(), 0) << served.process.err();
    const std::string counts = fleet::test::read_file(stats);
    long long slower = 0;
    for (const std::string& line : fleet::test::split_lines(counts)) {
        if (line.rfind("slower ", 0) == 0) slower = std::atoll(line.c_str() + 7);
    }
    EXPECT_GT(slower, 0) << counts;
}

// The recorder cuts the link: the host hears it from the link, the reader's failed takes are
// reported once and play goes on until stopped; play starts the stream again on a new link.
TEST_F(LiveServe, ACutLinkIsReportedOnceAndPlayStartsAgain) {
    const std::string base = recording("--channels 4 --stream-version 3 --seconds 8 --fps 4");
    const RecordedStream stream = recorded_stream(base, 8000, 16);
    ServedPair served(base, {"--cut-after", "3"});
    ASSERT_TRUE(served.ready) << served.process.err();
    const Area area = area_for(4);
    EngineHarness engine(area.width, area.height);

    ASSERT_TRUE(zOpenEx(live_params(4, false), 0, 0, kAddress6, kName32, nullptr));
    ASSERT_TRUE(wait_link(engine, 0, KIVRA_LINK_CONNECTED, 0));
    ASSERT_EQ(engine.command(KIVRA_CMD_PLAY), KIVRA_RESULT_PLAY_OK);
    ASSERT_TRUE(wait_link(engine, 0, KIVRA_LINK_CLOSED));
    ASSERT_TRUE(engine.wait(
        [&] { return engine.count_play(KIVRA_EVENT_READ_FAILED, KIVRA_READ_FAILED_SOURCE) > 0; },
        10s));
    // How long the reader keeps failing before a second report would have come.
    EXPECT_FALSE(engine.wait(
        [&] { return engine.count_play(KIVRA_EVENT_READ_FAILED, KIVRA_READ_FAILED_SOURCE) > 1; },
        1s));
    EXPECT_EQ(zTellStatusType(), KIVRA_STATUS_PLAYING);
    const ShownPart before = gops_shown(engine.frames(), stream);
    EXPECT_LE(before.gops.size(), 3u);
    EXPECT_TRUE(from_the_start(before));
    expect_shown_as_recorded(engine.frames(), {before}, area);

    ASSERT_EQ(engine.command(KIVRA_CMD_STOP), KIVRA_RESULT_STOP_OK);
    const size_t links = engine.link_events().size();
    const size_t shown = engine.frames().size();
    ASSERT_EQ(engine.command(KIVRA_CMD_PLAY), KIVRA_RESULT_PLAY_OK);
    ASSERT_TRUE(wait_link(engine, links, KIVRA_LINK_CONNECTED, 0));
    ASSERT_TRUE(wait_for_frames(engine, shown + 4));
    const std::vector<fleet::test::FrameEvent> again = frames_from(engine, shown);
    const ShownPart after = gops_shown(again, stream);
    EXPECT_TRUE(from_the_start(after)) << "the new link starts with the recorder's first GOP";
    expect_shown_as_recorded(again, {after}, area);
}

}  // namespace
}  // namespace live_test
