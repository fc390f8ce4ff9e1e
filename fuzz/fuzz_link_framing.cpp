// Arbitrary bytes as a received stream (fuzz/link_stream_input.h), fed to a FrameReader in
// chunks. Cutting must not change what comes out: the messages and the refusal equal those of
// one plain pass over the whole stream. Every message then goes through every parser of the
// recorder messages, whose results must lie inside it and survive being built again.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "common/le.h"
#include "frame_reader.h"
#include "link/link_header.h"
#include "link/recorder_messages.h"
#include "link_stream_input.h"

namespace {

namespace rm = fleet::recorder;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t kLimit = 1 << 16;

void check(bool ok) {
    if (!ok) std::abort();
}

struct Cut {
    std::vector<Bytes> messages;
    int error = 0;
};

// The stream in one pass, header by header.
Cut reference_cut(std::span<const uint8_t> stream) {
    Cut cut;
    size_t at = 0;
    while (stream.size() - at >= fleet::kLinkHeaderSize) {
        const auto header = fleet::LinkHeader::decode(stream.data() + at, stream.size() - at);
        if (!header) {
            cut.error = EBADMSG;
            break;
        }
        if (header->payload_length > kLimit) {
            cut.error = EMSGSIZE;
            break;
        }
        const size_t whole = fleet::kLinkHeaderSize + header->payload_length;
        if (stream.size() - at < whole) break;
        cut.messages.emplace_back(stream.begin() + at, stream.begin() + at + whole);
        at += whole;
    }
    return cut;
}

bool inside(std::span<const uint8_t> part, std::span<const uint8_t> whole) {
    return part.empty() || (part.data() >= whole.data() &&
                            part.data() + part.size() <= whole.data() + whole.size());
}

void check_request(const rm::Message& m, const rm::Request& r) {
    const uint8_t command = m.header.command;
    const size_t payload = m.payload.size();
    check(r.sub == m.header.sub_code);
    switch (r.kind) {
        case rm::Request::Kind::LiveStart: {
            check((command == rm::kCmdLive || command == rm::kCmdHello) && r.sub == rm::kSubStart);
            check(payload >= 64);
            const auto again =
                rm::parse_request(*rm::parse_message(rm::encode_live_start(r.live, command)));
            check(again && again->kind == r.kind && again->live.mark == r.live.mark &&
                  again->live.channel_mask == r.live.channel_mask &&
                  again->live.mode_bits == r.live.mode_bits &&
                  again->live.prebuffer_half == r.live.prebuffer_half &&
                  again->live.resolution == r.live.resolution &&
                  again->live.frame_rate == r.live.frame_rate);
            break;
        }
        case rm::Request::Kind::LiveStop:
            check(command == rm::kCmdLiveStop && payload >= 31);
            break;
        case rm::Request::Kind::More:
            check(command == rm::kCmdMore && payload >= 31);
            break;
        case rm::Request::Kind::Slower:
            check(command == rm::kCmdSlower && payload >= 31);
            break;
        case rm::Request::Kind::IndexHeader:
            check((command == rm::kCmdIndex || command == rm::kCmdHello) && payload >= 48 &&
                  r.sub == rm::kSubIndexHeader);
            break;
        case rm::Request::Kind::IndexUnits: {
            check((command == rm::kCmdIndex || command == rm::kCmdHello) && payload >= 48 &&
                  r.sub == rm::kSubIndexUnits);
            const auto again = rm::parse_request(*rm::parse_message(
                rm::encode_index_unit_request(command, r.first_unit, r.unit_count)));
            check(again && again->kind == r.kind && again->first_unit == r.first_unit &&
                  again->unit_count == r.unit_count);
            break;
        }
        case rm::Request::Kind::Data: {
            check((command == rm::kCmdLive || command == rm::kCmdHello) && payload >= 64 &&
                  r.sub == rm::kSubData);
            const auto again = rm::parse_request(*rm::parse_message(
                rm::encode_data_request(command, r.first_unit, r.first_unit + r.unit_span)));
            check(again && again->kind == r.kind && again->first_unit == r.first_unit &&
                  again->unit_span == r.unit_span);
            break;
        }
    }
}

void check_video(const rm::Message& m, const rm::Video& v, std::span<const uint8_t> bytes) {
    check(m.header.command == rm::kCmdVideo && m.payload.size() >= rm::kVideoPreamble);
    check(inside(v.gop, m.payload.subspan(rm::kVideoPreamble)) && inside(v.gop, bytes));
    check(v.gop.size() == fleet::load_u32(m.payload.data() + 24));
    const auto again_bytes = rm::encode_video(v.frame_flags, v.remaining_percent, v.gop);
    const auto again = rm::parse_video(*rm::parse_message(again_bytes));
    check(again && again->frame_flags == v.frame_flags &&
          again->remaining_percent == v.remaining_percent && again->gop.size() == v.gop.size() &&
          std::equal(again->gop.begin(), again->gop.end(), v.gop.begin()));
}

void check_parsers(std::span<const uint8_t> bytes) {
    const auto m = rm::parse_message(bytes);
    check(m.has_value());
    check(m->payload.size() == m->header.payload_length &&
          m->payload.data() == bytes.data() + fleet::kLinkHeaderSize &&
          m->payload.size() == bytes.size() - fleet::kLinkHeaderSize);

    if (const auto r = rm::parse_request(*m)) check_request(*m, *r);
    if (const auto reply = rm::parse_reply(*m)) {
        check(m->header.command == rm::kCmdReply && m->payload.size() >= 4 &&
              reply->sub == m->header.sub_code);
    }
    if (const auto v = rm::parse_video(*m)) check_video(*m, *v, bytes);
    if (const auto h = rm::parse_index_header_reply(*m)) {
        check(m->header.command == rm::kCmdIndex && m->header.sub_code == rm::kSubIndexHeader &&
              m->payload.size() >= 32);
        check(std::equal(h->header.begin(), h->header.end(), m->payload.begin() + 16));
    }
    if (const auto units = rm::parse_index_units(*m)) {
        check(m->header.command == rm::kCmdIndex && m->header.sub_code == rm::kSubIndexUnits);
        check(inside(*units, m->payload.subspan(16)) && units->size() % 16 == 0);
        check(units->size() <= fleet::load_u32(m->payload.data() + 12));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    link_fuzz::StreamInput input;
    if (!link_fuzz::split_input(data, size, input)) return 0;

    fleet::fennick::FrameReader reader(kLimit);
    Cut cut;
    size_t at = 0;
    for (size_t i = 0; at < input.stream.size() && cut.error == 0; ++i) {
        const size_t chunk =
            std::min(input.chunk_sizes[i % input.chunk_sizes.size()], input.stream.size() - at);
        reader.feed(input.stream.subspan(at, chunk));
        at += chunk;
        for (;;) {
            const auto next = reader.next();
            if (next.status == fleet::fennick::FrameReader::Status::kNeedMore) break;
            if (next.status == fleet::fennick::FrameReader::Status::kError) {
                check(next.error == EBADMSG || next.error == EMSGSIZE);
                cut.error = next.error;
                break;
            }
            check_parsers(next.message);
            cut.messages.emplace_back(next.message.begin(), next.message.end());
        }
        // Room is never made for more than one read chunk beyond the largest message.
        check(reader.capacity() <=
              fleet::fennick::FrameReader::kReadChunk + fleet::kLinkHeaderSize + kLimit + 4096);
    }
    const Cut reference = reference_cut(input.stream);
    check(cut.error == reference.error && cut.messages == reference.messages);
    return 0;
}
