// Live picture from a served recorder over real links: the start answered, the recording's GOPs
// in order and round again, the engine's more and slower requests counted, the stop answered
// with nothing after it; refused starts; links cut after some GOPs; a recorder that dials the
// engine and says hello first; several links served at once, each answered on its own.
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fennick/fennick.h"
#include "serve_fixture.h"

namespace {

using namespace fleet::test;
namespace rm = fleet::recorder;

constexpr int kSeconds = 12;
constexpr const char* kFastPace = "200";  // 5 ms between one-second GOPs

std::vector<uint8_t> live_start(uint8_t command) {
    return rm::encode_live_start(rm::LiveStart{}, command);
}

// GOP i of the live picture is GOP i of the recording, round and round; all start with a key
// frame.
void expect_recording_in_order(const VideoRun& run, const std::vector<StoredGop>& gops,
                               size_t first = 0) {
    for (size_t i = 0; i < run.gops.size(); ++i) {
        SCOPED_TRACE("live GOP " + std::to_string(first + i));
        EXPECT_EQ(run.gops[i], gops[(first + i) % gops.size()].bytes);
        EXPECT_EQ(run.flags[i] & 3, 2u);
    }
}

// The next message after a request for the index header must be its answer: nothing of a
// stream comes in between.
void expect_nothing_streamed(EngineLink& link) {
    ASSERT_TRUE(link.send(rm::encode_index_header_request(rm::kCmdIndex)));
    const auto next = link.next();
    ASSERT_TRUE(next);
    EXPECT_TRUE(rm::parse_index_header_reply(next->message()))
        << "command " << int(next->header.command);
}

class Live : public testing::TestWithParam<uint8_t> {};

TEST_P(Live, StreamsTheRecordingRoundUntilStopped) {
    TempDir dir;
    const std::string base = record_pair(dir, "pair", kSeconds, 4);
    const auto gops = pair_gops(base);
    ASSERT_EQ(gops.size(), static_cast<size_t>(kSeconds));
    const std::string stats = dir.file("stats");
    ServedRecorder recorder({"--pair", base, "--pace", kFastPace, "--stats", stats});
    ASSERT_TRUE(recorder.ready()) << recorder.err();
    {
        EngineLink link;
        ASSERT_TRUE(link.connected());
        ASSERT_TRUE(link.send(live_start(GetParam())));
        const auto reply = next_reply(link);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->sub, rm::kSubStart);
        EXPECT_EQ(reply->status, rm::kStatusAccepted);

        const VideoRun run = read_live(link, gops.size() + 5);
        ASSERT_EQ(run.gops.size(), gops.size() + 5);
        expect_recording_in_order(run, gops);

        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(link.send(rm::encode_live_control(rm::kSubMore, 1)));
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(link.send(rm::encode_live_control(rm::kSubSlower, 1)));
        }
        ASSERT_TRUE(link.send(rm::encode_live_control(rm::kSubStop, 1)));
        // GOPs sent before the stop was read still come, then its answer.
        VideoRun before_stop;
        std::optional<rm::Reply> stopped;
        while (!stopped) {
            const auto next = link.next();
            ASSERT_TRUE(next);
            if (const auto video = rm::parse_video(next->message())) {
                before_stop.gops.emplace_back(video->gop.begin(), video->gop.end());
                before_stop.flags.push_back(video->frame_flags);
            } else {
                stopped = rm::parse_reply(next->message());
                ASSERT_TRUE(stopped) << "command " << int(next->header.command);
            }
        }
        EXPECT_EQ(stopped->sub, rm::kSubStop);
        EXPECT_EQ(stopped->status, rm::kStatusAccepted);
        expect_recording_in_order(before_stop, gops, run.gops.size());
        expect_nothing_streamed(link);

        const size_t sent = run.gops.size() + before_stop.gops.size();
        EXPECT_EQ(recorder.stop(SIGINT), 0) << recorder.err();
        EXPECT_EQ(read_file(stats), "more 3\nslower 2\nsent " + std::to_string(sent) + "\n");
    }
}

INSTANTIATE_TEST_SUITE_P(Commands, Live, testing::Values(rm::kCmdLive, rm::kCmdHello),
                         [](const testing::TestParamInfo<uint8_t>& param) {
                             return param.param == rm::kCmdLive ? "direct" : "relayed";
                         });

struct RefusalCase {
    const char* name;
    uint32_t status;
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.name;
}

class LiveRefused : public testing::TestWithParam<RefusalCase> {};

TEST_P(LiveRefused, AnswersTheRefusalAndSendsNothing) {
    TempDir dir;
    const std::string base = record_pair(dir, "pair", kSeconds, 4);
    ServedRecorder recorder({"--pair", base, "--pace", kFastPace, "--refuse", GetParam().name});
    ASSERT_TRUE(recorder.ready()) << recorder.err();
    EngineLink link;
    ASSERT_TRUE(link.connected());
    ASSERT_TRUE(link.send(live_start(rm::kCmdLive)));
    const auto reply = next_reply(link);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->sub, rm::kSubStart);
    EXPECT_EQ(reply->status, GetParam().status);
    expect_nothing_streamed(link);
    EXPECT_EQ(recorder.stop(SIGINT), 0) << recorder.err();
}

INSTANTIATE_TEST_SUITE_P(Kinds, LiveRefused,
                         testing::Values(RefusalCase{"busy", rm::kStatusBusy},
                                         RefusalCase{"denied", rm::kStatusDenied}),
                         [](const testing::TestParamInfo<RefusalCase>& param) {
                             return std::string(param.param.name);
                         });

struct CutCase {
    const char* name;
    std::vector<uint8_t> request;
};

void PrintTo(const CutCase& c, std::ostream* os) {
    *os << c.name;
}

class CutAfter : public testing::TestWithParam<CutCase> {};

// The link closes after the GOPs asked for, live or downloading; the recorder serves on.
TEST_P(CutAfter, ClosesTheLinkAfterThatManyGops) {
    TempDir dir;
    const std::string base = record_pair(dir, "pair", kSeconds, 4);
    const auto gops = pair_gops(base);
    ServedRecorder recorder({"--pair", base, "--pace", kFastPace, "--cut-after", "4"});
    ASSERT_TRUE(recorder.ready()) << recorder.err();
    {
        EngineLink link;
        ASSERT_TRUE(link.connected());
        ASSERT_TRUE(link.send(GetParam().request));
        const auto reply = next_reply(link);
        ASSERT_TRUE(reply) << recorder.err();
        EXPECT_EQ(reply->status, rm::kStatusAccepted);
        const VideoRun run = read_live(link, 100);
        EXPECT_FALSE(run.ended);
        ASSERT_EQ(run.gops.size(), 4u);
        expect_recording_in_order(run, gops);
        EXPECT_TRUE(link.closed_by_recorder());
    }
    EngineLink again;
    ASSERT_TRUE(again.connected());
    expect_nothing_streamed(again);
    EXPECT_EQ(recorder.stop(SIGINT), 0) << recorder.err();
}

INSTANTIATE_TEST_SUITE_P(
    Streams, CutAfter,
    testing::Values(CutCase{"live", live_start(rm::kCmdLive)},
                    CutCase{"download", rm::encode_data_request(rm::kCmdLive, 1, 4)}),
    [](const testing::TestParamInfo<CutCase>& param) { return std::string(param.param.name); });

// An engine that stops reading for a while: the recorder's queue for the link fills and it
// waits for room, dropping nothing; the picture goes on where it was.
TEST(SlowEngine, NothingIsDroppedWhileTheLinkIsFull) {
    TempDir dir;
    const std::string base = record_pair(dir, "pair", kSeconds, 4);
    const auto gops = pair_gops(base);
    ServedRecorder recorder({"--pair", base, "--pace", "1000000"});  // as fast as it can
    ASSERT_TRUE(recorder.ready()) << recorder.err();
    EngineLink link;
    ASSERT_TRUE(link.connected());
    EngineLink::stall_next_delivery(std::chrono::seconds(2));
    ASSERT_TRUE(link.send(live_start(rm::kCmdLive)));
    const auto reply = next_reply(link);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, rm::kStatusAccepted);
    // Far more than the transport queues for a link (16 MiB) and the sockets hold.
    const size_t count = 3 * FENNICK_MAX_QUEUED / gops.front().bytes.size();
    for (size_t taken = 0; taken < count;) {
        const VideoRun run = read_live(link, 1000);
        ASSERT_EQ(run.gops.size(), 1000u);
        expect_recording_in_order(run, gops, taken);
        taken += run.gops.size();
    }
    EXPECT_EQ(recorder.stop(SIGINT), 0);
    EXPECT_NE(recorder.err().find("reads slower than sent; waiting"), std::string::npos)
        << recorder.err();
}

// The engine listens; the recorder dials it, says hello before anything else, serves the link,
// and ends by itself once the link is cut.
TEST(Dial, SaysHelloThenServesTheEnginesLink) {
    TempDir dir;
    const std::string base = record_pair(dir, "pair", kSeconds, 4);
    const auto gops = pair_gops(base);
    EngineListener listener;
    ASSERT_TRUE(listener.listening());
    ServedRecorder recorder(
        {"--pair", base, "--dial", "127.0.0.1:2201", "--pace", kFastPace, "--cut-after", "3"});
    ASSERT_TRUE(recorder.ready()) << recorder.err();
    EXPECT_EQ(recorder.ready_line(), "dialled 127.0.0.1:2201");
    const auto link = listener.accept();
    ASSERT_TRUE(link);
    const auto hello = link->next();
    ASSERT_TRUE(hello);
    EXPECT_EQ(hello->header.command, rm::kCmdHello);

    ASSERT_TRUE(link->send(live_start(rm::kCmdLive)));
    const auto reply = next_reply(*link);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, rm::kStatusAccepted);
    const VideoRun run = read_live(*link, 100);
    ASSERT_EQ(run.gops.size(), 3u);
    expect_recording_in_order(run, gops);
    EXPECT_TRUE(link->closed_by_recorder());
    EXPECT_EQ(recorder.wait(), 0) << recorder.err();
}

// One link streams live picture while another asks for the index: each gets only its own. The
// recorder listens on a port of its choosing and says which.
TEST(SeveralLinks, EachIsAnsweredOnItsOwn) {
    TempDir dir;
    const std::string base = record_pair(dir, "pair", kSeconds, 4);
    const auto gops = pair_gops(base);
    ServedRecorder recorder({"--pair", base, "--pace", "50", "--listen", "0.0.0.0:0"});
    ASSERT_TRUE(recorder.ready()) << recorder.err();
    const int port = std::stoi(recorder.ready_line().substr(std::string("serving on ").size()));
    EXPECT_NE(port, 0);
    EngineLink live(port), index(port);
    ASSERT_TRUE(live.connected());
    ASSERT_TRUE(index.connected());
    ASSERT_TRUE(live.send(live_start(rm::kCmdLive)));
    const auto reply = next_reply(live);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, rm::kStatusAccepted);
    expect_recording_in_order(read_live(live, 3), gops);

    for (int round = 0; round < 3; ++round) {
        expect_nothing_streamed(index);
        ASSERT_TRUE(index.send(rm::encode_index_unit_request(rm::kCmdIndex, 1, 2)));
        const auto units = index.next();
        ASSERT_TRUE(units);
        const auto records = rm::parse_index_units(units->message());
        ASSERT_TRUE(records);
        EXPECT_EQ(records->size(), 32u);
    }
    const VideoRun more = read_live(live, gops.size());
    ASSERT_EQ(more.gops.size(), gops.size());
    expect_recording_in_order(more, gops, 3);
    EXPECT_EQ(recorder.stop(SIGINT), 0) << recorder.err();
}

}  // namespace
