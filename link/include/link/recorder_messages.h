// The messages between a viewer's engine and a recorder: live video, the recorder's time
// index and downloads. The engine builds the requests and reads the answers; dvrsim reads the
// requests and builds the answers. Every parser checks each field against the bytes received.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "link/link_header.h"

namespace fleet::recorder {

// Commands.
inline constexpr uint8_t kCmdHello = 26;  // also every request on a mode-3 (relayed) link
inline constexpr uint8_t kCmdReply = 31;
inline constexpr uint8_t kCmdLive = 48;  // live start; also the data request
inline constexpr uint8_t kCmdVideo = 49;
inline constexpr uint8_t kCmdLiveStop = 50;
inline constexpr uint8_t kCmdMore = 55;
inline constexpr uint8_t kCmdSlower = 56;
inline constexpr uint8_t kCmdIndex = 64;  // index requests and replies

// Reply statuses.
inline constexpr uint32_t kStatusAccepted = 1;
inline constexpr uint32_t kStatusBusy = 0x10000030;
inline constexpr uint32_t kStatusDenied = 0x10000031;

// Sub-codes of the requests and of their replies.
inline constexpr uint16_t kSubStart = 1;  // live start; index header request
inline constexpr uint16_t kSubStop = 2;   // live stop; index unit request
inline constexpr uint16_t kSubMore = 3;   // live more; data request
inline constexpr uint16_t kSubSlower = 4;
inline constexpr uint16_t kSubIndexHeader = 1;
inline constexpr uint16_t kSubIndexUnits = 2;
inline constexpr uint16_t kSubData = 3;

inline constexpr size_t kVideoPreamble = 32;  // payload bytes before the GOP
inline constexpr uint32_t kDataRequestWord = 0x00000100;

// A message as received: its header and exactly its payload.
struct Message {
    LinkHeader header;
    std::span<const uint8_t> payload;
};
// Accepted when at least 12 bytes start with the magic and the bytes hold the whole payload;
// bytes past it are ignored.
std::optional<Message> parse_message(std::span<const uint8_t> bytes);

// ---- engine to recorder -----------------------------------------------------------------

struct LiveStart {
    uint8_t mark = 1;  // LiveParams byte 51, repeated at [30] of every live request
    uint32_t channel_mask = 0;
    uint32_t mode_bits = 0;  // 0-1 frame-rate class, 2-4 audio mode, 5 log, 6 flow control
    uint32_t prebuffer_half = 5;
    uint8_t resolution = 0;
    uint8_t frame_rate = 0;
};
// command: kCmdLive, or kCmdHello on a mode-3 link.
std::vector<uint8_t> encode_live_start(const LiveStart& start, uint8_t command);
// sub: kSubStop (command 50), kSubMore (55), kSubSlower (56); command follows from sub.
std::vector<uint8_t> encode_live_control(uint16_t sub, uint8_t mark);
// command: kCmdIndex, or kCmdHello on a mode-3 link.
std::vector<uint8_t> encode_index_header_request(uint8_t command);
std::vector<uint8_t> encode_index_unit_request(uint8_t command, uint32_t first_unit,
                                               uint32_t unit_count);
// command: kCmdLive, or kCmdHello on a mode-3 link; [52] carries last - first.
std::vector<uint8_t> encode_data_request(uint8_t command, uint32_t first_unit, uint32_t last_unit);

// What a recorder was asked, told apart by command, sub-code, payload length and the
// "client" mark (a mode-3 link sends every request as command 26).
struct Request {
    enum class Kind { LiveStart, LiveStop, More, Slower, IndexHeader, IndexUnits, Data };
    Kind kind = Kind::LiveStart;
    uint16_t sub = 0;         // echoed in the reply
    LiveStart live;           // LiveStart; mark also for stop, more, slower
    uint32_t first_unit = 0;  // IndexUnits, Data
    uint32_t unit_count = 0;  // IndexUnits
    uint32_t unit_span = 0;   // Data: last - first
};
std::optional<Request> parse_request(const Message& message);

// ---- recorder to engine -----------------------------------------------------------------

std::vector<uint8_t> encode_hello();
std::vector<uint8_t> encode_reply(uint16_t sub, uint32_t status);
// frame_flags: bits 0-1 == 2 marks a key GOP; remaining: percent of a download still to come.
// An empty gop is the end of a download.
std::vector<uint8_t> encode_video(uint32_t frame_flags, uint32_t remaining_percent,
                                  std::span<const uint8_t> gop);
std::vector<uint8_t> encode_index_header_reply(bool index_follows,
                                               const std::array<uint8_t, 16>& header);
std::vector<uint8_t> encode_index_units(std::span<const uint8_t> units);

struct Reply {
    uint16_t sub = 0;
    uint32_t status = 0;
};
std::optional<Reply> parse_reply(const Message& message);

struct Video {
    uint32_t frame_flags = 0;
    uint32_t remaining_percent = 0;
    std::span<const uint8_t> gop;  // empty: the end of a download
};
// Refused when the GOP length claims more than the payload holds.
std::optional<Video> parse_video(const Message& message);

struct IndexHeaderReply {
    bool index_follows = false;
    std::array<uint8_t, 16> header{};
};
std::optional<IndexHeaderReply> parse_index_header_reply(const Message& message);
// The unit records of an index unit reply; refused when the byte count claims more than the
// payload holds. A count that is not a multiple of 16 keeps only the whole records.
std::optional<std::span<const uint8_t>> parse_index_units(const Message& message);

}  // namespace fleet::recorder
