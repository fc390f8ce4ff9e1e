// The navigations a map page makes to talk to the viewer: "app:" addresses whose exact,
// case-sensitive prefix names the request and whose rest carries its argument.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// Every address of this scheme is the page talking; the browser never loads one.
inline constexpr std::string_view kMapLinkScheme = "app";

enum class MapLinkKind {
    SeekToTime,      // "app:nomal&<seconds since 1970>": a click on the track
    PlayQuickEntry,  // "app:search&<quick index record>": a click on a search result
    Focus,           // "app:GetFocus&": the page wants the keyboard
    PushAnswer,      // "app:GCMresponse&<status>": how a push of GCMPush_O went
    Online,          // "app:Online&": the map window's page is up
};

struct MapLink {
    MapLinkKind kind;
    std::string argument;  // the address after the prefix
    bool operator==(const MapLink&) const = default;
};

// The request an address makes; nothing for an address no prefix matches exactly. Only the
// letters after "app:" can differ in case here: the browser lowercases the scheme first.
std::optional<MapLink> parse_map_link(std::string_view address);

// The argument as an unsigned decimal number that fits 32 bits (digits only).
std::optional<uint32_t> link_number(std::string_view argument);
// The argument as a decimal status code, with an optional leading '-'.
std::optional<int> link_status(std::string_view argument);

}  // namespace velmora
