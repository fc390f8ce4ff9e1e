// The remote link (zOpenRx) fetching a recorder's time index: the requests, the units reported
// one by one, wrapped rings, refusals, malformed answers and replacing the link.
#include <cerrno>
#include <cstring>

#include "common/le.h"
#include "remote_fixture.h"

namespace engine_net {
namespace {

TEST_F(RemoteLinkTest, IndexOf4096BytesGives256UnitsThenTheEnd) {
    const size_t reports = link_reports().mark();
    const int32_t link = open_direct();
    EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_REMOTE);
    const auto request = recorder_.wait_request(0, Kind::IndexHeader);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->header.command, rec::kCmdIndex);
    const std::vector<uint8_t> units = index_units(256);
    ASSERT_EQ(units.size(), 4096u);
    serve_index(link, 1, 256, units);
    const auto rows = rows_since(reports);
    ASSERT_EQ(rows.size(), 256u);
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(std::memcmp(rows[i].data(), units.data() + i * 16, 16), 0) << i;
    }
    const auto codes = link_codes_since(reports, 1);
    EXPECT_EQ(codes.front(), KIVRA_LINK_CONNECTED);
    EXPECT_EQ(codes.back(), KIVRA_LINK_INDEX_DONE);
    EXPECT_TRUE(recorder_.wait_closed(link));  // the answer is complete: the engine closes
}

TEST_F(RemoteLinkTest, AWrappedIndexIsAskedForAndListedInRingOrder) {
    const size_t reports = link_reports().mark();
    const int32_t link = open_direct();
    const std::vector<uint8_t> units = index_units(32);  // 0xFFFF0..0xFFFFF, then 1..0x10
    serve_index(link, 0xFFFF0, 0x10, units);
    const auto rows = rows_since(reports);
    ASSERT_EQ(rows.size(), 32u);
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(fleet::format::IndexUnit::decode(rows[i].data()).time,
                  kFirstGopTime + static_cast<uint32_t>(i));
    }
}

TEST_F(RemoteLinkTest, ARecorderWithoutAnIndexEndsTheListing) {
    const size_t reports = link_reports().mark();
    const int32_t link = open_direct();
    ASSERT_TRUE(recorder_.send(link, rec::encode_index_header_reply(false, index_header(1, 9))));
    EXPECT_TRUE(wait_link(reports, 1, KIVRA_LINK_INDEX_DONE));
    EXPECT_TRUE(rows_since(reports).empty());
    EXPECT_TRUE(recorder_.wait_closed(link));
}

TEST_F(RemoteLinkTest, AByteCountBeyondThePayloadIsMalformed) {
    const size_t reports = link_reports().mark();
    const int32_t link = open_direct();
    const size_t messages = recorder_.received_count();
    ASSERT_TRUE(recorder_.send(link, rec::encode_index_header_reply(true, index_header(1, 4))));
    ASSERT_TRUE(recorder_.wait_request(messages, Kind::IndexUnits));
    std::vector<uint8_t> lying = rec::encode_index_units(index_units(4));
    fleet::store_u32(lying.data() + fleet::kLinkHeaderSize + 12, 4 * 16 + 16);
    ASSERT_TRUE(recorder_.send(link, lying));
    EXPECT_TRUE(wait_link(reports, 1, KIVRA_LINK_MALFORMED, 0));
    EXPECT_FALSE(wait_link(reports, 1, KIVRA_LINK_INDEX_DONE, std::nullopt, kQuiet));
    EXPECT_TRUE(rows_since(reports).empty());
}

TEST_F(RemoteLinkTest, RefusedIndexRequestsCloseTheLink) {
    for (uint16_t sub : {rec::kSubIndexHeader, rec::kSubIndexUnits}) {
        const size_t reports = link_reports().mark();
        const int32_t link = open_direct();
        ASSERT_TRUE(recorder_.send(link, rec::encode_reply(sub, 0)));
        EXPECT_TRUE(wait_link(reports, 1, KIVRA_LINK_REQUEST_REFUSED, 0)) << sub;
        EXPECT_TRUE(recorder_.wait_closed(link)) << sub;
    }
}

TEST_F(RemoteLinkTest, ALinkCutByTheRecorderIsReported) {
    const size_t reports = link_reports().mark();
    const int32_t link = open_direct();
    recorder_.close(link);
    EXPECT_TRUE(wait_link(reports, 1, KIVRA_LINK_CLOSED, 0));
}

TEST_F(RemoteLinkTest, ASecondOpenClosesTheFirstLink) {
    const int32_t first = open_direct();
    const int32_t second = open_direct();
    EXPECT_EQ(recorder_.links_made(), 2u);
    EXPECT_TRUE(recorder_.wait_closes(first, 1));
    EXPECT_FALSE(recorder_.is_closed(second));
    EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_REMOTE);
}

TEST_F(RemoteLinkTest, EmptyAddressIsRefused) {
    EXPECT_EQ(zOpenRx(nullptr, nullptr, "", 0, 0, nullptr), 0);
    EXPECT_EQ(zOpenRx(nullptr, nullptr, nullptr, 0, 0, nullptr), 0);
    EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_NONE);
}

TEST_F(RemoteLinkTest, ListeningAsksForTheIndexOnHello) {
    const size_t reports = link_reports().mark();
    ASSERT_EQ(zOpenRx(nullptr, nullptr, "127.0.0.1", 0, 1, nullptr), 1);  // mode 4
    ASSERT_TRUE(wait_link(reports, 1, KIVRA_LINK_LISTENING, 2201));
    ASSERT_TRUE(wait_link(reports, 1, KIVRA_LINK_CONNECTED, 0));
    EXPECT_EQ(link_reports().since(reports).at(0).code, KIVRA_LINK_LISTENING);
    EXPECT_EQ(link_reports().since(reports).at(0).value, 2201);
    EXPECT_EQ(link_reports().since(reports).at(0).extra, KIVRA_LISTEN_INDEX);
    const int32_t link = recorder_.dial();
    ASSERT_GE(link, 0);
    EXPECT_FALSE(recorder_.wait_request(0, Kind::IndexHeader, kQuiet));  // not before hello
    ASSERT_TRUE(recorder_.say_hello(link));
    const auto request = recorder_.wait_request(0, Kind::IndexHeader);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->link, link);
    EXPECT_EQ(request->header.command, rec::kCmdIndex);
}

TEST_F(RemoteLinkTest, ListeningGivesUpWhenNoRecorderConnects) {
    setenv("KIVRA_LISTEN_TIMEOUT_MS", "200", 1);
    const size_t reports = link_reports().mark();
    ASSERT_EQ(zOpenRx(nullptr, nullptr, "127.0.0.1", 0, 1, nullptr), 1);  // mode 4
    EXPECT_TRUE(wait_link(reports, 1, KIVRA_LINK_CONNECT_FAILED, ETIMEDOUT));
    EXPECT_TRUE(recorder_.wait_listener_gone());
}

// The slow connector's failure, coming after the close, is not reported to a host that closed.
TEST_F(RemoteLinkTest, AConnectThatEndsAfterTheCloseReportsNothing) {
    SlowConnector::hold();
    ASSERT_EQ(zOpenRx(nullptr, nullptr, "127.0.0.1", 1, 1, &SlowConnector::fail), 1);
    ASSERT_TRUE(close_source().has_value());
    const size_t reports = link_reports().mark();
    const size_t errors = error_reports().mark();
    SlowConnector::release();
    EXPECT_FALSE(wait_link(reports, 1, KIVRA_LINK_CONNECT_FAILED, std::nullopt, kQuiet));
    EXPECT_FALSE(error_reports().wait(
        errors, [](const ErrorReport&) { return true; }, kQuiet));
}

TEST_F(RemoteLinkTest, ClosingTheSourceClosesTheLink) {
    const int32_t link = open_direct();
    EXPECT_EQ(close_source(), KIVRA_CLOSE_RESULT_REMOTE);
    EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_NONE);
    EXPECT_TRUE(recorder_.wait_closed(link));
}

}  // namespace
}  // namespace engine_net
