// The realtime link (zOpenEx) against a scripted recorder: the start request, the recorder's
// answers, prebuffering and the queue that steers the recorder.
#include "live_fixture.h"

namespace engine_net {
namespace {

TEST_F(RealtimeLinkTest, DirectLinkSendsTheStartRequestBuiltFromTheParameters) {
    const size_t reports = link_reports().mark();
    ASSERT_TRUE(recorder_.listen());
    ASSERT_TRUE(open({}));
    EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_REALTIME);
    const auto start = recorder_.wait_request(0, Kind::LiveStart);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->header.command, rec::kCmdLive);
    EXPECT_EQ(start->request->live.mark, 2);
    EXPECT_EQ(start->request->live.channel_mask, 0x0Fu);
    EXPECT_EQ(start->request->live.mode_bits, 1u | 2u << 2 | 1u << 5 | 1u << 6);
    EXPECT_EQ(start->request->live.prebuffer_half, 5u);
    EXPECT_EQ(start->request->live.resolution, 3);
    EXPECT_EQ(start->request->live.frame_rate, 7);
    EXPECT_TRUE(wait_link(reports, 0, KIVRA_LINK_CONNECTED, 0));
    EXPECT_EQ(feed().channel_count(), 4);
}

TEST_F(RealtimeLinkTest, AnAddressMayNameThePort) {
    ASSERT_TRUE(recorder_.listen(2300));
    ParamsSpec spec;
    spec.address = "127.0.0.1:2300";
    ASSERT_TRUE(open(spec));
    EXPECT_TRUE(recorder_.wait_request(0, Kind::LiveStart));
}

TEST_F(RealtimeLinkTest, InvalidParametersOpenNothing) {
    struct Case {
        const char* what;
        void (*change)(ParamsSpec&);
    };
    const Case cases[] = {
        {"six channels", [](ParamsSpec& s) { s.channels = 6; }},
        {"mark 0", [](ParamsSpec& s) { s.mark = 0; }},
        {"mark 3", [](ParamsSpec& s) { s.mark = 3; }},
        {"audio mode 4", [](ParamsSpec& s) { s.audio = 4; }},
        {"frame-rate class 3", [](ParamsSpec& s) { s.rate_class = 3; }},
        {"class 1, no channel in the low byte", [](ParamsSpec& s) { s.mask = 0x100; }},
        {"empty address", [](ParamsSpec& s) { s.address.clear(); }},
    };
    for (const Case& c : cases) {
        ParamsSpec spec;
        c.change(spec);
        EXPECT_FALSE(open(spec)) << c.what;
        EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_NONE) << c.what;
    }
    ParamsSpec class_zero;
    class_zero.rate_class = 0;
    class_zero.mask = 0x100;  // the low byte matters only for classes above 0
    EXPECT_TRUE(open(class_zero));
}

TEST_F(RealtimeLinkTest, RecorderAnswersAreReported) {
    struct Case {
        uint16_t sub;
        uint32_t status;
        int32_t code;
        int32_t value;
    };
    const Case cases[] = {
        {rec::kSubStart, rec::kStatusAccepted, KIVRA_LINK_START_ACCEPTED, 0},
        {rec::kSubStart, rec::kStatusBusy, KIVRA_LINK_START_REFUSED, 1},
        {rec::kSubStart, rec::kStatusDenied, KIVRA_LINK_START_DENIED, 0},
        {rec::kSubStop, rec::kStatusAccepted, KIVRA_LINK_STOP_ACCEPTED, 0},
        {rec::kSubStop, rec::kStatusBusy, KIVRA_LINK_STOP_REFUSED, 2},
    };
    const int32_t link = open_direct();
    for (const Case& c : cases) {
        const size_t mark = link_reports().mark();
        ASSERT_TRUE(recorder_.send(link, rec::encode_reply(c.sub, c.status)));
        EXPECT_TRUE(wait_link(mark, 0, c.code, c.value)) << c.code;
    }
}

TEST_F(RealtimeLinkTest, MalformedMessagesAreDroppedAndReported) {
    const int32_t link = open_direct();
    std::vector<uint8_t> short_gop = test_gop(0);
    short_gop.resize(fleet::format::kGopHeaderSize - 1);
    std::vector<uint8_t> no_magic = test_gop(0);
    no_magic[0] ^= 0xFF;
    std::vector<uint8_t> long_claim = rec::encode_video(2, 0, test_gop(0));
    fleet::store_u32(long_claim.data() + fleet::kLinkHeaderSize + 24,
                     static_cast<uint32_t>(long_claim.size()));
    fleet::LinkHeader reply_header;
    reply_header.command = rec::kCmdReply;
    reply_header.sub_code = rec::kSubStart;
    reply_header.payload_length = 2;
    const auto header_bytes = reply_header.encode();
    std::vector<uint8_t> short_reply(header_bytes.begin(), header_bytes.end());
    short_reply.resize(short_reply.size() + 2, 0);

    const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
        {"GOP shorter than its header", rec::encode_video(2, 0, short_gop)},
        {"GOP without the magic", rec::encode_video(2, 0, no_magic)},
        {"GOP length beyond the payload", long_claim},
        {"reply without a status", short_reply},
    };
    for (const auto& [what, message] : cases) {
        const size_t mark = link_reports().mark();
        ASSERT_TRUE(recorder_.send(link, message));
        EXPECT_TRUE(wait_link(mark, 0, KIVRA_LINK_MALFORMED, 0)) << what;
    }
    sync(link);
    EXPECT_EQ(take_gop().code, kivra::LiveFeed::kNoData);  // nothing was queued
}

TEST_F(RealtimeLinkTest, PrebufferingReportsTenthsAndHoldsTheReaderBack) {
    const int32_t link = open_direct();
    const size_t mark = link_reports().mark();
    for (int i = 0; i < kivra::net::kPrebufferCount; ++i) {
        EXPECT_EQ(take_gop().code, kivra::LiveFeed::kNoData) << i;
        const size_t before = link_reports().mark();
        send_gop(link, i);
        ASSERT_TRUE(wait_link(before, 0, KIVRA_LINK_PREBUFFERING));
    }
    std::vector<int32_t> percents;
    for (const LinkReport& r : link_reports().since(mark)) {
        if (r.code == KIVRA_LINK_PREBUFFERING) percents.push_back(r.value);
    }
    EXPECT_EQ(percents, (std::vector<int32_t>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
    const Taken first = take_gop();
    ASSERT_EQ(first.code, kivra::LiveFeed::kTaken);
    EXPECT_EQ(first.gop, test_gop(0));
}

TEST_F(RealtimeLinkTest, QueueAsksSlowerTrimsAndAsksForMore) {
    const int32_t link = open_direct();
    prebuffer(link);
    const size_t messages = recorder_.received_count();
    // 11..20 queued: every GOP beyond P asks slower; at 20 the oldest 7 go.
    for (int i = 10; i < 20; ++i) send_gop(link, i);
    sync(link);
    EXPECT_EQ(recorder_.wait_requests(messages, Kind::Slower, 10), 10u);
    EXPECT_EQ(requests_of(messages, Kind::More), 0u);

    std::vector<uint32_t> times;
    for (Taken t = take_gop(); t.code == kivra::LiveFeed::kTaken; t = take_gop()) {
        times.push_back(gop_time(t.gop));
    }
    ASSERT_EQ(times.size(), 13u);
    EXPECT_EQ(times.front(), kFirstGopTime + 7);
    EXPECT_EQ(times.back(), kFirstGopTime + 19);
    // The takes that left one and none asked for more; the take that found the queue empty
    // is the first miss, and the second starts prebuffering again.
    EXPECT_EQ(recorder_.wait_requests(messages, Kind::More, 2), 2u);
    EXPECT_EQ(take_gop().code, kivra::LiveFeed::kNoData);
    const size_t mark = link_reports().mark();
    send_gop(link, 20);
    EXPECT_TRUE(wait_link(mark, 0, KIVRA_LINK_PREBUFFERING, 10));
    EXPECT_EQ(take_gop().code, kivra::LiveFeed::kNoData);
    EXPECT_EQ(requests_of(messages, Kind::Slower), 10u);
}

TEST_F(RealtimeLinkTest, WithoutBufferingTheQueueIsStillBounded) {
    ParamsSpec spec;
    spec.buffering = 0;
    const int32_t link = open_direct(spec);
    const size_t mark = link_reports().mark();
    const size_t messages = recorder_.received_count();
    std::vector<uint8_t> huge = test_gop(0);
    huge.resize(kivra::net::kMaxLiveGop + 1, 0);
    fleet::store_u32(huge.data() + 32, static_cast<uint32_t>(huge.size()));  // whole, too big
    ASSERT_TRUE(recorder_.send(link, rec::encode_video(2, 0, huge)));
    const int sent = static_cast<int>(kivra::net::kMaxQueuedGops) + 10;
    for (int i = 0; i < sent; ++i) send_gop(link, i);
    sync(link);
    EXPECT_EQ(link_codes_since(mark, 0), (std::vector<int32_t>{KIVRA_LINK_START_ACCEPTED}));
    std::vector<uint32_t> times;
    for (Taken t = take_gop(); t.code == kivra::LiveFeed::kTaken; t = take_gop()) {
        times.push_back(gop_time(t.gop));
    }
    ASSERT_EQ(times.size(), kivra::net::kMaxQueuedGops);
    EXPECT_EQ(times.front(), kFirstGopTime + 10);  // the oldest went, the newest stayed
    EXPECT_EQ(requests_of(messages, Kind::More) + requests_of(messages, Kind::Slower), 0u);
}

TEST_F(RealtimeLinkTest, ALinkCutByTheRecorderIsReported) {
    const int32_t link = open_direct();
    const size_t mark = link_reports().mark();
    recorder_.close(link);
    EXPECT_TRUE(wait_link(mark, 0, KIVRA_LINK_CLOSED));
    EXPECT_EQ(take_gop().code, kivra::LiveFeed::kClosedOrTooLarge);
}

TEST_F(RealtimeLinkTest, StopWaitsForTheAnswerAndPlayLinksAgain) {
    const int32_t link = open_direct();
    const size_t mark = link_reports().mark();
    const size_t messages = recorder_.received_count();
    feed().stop_stream();
    const auto stop = recorder_.wait_request(messages, Kind::LiveStop);
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->request->live.mark, 2);
    EXPECT_TRUE(wait_link(mark, 0, KIVRA_LINK_STOP_ACCEPTED));
    EXPECT_TRUE(recorder_.wait_closed(link));
    EXPECT_EQ(take_gop().code, kivra::LiveFeed::kClosedOrTooLarge);

    const size_t links = recorder_.links_made();
    const size_t later = recorder_.received_count();
    ASSERT_TRUE(feed().restart_stream());
    const auto again = recorder_.wait_link(links);
    ASSERT_TRUE(again);
    const auto start = recorder_.wait_request(later, Kind::LiveStart);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->link, *again);
    EXPECT_EQ(take_gop().code, kivra::LiveFeed::kNoData);  // prebuffering again
}

// A recorder that never answers the stop: the stream still ends, after the wait for the answer.
TEST_F(RealtimeLinkTest, AStopNeverAnsweredStillEndsTheStream) {
    const int32_t link = open_direct();
    recorder_.on_message([](const Received&) {});
    const size_t mark = link_reports().mark();
    const size_t messages = recorder_.received_count();
    feed().stop_stream();
    EXPECT_TRUE(recorder_.wait_request(messages, Kind::LiveStop));
    EXPECT_TRUE(recorder_.wait_closed(link));
    EXPECT_EQ(take_gop().code, kivra::LiveFeed::kClosedOrTooLarge);
    EXPECT_EQ(link_codes_since(mark, 0), std::vector<int32_t>{});
}

// Play again after a stop, in listen mode: the engine listens again and the recorder that says
// hello on the new link gets the start request.
TEST_F(RealtimeLinkTest, PlayAgainInListenModeListensAgain) {
    const size_t reports = link_reports().mark();
    ASSERT_TRUE(open({}, 4));
    ASSERT_TRUE(wait_link(reports, 0, KIVRA_LINK_LISTENING, 2201));
    const int32_t first = recorder_.dial();
    ASSERT_GE(first, 0);
    ASSERT_TRUE(recorder_.say_hello(first));
    ASSERT_TRUE(recorder_.wait_request(0, Kind::LiveStart));
    feed().stop_stream();
    EXPECT_TRUE(recorder_.wait_closed(first));

    const size_t again = link_reports().mark();
    const size_t messages = recorder_.received_count();
    ASSERT_TRUE(feed().restart_stream());
    ASSERT_TRUE(wait_link(again, 0, KIVRA_LINK_LISTENING, 2201));
    const int32_t second = recorder_.dial();
    ASSERT_GE(second, 0);
    ASSERT_TRUE(recorder_.say_hello(second));
    const auto start = recorder_.wait_request(messages, Kind::LiveStart);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->link, second);
}

TEST_F(RealtimeLinkTest, ClosingTheSourceStopsTheStream) {
    const int32_t link = open_direct();
    const size_t messages = recorder_.received_count();
    EXPECT_EQ(close_source(), KIVRA_CLOSE_RESULT_REALTIME);
    EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_NONE);
    EXPECT_TRUE(recorder_.wait_request(messages, Kind::LiveStop));
    EXPECT_TRUE(recorder_.wait_closed(link));
    EXPECT_EQ(kivra::Engine::instance().live_feed(), nullptr);
}

}  // namespace
}  // namespace engine_net
