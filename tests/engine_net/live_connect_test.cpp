// How the realtime link reaches a recorder: listening for it (the first hello wins), falling
// back from a failed direct link, giving up on a recorder that never connects, and the host's
// connector.
#include <atomic>

#include "fennick/fennick.h"
#include "live_fixture.h"

namespace engine_net {
namespace {

constexpr int32_t kListenMode = 4;

// Two accepted links wait; the second says hello first and takes the start request, the
// other, and any link accepted later, are closed.
TEST_F(RealtimeLinkTest, ListeningTheFirstHelloWins) {
    const size_t reports = link_reports().mark();
    ASSERT_TRUE(open({}, kListenMode));
    ASSERT_TRUE(wait_link(reports, 0, KIVRA_LINK_LISTENING, 2201));
    ASSERT_TRUE(wait_link(reports, 0, KIVRA_LINK_CONNECTED, 0));
    EXPECT_EQ(link_reports().since(reports).at(0).code, KIVRA_LINK_LISTENING);
    const int32_t quiet = recorder_.dial();
    const int32_t eager = recorder_.dial();
    ASSERT_GE(quiet, 0);
    ASSERT_GE(eager, 0);
    ASSERT_TRUE(recorder_.say_hello(eager));
    const auto start = recorder_.wait_request(0, Kind::LiveStart);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->link, eager);
    EXPECT_EQ(start->header.command, rec::kCmdLive);
    EXPECT_TRUE(recorder_.wait_closed(quiet));
    const int32_t late = recorder_.dial();
    ASSERT_GE(late, 0);
    recorder_.say_hello(late);
    EXPECT_TRUE(recorder_.wait_closed(late));
    EXPECT_FALSE(recorder_.is_closed(eager));
    EXPECT_EQ(recorder_.wait_requests(0, Kind::LiveStart, 2, kQuiet), 1u);
}

TEST_F(RealtimeLinkTest, AFailedDirectLinkFallsBackToListening) {
    const size_t reports = link_reports().mark();
    ASSERT_TRUE(open({}, 0, 0));  // nobody listens on 2200
    ASSERT_TRUE(wait_link(reports, 0, KIVRA_LINK_LISTENING, 2201));
    const int32_t link = recorder_.dial();
    ASSERT_GE(link, 0);
    ASSERT_TRUE(recorder_.say_hello(link));
    const auto start = recorder_.wait_request(0, Kind::LiveStart);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->link, link);
    ASSERT_TRUE(wait_link(reports, 0, KIVRA_LINK_CONNECTED, 0));
    EXPECT_EQ(link_codes_since(reports, 0),
              (std::vector<int32_t>{KIVRA_LINK_LISTENING, KIVRA_LINK_CONNECTED}));
}

TEST_F(RealtimeLinkTest, ListeningGivesUpWhenNoRecorderConnects) {
    setenv("KIVRA_LISTEN_TIMEOUT_MS", "200", 1);
    const size_t reports = link_reports().mark();
    const size_t errors = error_reports().mark();
    ASSERT_TRUE(open({}, kListenMode));
    EXPECT_TRUE(wait_link(reports, 0, KIVRA_LINK_CONNECT_FAILED, ETIMEDOUT));
    EXPECT_TRUE(error_reports().wait(errors, [](const ErrorReport& e) {
        return e.code == KIVRA_ERROR_LINK_CONNECT && e.system == ETIMEDOUT;
    }));
    EXPECT_TRUE(recorder_.wait_listener_gone());
}

// A connector that fails with codes of its own, and one that relays to the recorder on 2200
// and leaves mode 3 (a client link): every request then goes as command 26.
struct ConnectorCall {
    std::atomic<int> calls{0};
    std::atomic<int32_t> purpose{-1};
    std::atomic<int32_t> mode{-1};
    std::atomic<bool> identity_passed{false};
};
ConnectorCall g_call;

intptr_t note_call(const void* address6, const void* name32, int32_t purpose, int32_t* mode) {
    ++g_call.calls;
    g_call.purpose = purpose;
    g_call.mode = *mode;
    g_call.identity_passed = std::memcmp(address6, kAddress6, 6) == 0 &&
                             std::memcmp(name32, kName32, sizeof kName32) == 0;
    return 0;
}

intptr_t failing_connector(const void* address6, const void* name32, int32_t purpose, void*,
                           int32_t* mode, int32_t* error, int32_t* error2, LiveParams) {
    note_call(address6, name32, purpose, mode);
    *error = 1234;
    *error2 = 5678;
    return -1;
}

intptr_t relaying_connector(const void* address6, const void* name32, int32_t purpose,
                            void* callback, int32_t* mode, int32_t* error, int32_t*, LiveParams) {
    note_call(address6, name32, purpose, mode);
    *mode = 3;
    return zInitTcp_C("127.0.0.1", 2200, reinterpret_cast<FennickProc>(callback), error);
}

TEST_F(RealtimeLinkTest, ConnectorFailuresAreReportedWithItsCodes) {
    g_call.calls = 0;
    const size_t reports = link_reports().mark();
    const size_t errors = error_reports().mark();
    ASSERT_TRUE(open({}, 5, 0, &failing_connector));
    EXPECT_TRUE(wait_link(reports, 0, KIVRA_LINK_CONNECT_FAILED, 1234));
    EXPECT_TRUE(error_reports().wait(
        errors, [](const ErrorReport& e) { return e.code == 5678 && e.system == 1234; }));
    EXPECT_EQ(g_call.calls, 1);  // not a direct attempt: no fallback
    EXPECT_EQ(g_call.purpose, KIVRA_LISTEN_REALTIME);
    EXPECT_EQ(g_call.mode, 5);
    EXPECT_TRUE(g_call.identity_passed);
}

TEST_F(RealtimeLinkTest, DirectFailureFallsBackToTheConnector) {
    g_call.calls = 0;
    const size_t reports = link_reports().mark();
    ASSERT_TRUE(open({}, 0, 1, &failing_connector));  // nobody listens on 2200
    EXPECT_TRUE(wait_link(reports, 0, KIVRA_LINK_CONNECT_FAILED, 1234));
    EXPECT_EQ(g_call.calls, 1);
    EXPECT_EQ(g_call.mode, 3);
}

TEST_F(RealtimeLinkTest, WithoutAConnectorTheDirectFailureIsReported) {
    const size_t reports = link_reports().mark();
    ASSERT_TRUE(open({}, 0, 1));  // nobody listens on 2200, and no connector to fall back to
    EXPECT_TRUE(wait_link(reports, 0, KIVRA_LINK_CONNECT_FAILED, ECONNREFUSED));
}

// The slow connector's failure, coming after the close, is not reported to a host that closed.
TEST_F(RealtimeLinkTest, AConnectThatEndsAfterTheCloseReportsNothing) {
    SlowConnector::hold();
    ASSERT_TRUE(open({}, 5, 0, &SlowConnector::fail));
    ASSERT_TRUE(close_source().has_value());
    const size_t reports = link_reports().mark();
    const size_t errors = error_reports().mark();
    SlowConnector::release();
    EXPECT_FALSE(wait_link(reports, 0, KIVRA_LINK_CONNECT_FAILED, std::nullopt, kQuiet));
    EXPECT_FALSE(error_reports().wait(
        errors, [](const ErrorReport&) { return true; }, kQuiet));
}

TEST_F(RealtimeLinkTest, ARelayedLinkSendsItsRequestsAsCommand26) {
    ASSERT_TRUE(recorder_.listen());
    ASSERT_TRUE(open({}, 3, 0, &relaying_connector));
    const auto start = recorder_.wait_request(0, Kind::LiveStart);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->header.command, rec::kCmdHello);
    EXPECT_EQ(start->request->live.mark, 2);
}

}  // namespace
}  // namespace engine_net
