// The 12-byte header that starts every network message of the engine and the server link.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace fleet {

inline constexpr uint32_t kLinkMagic = 0xABCD0429;
inline constexpr size_t kLinkHeaderSize = 12;

struct LinkHeader {
    uint16_t sub_code = 0;
    uint8_t command = 0;
    uint8_t flag = 0;
    uint32_t payload_length = 0;  // bytes after the header

    std::array<uint8_t, kLinkHeaderSize> encode() const;
    // Empty when fewer than 12 bytes are given or the magic is wrong.
    static std::optional<LinkHeader> decode(const uint8_t* data, size_t length);

    bool operator==(const LinkHeader&) const = default;
};

}  // namespace fleet
