// The engine<->recorder messages: every request is built and read back, told apart by
// command, sub-code, length and the "client" mark; every parser refuses bytes that do not
// hold what its fields claim.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "common/le.h"
#include "link/recorder_messages.h"

namespace fleet::recorder {
namespace {

using Bytes = std::vector<uint8_t>;
using Kind = Request::Kind;

Bytes raw(uint8_t command, uint16_t sub, Bytes payload) {
    LinkHeader header;
    header.command = command;
    header.sub_code = sub;
    header.payload_length = static_cast<uint32_t>(payload.size());
    Bytes bytes(kLinkHeaderSize + payload.size());
    const auto head = header.encode();
    std::copy(head.begin(), head.end(), bytes.begin());
    std::copy(payload.begin(), payload.end(), bytes.begin() + kLinkHeaderSize);
    return bytes;
}

Bytes client_payload(size_t size) {
    Bytes p(size, 0);
    std::memcpy(p.data(), "client", 7);
    return p;
}

Message parsed(const Bytes& bytes) {
    auto m = parse_message(bytes);
    EXPECT_TRUE(m.has_value());
    return m.value_or(Message{});
}

std::optional<Request> request_of(const Bytes& bytes) {
    return parse_request(parsed(bytes));
}

// ---- requests -----------------------------------------------------------------------------

LiveStart sample_live() {
    LiveStart s;
    s.mark = 2;
    s.channel_mask = 0xA5;
    s.mode_bits = 0x5D;
    s.prebuffer_half = 5;
    s.resolution = 3;
    s.frame_rate = 9;
    return s;
}

struct RequestCase {
    const char* name;
    Bytes bytes;
    uint8_t command;
    uint16_t sub;
    size_t payload;
    Kind kind;
    uint32_t first_unit = 0, unit_count = 0, unit_span = 0;
    uint8_t mark = 0;
};

void PrintTo(const RequestCase& c, std::ostream* out) {
    *out << c.name;
}

class Requests : public ::testing::TestWithParam<RequestCase> {};

TEST_P(Requests, AreBuiltAndReadBack) {
    const auto& c = GetParam();
    ASSERT_EQ(c.bytes.size(), kLinkHeaderSize + c.payload);
    const Message m = parsed(c.bytes);
    EXPECT_EQ(m.header.command, c.command);
    EXPECT_EQ(m.header.sub_code, c.sub);
    EXPECT_EQ(m.header.flag, 0);
    const auto r = parse_request(m);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->kind, c.kind);
    EXPECT_EQ(r->sub, c.sub);
    EXPECT_EQ(r->first_unit, c.first_unit);
    EXPECT_EQ(r->unit_count, c.unit_count);
    EXPECT_EQ(r->unit_span, c.unit_span);
    if (c.kind == Kind::LiveStart) {
        const auto s = sample_live();
        EXPECT_EQ(r->live.mark, s.mark);
        EXPECT_EQ(r->live.channel_mask, s.channel_mask);
        EXPECT_EQ(r->live.mode_bits, s.mode_bits);
        EXPECT_EQ(r->live.prebuffer_half, s.prebuffer_half);
        EXPECT_EQ(r->live.resolution, s.resolution);
        EXPECT_EQ(r->live.frame_rate, s.frame_rate);
    } else if (c.mark != 0) {
        EXPECT_EQ(r->live.mark, c.mark);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Requests,
    ::testing::Values(
        RequestCase{"LiveStart", encode_live_start(sample_live(), kCmdLive), 48, 1, 64,
                    Kind::LiveStart},
        RequestCase{"LiveStartRelayed", encode_live_start(sample_live(), kCmdHello), 26, 1, 64,
                    Kind::LiveStart},
        RequestCase{"LiveStop", encode_live_control(kSubStop, 2), 50, 2, 32, Kind::LiveStop, 0, 0,
                    0, 2},
        RequestCase{"More", encode_live_control(kSubMore, 1), 55, 3, 32, Kind::More, 0, 0, 0, 1},
        RequestCase{"Slower", encode_live_control(kSubSlower, 2), 56, 4, 32, Kind::Slower, 0, 0, 0,
                    2},
        RequestCase{"IndexHeader", encode_index_header_request(kCmdIndex), 64, 1, 48,
                    Kind::IndexHeader},
        RequestCase{"IndexHeaderRelayed", encode_index_header_request(kCmdHello), 26, 1, 48,
                    Kind::IndexHeader},
        RequestCase{"IndexUnits", encode_index_unit_request(kCmdIndex, 7, 300), 64, 2, 48,
                    Kind::IndexUnits, 7, 300},
        RequestCase{"IndexUnitsRelayed", encode_index_unit_request(kCmdHello, 0xFFFFF, 1), 26, 2,
                    48, Kind::IndexUnits, 0xFFFFF, 1},
        RequestCase{"Data", encode_data_request(kCmdLive, 10, 250), 48, 3, 64, Kind::Data, 10, 0,
                    240},
        RequestCase{"DataRelayed", encode_data_request(kCmdHello, 1, 2), 26, 3, 64, Kind::Data, 1,
                    0, 1}),
    [](const auto& c) { return std::string(c.param.name); });

TEST(RequestBytes, SitWhereTheRecorderReadsThem) {
    const auto start = encode_live_start(sample_live(), kCmdLive);
    const uint8_t* p = start.data() + kLinkHeaderSize;
    EXPECT_EQ(p[30], 2);
    EXPECT_EQ(load_u32(p + 32), 0xA5u);
    EXPECT_EQ(load_u32(p + 36), 0x5Du);
    EXPECT_EQ(load_u32(p + 40), 5u);
    EXPECT_EQ(p[60], 3);
    EXPECT_EQ(p[61], 9);

    const auto units = encode_index_unit_request(kCmdIndex, 7, 300);
    p = units.data() + kLinkHeaderSize;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p)), "client");
    EXPECT_EQ(p[6], 0);
    EXPECT_EQ(p[30], 1);
    EXPECT_EQ(load_u32(p + 32), 1u);
    EXPECT_EQ(load_u32(p + 36), 7u);
    EXPECT_EQ(load_u32(p + 40), 300u);

    const auto data = encode_data_request(kCmdLive, 10, 250);
    p = data.data() + kLinkHeaderSize;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p)), "client");
    EXPECT_EQ(p[30], 1);
    EXPECT_EQ(load_u32(p + 36), kDataRequestWord);
    EXPECT_EQ(load_u32(p + 40), 10u);
    EXPECT_EQ(load_u32(p + 52), 240u);
}

struct RefusedRequest {
    const char* name;
    Bytes bytes;
};

void PrintTo(const RefusedRequest& c, std::ostream* out) {
    *out << c.name;
}

class RefusedRequests : public ::testing::TestWithParam<RefusedRequest> {};

TEST_P(RefusedRequests, AreNotClassified) {
    EXPECT_FALSE(request_of(GetParam().bytes).has_value());
}

Bytes shortened(Bytes message) {
    message.pop_back();
    store_u32(message.data() + 8, static_cast<uint32_t>(message.size() - kLinkHeaderSize));
    return message;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusedRequests,
    ::testing::Values(
        RefusedRequest{"LiveStartShort", shortened(encode_live_start(sample_live(), kCmdLive))},
        RefusedRequest{"LiveStartWithClientMark", raw(48, 1, client_payload(64))},
        RefusedRequest{"DataWithoutClientMark", raw(48, 3, Bytes(64, 0))},
        RefusedRequest{"DataShort", shortened(encode_data_request(kCmdLive, 1, 2))},
        RefusedRequest{"Command48UnknownSub", raw(48, 2, Bytes(64, 0))},
        RefusedRequest{"RelayedWithoutMarkNotStart", raw(26, 2, Bytes(64, 0))},
        RefusedRequest{"RelayedDataShort", shortened(encode_data_request(kCmdHello, 1, 2))},
        RefusedRequest{"IndexShort", shortened(encode_index_header_request(kCmdIndex))},
        RefusedRequest{"IndexUnknownSub", raw(64, 3, client_payload(48))},
        RefusedRequest{"RelayedIndexUnknownSub", raw(26, 4, client_payload(48))},
        RefusedRequest{"StopShort", raw(50, 2, Bytes(30, 0))},
        RefusedRequest{"MoreEmpty", raw(55, 3, {})},
        RefusedRequest{"SlowerShort", raw(56, 4, Bytes(30, 0))},
        RefusedRequest{"Reply", encode_reply(1, kStatusAccepted)},
        RefusedRequest{"Video", encode_video(2, 0, Bytes(40, 1))},
        RefusedRequest{"UnknownCommand", raw(99, 1, Bytes(64, 0))}),
    [](const auto& c) { return std::string(c.param.name); });

// ---- whole messages -------------------------------------------------------------------------

TEST(ParseMessage, NeedsHeaderMagicAndTheWholePayload) {
    const auto m = raw(31, 1, {1, 0, 0, 0});
    EXPECT_FALSE(parse_message({m.data(), 11}).has_value());
    EXPECT_FALSE(parse_message({m.data(), m.size() - 1}).has_value());
    auto wrong = m;
    wrong[3] ^= 0x80;
    EXPECT_FALSE(parse_message(wrong).has_value());
    EXPECT_FALSE(parse_message({}).has_value());

    auto longer = m;
    longer.push_back(0xEE);  // bytes past the payload are not part of it
    const auto parsed_longer = parse_message(longer);
    ASSERT_TRUE(parsed_longer.has_value());
    EXPECT_EQ(parsed_longer->payload.size(), 4u);
    EXPECT_EQ(parsed_longer->header.command, 31);
}

TEST(Hello, IsCommand26WithoutPayload) {
    const auto m = parsed(encode_hello());
    EXPECT_EQ(m.header.command, kCmdHello);
    EXPECT_TRUE(m.payload.empty());
}

// ---- answers --------------------------------------------------------------------------------

TEST(Reply, RoundTripsAndNeedsItsStatus) {
    for (uint32_t status : {kStatusAccepted, kStatusBusy, kStatusDenied}) {
        const auto r = parse_reply(parsed(encode_reply(kSubStop, status)));
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(r->sub, kSubStop);
        EXPECT_EQ(r->status, status);
    }
    EXPECT_FALSE(parse_reply(parsed(raw(31, 1, {1, 0, 0}))).has_value());
    EXPECT_FALSE(parse_reply(parsed(raw(30, 1, {1, 0, 0, 0}))).has_value());
}

TEST(Video, RoundTripsWithAndWithoutAGop) {
    Bytes gop(700);
    for (size_t i = 0; i < gop.size(); ++i) gop[i] = static_cast<uint8_t>(i * 7);
    const auto bytes = encode_video(0x16, 40, gop);
    EXPECT_EQ(bytes.size(), kLinkHeaderSize + kVideoPreamble + gop.size());
    const auto v = parse_video(parsed(bytes));
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->frame_flags, 0x16u);
    EXPECT_EQ(v->remaining_percent, 40u);
    EXPECT_EQ(Bytes(v->gop.begin(), v->gop.end()), gop);

    const auto end = parse_video(parsed(encode_video(0, 0, {})));
    ASSERT_TRUE(end.has_value());
    EXPECT_TRUE(end->gop.empty());
}

TEST(Video, GopLengthClaimingMoreThanThePayloadIsRefused) {
    auto bytes = encode_video(2, 0, Bytes(100, 3));
    store_u32(bytes.data() + kLinkHeaderSize + 24, 101);
    EXPECT_FALSE(parse_video(parsed(bytes)).has_value());
    store_u32(bytes.data() + kLinkHeaderSize + 24, 0xFFFFFFFF);
    EXPECT_FALSE(parse_video(parsed(bytes)).has_value());
    store_u32(bytes.data() + kLinkHeaderSize + 24, 99);  // shorter is the GOP's own business
    ASSERT_TRUE(parse_video(parsed(bytes)).has_value());
    EXPECT_EQ(parse_video(parsed(bytes))->gop.size(), 99u);

    EXPECT_FALSE(parse_video(parsed(raw(49, 0, Bytes(31, 0)))).has_value());
    EXPECT_FALSE(parse_video(parsed(raw(48, 0, Bytes(32, 0)))).has_value());
}

TEST(IndexHeaderReply, RoundTripsAndNeedsItsSixteenBytes) {
    std::array<uint8_t, 16> header{};
    for (size_t i = 0; i < header.size(); ++i) header[i] = static_cast<uint8_t>(0xB0 + i);
    for (bool follows : {true, false}) {
        const auto r = parse_index_header_reply(parsed(encode_index_header_reply(follows, header)));
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(r->index_follows, follows);
        EXPECT_EQ(r->header, header);
    }
    EXPECT_FALSE(parse_index_header_reply(parsed(raw(64, 1, Bytes(31, 0)))).has_value());
    EXPECT_FALSE(parse_index_header_reply(parsed(raw(64, 2, Bytes(32, 0)))).has_value());
}

struct UnitCountCase {
    const char* name;
    size_t units_sent;     // bytes after the 16-byte preamble
    uint32_t count_claim;  // the byte count the message states
    bool accepted;
    size_t units_kept;
};

void PrintTo(const UnitCountCase& c, std::ostream* out) {
    *out << c.name;
}

class IndexUnitCounts : public ::testing::TestWithParam<UnitCountCase> {};

TEST_P(IndexUnitCounts, AreCheckedAgainstThePayload) {
    const auto& c = GetParam();
    Bytes units(c.units_sent);
    for (size_t i = 0; i < units.size(); ++i) units[i] = static_cast<uint8_t>(i);
    auto bytes = encode_index_units(units);
    store_u32(bytes.data() + kLinkHeaderSize + 12, c.count_claim);
    const auto kept = parse_index_units(parsed(bytes));
    ASSERT_EQ(kept.has_value(), c.accepted);
    if (!kept) return;
    ASSERT_EQ(kept->size(), c.units_kept);
    EXPECT_TRUE(std::equal(kept->begin(), kept->end(), units.begin()));
}

INSTANTIATE_TEST_SUITE_P(Table, IndexUnitCounts,
                         ::testing::Values(UnitCountCase{"Exact", 48, 48, true, 48},
                                           UnitCountCase{"None", 0, 0, true, 0},
                                           UnitCountCase{"LessThanSent", 48, 32, true, 32},
                                           UnitCountCase{"PartialRecordDropped", 48, 40, true, 32},
                                           UnitCountCase{"OneOverThePayload", 48, 49, false, 0},
                                           UnitCountCase{"Huge", 16, 0xFFFFFFF0, false, 0}),
                         [](const auto& c) { return std::string(c.param.name); });

TEST(IndexUnits, NeedTheirPreambleAndCommand) {
    EXPECT_FALSE(parse_index_units(parsed(raw(64, 2, Bytes(15, 0)))).has_value());
    EXPECT_FALSE(parse_index_units(parsed(raw(64, 1, Bytes(32, 0)))).has_value());
    EXPECT_FALSE(parse_index_units(parsed(raw(49, 2, Bytes(32, 0)))).has_value());
}

}  // namespace
}  // namespace fleet::recorder
