// Where a recorder listens, as the user names it: "HOST" or "HOST:PORT". The engine takes the
// same text for a direct link (port 2200 when none is given) in a 32-byte field.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dvrtool/outcome.h"

namespace dvrtool {

inline constexpr uint16_t kRecorderPort = 2200;
// The engine's address field holds 31 characters and a terminator.
inline constexpr size_t kAddressTextLimit = 31;

struct RemoteAddress {
    std::string host;
    uint16_t port = kRecorderPort;
    bool port_given = false;

    // What the engine is handed: "HOST", or "HOST:PORT" when a port was given.
    std::string engine_text() const;
    // "HOST:PORT" always, for messages.
    std::string shown() const;
};

// A usage error for an empty host, a port that is not a number in 1..65535, an IPv6 address
// (its colons read as a port), blanks or control characters, or a text longer than the
// engine's field.
fleet::Result<RemoteAddress> parse_remote_address(std::string_view text);

}  // namespace dvrtool
