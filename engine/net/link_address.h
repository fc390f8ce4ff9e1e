// Where a recorder is reached directly: the address text of LiveParams or zOpenRx, which may
// name a port ("HOST:PORT"); without one the recorder's port 2200.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kivra::net {

inline constexpr int32_t kRecorderPort = 2200;  // a recorder listens here
inline constexpr int32_t kListenPort = 2201;    // the engine listens here for a recorder

struct LinkAddress {
    std::string host;
    int32_t port = kRecorderPort;
};

// Empty for an empty host, or a port that is not a number in 1..65535.
std::optional<LinkAddress> parse_link_address(std::string_view text);

// The text of a zero-terminated field of at most `size` bytes.
std::string text_of_field(const void* field, size_t size);

}  // namespace kivra::net
