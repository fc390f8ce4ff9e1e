#include "net/link_address.h"

#include <charconv>
#include <cstring>

namespace kivra::net {

std::optional<LinkAddress> parse_link_address(std::string_view text) {
    LinkAddress address;
    const size_t colon = text.rfind(':');
    // One colon names a port; more than one is an IPv6 address without one.
    if (colon == std::string_view::npos || text.find(':') != colon) {
        address.host = std::string(text);
    } else {
        const std::string_view port = text.substr(colon + 1);
        int32_t value = 0;
        auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (error != std::errc() || end != port.data() + port.size() || value < 1 ||
            value > 65535) {
            return std::nullopt;
        }
        address.host = std::string(text.substr(0, colon));
        address.port = value;
    }
    if (address.host.empty()) return std::nullopt;
    return address;
}

std::string text_of_field(const void* field, size_t size) {
    if (field == nullptr) return {};
    const char* chars = static_cast<const char*>(field);
    return std::string(chars, strnlen(chars, size));
}

}  // namespace kivra::net
