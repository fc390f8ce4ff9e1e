#include "remote_address.h"

#include <algorithm>
#include <charconv>

namespace dvrtool {
namespace {

bool printable_host(std::string_view host) {
    return std::all_of(host.begin(), host.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte > ' ' && byte != 0x7F;
    });
}

fleet::Result<uint16_t> parse_port(std::string_view text, std::string_view whole) {
    unsigned port = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || port == 0 ||
        port > 65535) {
        return usage_error("the port of '" + std::string(whole) +
                           "' must be a number from 1 to 65535");
    }
    return static_cast<uint16_t>(port);
}

}  // namespace

std::string RemoteAddress::engine_text() const {
    return port_given ? shown() : host;
}

std::string RemoteAddress::shown() const {
    return host + ":" + std::to_string(port);
}

fleet::Result<RemoteAddress> parse_remote_address(std::string_view text) {
    const std::string quoted = "'" + std::string(text) + "'";
    const size_t colon = text.find(':');
    if (colon != std::string_view::npos && text.find(':', colon + 1) != std::string_view::npos) {
        return usage_error(quoted + ": give HOST or HOST:PORT (IPv6 addresses are not taken)");
    }
    RemoteAddress address;
    address.host = std::string(text.substr(0, colon));
    if (address.host.empty()) return usage_error(quoted + ": the host is missing");
    if (!printable_host(address.host)) {
        return usage_error(quoted + ": a host has no blanks or control characters");
    }
    if (colon != std::string_view::npos) {
        auto port = parse_port(text.substr(colon + 1), text);
        if (!port) return port.error();
        address.port = *port;
        address.port_given = true;
    }
    if (address.engine_text().size() > kAddressTextLimit) {
        return usage_error(quoted + " is longer than the " + std::to_string(kAddressTextLimit) +
                           " characters a recorder's address may have");
    }
    return address;
}

}  // namespace dvrtool
