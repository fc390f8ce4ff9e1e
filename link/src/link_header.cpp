#include "link/link_header.h"

#include "common/le.h"

namespace fleet {

std::array<uint8_t, kLinkHeaderSize> LinkHeader::encode() const {
    std::array<uint8_t, kLinkHeaderSize> out{};
    store_u32(out.data(), kLinkMagic);
    store_u16(out.data() + 4, sub_code);
    out[6] = command;
    out[7] = flag;
    store_u32(out.data() + 8, payload_length);
    return out;
}

std::optional<LinkHeader> LinkHeader::decode(const uint8_t* data, size_t length) {
    if (data == nullptr || length < kLinkHeaderSize || load_u32(data) != kLinkMagic) {
        return std::nullopt;
    }
    LinkHeader h;
    h.sub_code = load_u16(data + 4);
    h.command = data[6];
    h.flag = data[7];
    h.payload_length = load_u32(data + 8);
    return h;
}

}  // namespace fleet
