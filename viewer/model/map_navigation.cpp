#include "model/map_navigation.h"

#include <charconv>

namespace velmora {

namespace {

struct LinkPrefix {
    std::string_view prefix;
    MapLinkKind kind;
};

constexpr LinkPrefix kPrefixes[] = {
    {"app:nomal&", MapLinkKind::SeekToTime}, {"app:search&", MapLinkKind::PlayQuickEntry},
    {"app:GetFocus&", MapLinkKind::Focus},   {"app:GCMresponse&", MapLinkKind::PushAnswer},
    {"app:Online&", MapLinkKind::Online},
};

template <typename Number>
std::optional<Number> whole_number(std::string_view text) {
    Number value{};
    const char* end = text.data() + text.size();
    const auto [parsed_end, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || parsed_end != end) return std::nullopt;
    return value;
}

}  // namespace

std::optional<MapLink> parse_map_link(std::string_view address) {
    for (const LinkPrefix& link : kPrefixes) {
        if (address.starts_with(link.prefix))
            return MapLink{link.kind, std::string(address.substr(link.prefix.size()))};
    }
    return std::nullopt;
}

std::optional<uint32_t> link_number(std::string_view argument) {
    return whole_number<uint32_t>(argument);
}

std::optional<int> link_status(std::string_view argument) {
    return whole_number<int>(argument);
}

}  // namespace velmora
