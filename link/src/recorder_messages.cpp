#include "link/recorder_messages.h"

#include <cstring>

#include "common/le.h"

namespace fleet::recorder {

namespace {

constexpr char kClientMark[] = "client";  // with its terminator: 7 bytes
constexpr size_t kClientMarkSize = sizeof kClientMark;
constexpr size_t kLiveStartSize = 64;
constexpr size_t kLiveControlSize = 32;
constexpr size_t kIndexRequestSize = 48;
constexpr size_t kDataRequestSize = 64;
constexpr size_t kIndexReplyPreamble = 16;

std::vector<uint8_t> message(uint16_t sub, uint8_t command, size_t payload_size) {
    LinkHeader header;
    header.sub_code = sub;
    header.command = command;
    header.payload_length = static_cast<uint32_t>(payload_size);
    std::vector<uint8_t> out(kLinkHeaderSize + payload_size, 0);
    const auto bytes = header.encode();
    std::memcpy(out.data(), bytes.data(), bytes.size());
    return out;
}

uint8_t* payload_of(std::vector<uint8_t>& m) {
    return m.data() + kLinkHeaderSize;
}

void mark_client(uint8_t* payload) {
    std::memcpy(payload, kClientMark, kClientMarkSize);
    payload[30] = 1;
}

bool has_client_mark(std::span<const uint8_t> p) {
    return p.size() >= kClientMarkSize && std::memcmp(p.data(), kClientMark, kClientMarkSize) == 0;
}

uint32_t u32_at(std::span<const uint8_t> p, size_t offset) {
    return fits(p.size(), offset, 4) ? load_u32(p.data() + offset) : 0;
}

std::optional<Request> live_start_request(const Message& m) {
    const auto p = m.payload;
    if (p.size() < kLiveStartSize) return std::nullopt;
    Request r;
    r.kind = Request::Kind::LiveStart;
    r.live.mark = p[30];
    r.live.channel_mask = load_u32(p.data() + 32);
    r.live.mode_bits = load_u32(p.data() + 36);
    r.live.prebuffer_half = load_u32(p.data() + 40);
    r.live.resolution = p[60];
    r.live.frame_rate = p[61];
    return r;
}

std::optional<Request> index_request(const Message& m, uint16_t sub) {
    const auto p = m.payload;
    if (p.size() < kIndexRequestSize) return std::nullopt;
    Request r;
    if (sub == kSubIndexHeader) {
        r.kind = Request::Kind::IndexHeader;
        return r;
    }
    if (sub != kSubIndexUnits) return std::nullopt;
    r.kind = Request::Kind::IndexUnits;
    r.first_unit = load_u32(p.data() + 36);
    r.unit_count = load_u32(p.data() + 40);
    return r;
}

std::optional<Request> data_request(const Message& m) {
    const auto p = m.payload;
    if (p.size() < kDataRequestSize || !has_client_mark(p)) return std::nullopt;
    Request r;
    r.kind = Request::Kind::Data;
    r.first_unit = load_u32(p.data() + 40);
    r.unit_span = load_u32(p.data() + 52);
    return r;
}

std::optional<Request> live_control_request(const Message& m, Request::Kind kind) {
    if (m.payload.size() < 31) return std::nullopt;
    Request r;
    r.kind = kind;
    r.live.mark = m.payload[30];
    return r;
}

std::optional<Request> classify(const Message& m) {
    const uint16_t sub = m.header.sub_code;
    const bool client = has_client_mark(m.payload);
    switch (m.header.command) {
        case kCmdLive:
            if (sub == kSubData && client) return data_request(m);
            if (sub == kSubStart && !client) return live_start_request(m);
            return std::nullopt;
        case kCmdHello:  // a mode-3 link: any request
            if (!client) return sub == kSubStart ? live_start_request(m) : std::nullopt;
            if (sub == kSubData) return data_request(m);
            return index_request(m, sub);
        case kCmdIndex:
            return index_request(m, sub);
        case kCmdLiveStop:
            return live_control_request(m, Request::Kind::LiveStop);
        case kCmdMore:
            return live_control_request(m, Request::Kind::More);
        case kCmdSlower:
            return live_control_request(m, Request::Kind::Slower);
        default:
            return std::nullopt;
    }
}

}  // namespace

std::optional<Message> parse_message(std::span<const uint8_t> bytes) {
    const auto header = LinkHeader::decode(bytes.data(), bytes.size());
    if (!header || header->payload_length > bytes.size() - kLinkHeaderSize) return std::nullopt;
    return Message{*header, bytes.subspan(kLinkHeaderSize, header->payload_length)};
}

std::vector<uint8_t> encode_live_start(const LiveStart& start, uint8_t command) {
    auto m = message(kSubStart, command, kLiveStartSize);
    uint8_t* p = payload_of(m);
    p[30] = start.mark;
    store_u32(p + 32, start.channel_mask);
    store_u32(p + 36, start.mode_bits);
    store_u32(p + 40, start.prebuffer_half);
    p[60] = start.resolution;
    p[61] = start.frame_rate;
    return m;
}

std::vector<uint8_t> encode_live_control(uint16_t sub, uint8_t mark) {
    const uint8_t command = sub == kSubStop   ? kCmdLiveStop
                            : sub == kSubMore ? kCmdMore
                                              : kCmdSlower;
    auto m = message(sub, command, kLiveControlSize);
    payload_of(m)[30] = mark;
    return m;
}

std::vector<uint8_t> encode_index_header_request(uint8_t command) {
    auto m = message(kSubIndexHeader, command, kIndexRequestSize);
    uint8_t* p = payload_of(m);
    mark_client(p);
    store_u32(p + 32, 1);
    store_u32(p + 40, 1);
    return m;
}

std::vector<uint8_t> encode_index_unit_request(uint8_t command, uint32_t first_unit,
                                               uint32_t unit_count) {
    auto m = message(kSubIndexUnits, command, kIndexRequestSize);
    uint8_t* p = payload_of(m);
    mark_client(p);
    store_u32(p + 32, 1);
    store_u32(p + 36, first_unit);
    store_u32(p + 40, unit_count);
    return m;
}

std::vector<uint8_t> encode_data_request(uint8_t command, uint32_t first_unit, uint32_t last_unit) {
    auto m = message(kSubData, command, kDataRequestSize);
    uint8_t* p = payload_of(m);
    mark_client(p);
    store_u32(p + 36, kDataRequestWord);
    store_u32(p + 40, first_unit);
    store_u32(p + 52, last_unit - first_unit);
    return m;
}

std::optional<Request> parse_request(const Message& message) {
    auto request = classify(message);
    if (request) request->sub = message.header.sub_code;
    return request;
}

std::vector<uint8_t> encode_hello() {
    return message(0, kCmdHello, 0);
}

std::vector<uint8_t> encode_reply(uint16_t sub, uint32_t status) {
    auto m = message(sub, kCmdReply, 4);
    store_u32(payload_of(m), status);
    return m;
}

std::vector<uint8_t> encode_video(uint32_t frame_flags, uint32_t remaining_percent,
                                  std::span<const uint8_t> gop) {
    auto m = message(0, kCmdVideo, kVideoPreamble + gop.size());
    uint8_t* p = payload_of(m);
    store_u32(p + 4, frame_flags);
    store_u32(p + 20, remaining_percent);
    store_u32(p + 24, static_cast<uint32_t>(gop.size()));
    if (!gop.empty()) std::memcpy(p + kVideoPreamble, gop.data(), gop.size());
    return m;
}

std::vector<uint8_t> encode_index_header_reply(bool index_follows,
                                               const std::array<uint8_t, 16>& header) {
    auto m = message(kSubIndexHeader, kCmdIndex, kIndexReplyPreamble + header.size());
    uint8_t* p = payload_of(m);
    store_u32(p + 12, index_follows ? 1 : 0);
    std::memcpy(p + 16, header.data(), header.size());
    return m;
}

std::vector<uint8_t> encode_index_units(std::span<const uint8_t> units) {
    auto m = message(kSubIndexUnits, kCmdIndex, kIndexReplyPreamble + units.size());
    uint8_t* p = payload_of(m);
    store_u32(p + 12, static_cast<uint32_t>(units.size()));
    if (!units.empty()) std::memcpy(p + kIndexReplyPreamble, units.data(), units.size());
    return m;
}

std::optional<Reply> parse_reply(const Message& message) {
    if (message.header.command != kCmdReply || message.payload.size() < 4) return std::nullopt;
    return Reply{message.header.sub_code, load_u32(message.payload.data())};
}

std::optional<Video> parse_video(const Message& message) {
    const auto p = message.payload;
    if (message.header.command != kCmdVideo || p.size() < kVideoPreamble) return std::nullopt;
    const uint32_t length = load_u32(p.data() + 24);
    if (length > p.size() - kVideoPreamble) return std::nullopt;
    return Video{u32_at(p, 4), u32_at(p, 20), p.subspan(kVideoPreamble, length)};
}

std::optional<IndexHeaderReply> parse_index_header_reply(const Message& message) {
    const auto p = message.payload;
    if (message.header.command != kCmdIndex || message.header.sub_code != kSubIndexHeader ||
        p.size() < kIndexReplyPreamble + 16)
        return std::nullopt;
    IndexHeaderReply reply;
    reply.index_follows = load_u32(p.data() + 12) != 0;
    std::memcpy(reply.header.data(), p.data() + 16, 16);
    return reply;
}

std::optional<std::span<const uint8_t>> parse_index_units(const Message& message) {
    const auto p = message.payload;
    if (message.header.command != kCmdIndex || message.header.sub_code != kSubIndexUnits ||
        p.size() < kIndexReplyPreamble)
        return std::nullopt;
    const uint32_t count = load_u32(p.data() + 12);
    if (count > p.size() - kIndexReplyPreamble) return std::nullopt;
    return p.subspan(kIndexReplyPreamble, count - count % 16);
}

}  // namespace fleet::recorder
