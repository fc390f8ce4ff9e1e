// The vehicle list's rules, kept apart from the widget so they can be checked directly: name
// matching, sort keys, the drawn tags and texts, state changes on (un)marking, menu enabling.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "model/vehicle_record.h"

namespace velmora {

// "[O-type]", "NAT-R", "[NAT-type]", "[Bypass]", "[R-type]", "" for 0..5; "" outside.
std::string_view connection_tag(int connection_type);
// The event tag of indices 0..15 (0 and 15 are empty); "" outside.
std::string_view event_tag(int last_event);

// The shorter name equals the start of the longer, byte for byte. An empty name is a missing
// name and matches nothing.
bool vehicle_names_match(std::string_view a_utf8, std::string_view b_utf8);

// Name and address both match; a null address matches nothing.
bool vehicle_matches(const VehicleRecord& record, std::string_view name_utf8,
                     const uint8_t* address6);

// "A_<name>_XX-XX-XX-XX-XX-XX" for a vehicle that is not offline, "B_..." for an offline one,
// so online vehicles sort first, each group by name and address (UTF-16 code unit order).
std::u16string vehicle_sort_key(const VehicleRecord& record);

// The texts of one entry; empty where nothing is drawn.
struct VehicleLines {
    std::string name;     // name, with "  <connection tag>" while connected; empty if not drawn
    std::string address;  // "a.b.c.d", ":port" when not the default, "(N)" behind NAT
    std::string status;   // "(n/2)  <event tag>" for a vehicle that is not offline
};
VehicleLines vehicle_lines(const VehicleRecord& record);

// Marks target connected (on) or not: every other connected record returns to online first.
// On: a target that is not offline becomes connected with the given type. Off: a connected
// target returns to online-with-event when it has a last event, else to online. target may be
// null (no matching entry): the others are still reset.
void apply_connection_mark(std::span<VehicleRecord* const> records, VehicleRecord* target, bool on,
                           int connection_type);

// Which items of the vehicle menu are enabled.
struct CarMenuEnabled {
    bool realtime_play = true;
    bool recorded_play = true;
    bool uploaded_file = true;
    bool delete_vehicle = true;
};
CarMenuEnabled car_menu_enabled(const VehicleRecord& record, int run_mode);

}  // namespace velmora
