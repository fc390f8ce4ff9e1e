#include "model/car_list_rules.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "model/utf16_text.h"

namespace velmora {
namespace {

constexpr std::array<std::string_view, 6> kConnectionTags = {"[O-type]", "NAT-R",    "[NAT-type]",
                                                             "[Bypass]", "[R-type]", ""};

constexpr std::array<std::string_view, 16> kEventTags = {"",
                                                         "[POWER ON]",
                                                         "[POWER OFF]",
                                                         "[ALARM]",
                                                         "EVENT",
                                                         "[VIDEO LOSS]",
                                                         "[REC OFF]",
                                                         "[TIME BACK]",
                                                         "[TIME JUMP]",
                                                         "[TEVT RELAY]",
                                                         "[HDD FORMAT]",
                                                         "[CAR SPEED]",
                                                         "[TPMS]",
                                                         "[G SENSOR]",
                                                         "[OVER HEAT]",
                                                         ""};

std::string address_text(const std::array<uint8_t, 6>& a) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02X-%02X-%02X-%02X-%02X-%02X", a[0], a[1], a[2], a[3],
                  a[4], a[5]);
    return buffer;
}

template <std::size_t N>
std::string_view tag_at(const std::array<std::string_view, N>& tags, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= N) return {};
    return tags[static_cast<std::size_t>(index)];
}

}  // namespace

std::string_view connection_tag(int connection_type) {
    return tag_at(kConnectionTags, connection_type);
}

std::string_view event_tag(int last_event) {
    return tag_at(kEventTags, last_event);
}

bool vehicle_names_match(std::string_view a_utf8, std::string_view b_utf8) {
    if (a_utf8.empty() || b_utf8.empty()) return false;
    const std::size_t common = std::min(a_utf8.size(), b_utf8.size());
    return a_utf8.substr(0, common) == b_utf8.substr(0, common);
}

bool vehicle_matches(const VehicleRecord& record, std::string_view name_utf8,
                     const uint8_t* address6) {
    if (address6 == nullptr) return false;
    return vehicle_names_match(utf8_from_utf16(record.name), name_utf8) &&
           std::memcmp(record.address.data(), address6, record.address.size()) == 0;
}

std::u16string vehicle_sort_key(const VehicleRecord& record) {
    std::u16string key = record.state != vehicle_state::kOffline ? u"A_" : u"B_";
    key += record.name;
    key += u'_';
    for (const char c : address_text(record.address)) key.push_back(static_cast<char16_t>(c));
    return key;
}

VehicleLines vehicle_lines(const VehicleRecord& record) {
    VehicleLines lines;
    if (!record.name.empty() && record.name.size() <= kMaxDrawnVehicleName) {
        lines.name = utf8_from_utf16(record.name);
        if (record.state == vehicle_state::kConnected) {
            lines.name += "  ";
            lines.name += connection_tag(record.connection_type);
        }
    }
    char buffer[48];
    const auto& ip = record.ipv4;
    std::snprintf(buffer, sizeof buffer, "%d.%d.%d.%d", ip[0], ip[1], ip[2], ip[3]);
    lines.address = buffer;
    // Recorders added by hand may listen on another port; the list shows where it is reached.
    if (record.port != kDefaultRecorderPort) lines.address += ":" + std::to_string(record.port);
    if (record.behind_nat()) lines.address += "(N)";
    if (record.state != vehicle_state::kOffline && record.last_event >= 0 &&
        record.last_event < static_cast<int>(kEventTags.size())) {
        std::snprintf(buffer, sizeof buffer, "(%d/%d)  ", record.open_links, kMaxOpenLinks);
        lines.status = buffer;
        lines.status += event_tag(record.last_event);
    }
    return lines;
}

void apply_connection_mark(std::span<VehicleRecord* const> records, VehicleRecord* target, bool on,
                           int connection_type) {
    for (VehicleRecord* record : records) {
        if (record != target && record->state == vehicle_state::kConnected) {
            record->state = vehicle_state::kOnline;
        }
    }
    if (target == nullptr) return;
    if (on) {
        if (target->state != vehicle_state::kOffline) {
            target->state = vehicle_state::kConnected;
            target->connection_type = connection_type;
        }
    } else if (target->state == vehicle_state::kConnected) {
        target->state =
            target->last_event != 0 ? vehicle_state::kOnlineEvent : vehicle_state::kOnline;
    }
}

CarMenuEnabled car_menu_enabled(const VehicleRecord& record, int run_mode) {
    CarMenuEnabled enabled;
    const bool online = record.state != vehicle_state::kOffline;
    enabled.realtime_play = online;
    enabled.recorded_play = online && record.open_links < 1;
    enabled.uploaded_file = online;
    enabled.delete_vehicle = run_mode == 0;
    return enabled;
}

}  // namespace velmora
