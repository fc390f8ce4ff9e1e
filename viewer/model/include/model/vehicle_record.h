// One recorder in the vehicle list. The list owns its records; the main window, the map bridge
// and the recorded-data dialog read the record the list hands them in its messages.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "kivra/kivra.h"

namespace velmora {

namespace vehicle_state {
inline constexpr int kOffline = 0;
inline constexpr int kOnline = 1;
inline constexpr int kConnected = 2;  // the viewer has a link open to it
inline constexpr int kOnlineEvent = 3;
}  // namespace vehicle_state

// Names of up to this many UTF-16 units are drawn; longer ones are left out of the drawing.
inline constexpr std::size_t kMaxDrawnVehicleName = 15;
inline constexpr int kMaxOpenLinks = 2;
// The port recorders listen on for viewers.
inline constexpr uint16_t kDefaultRecorderPort = 2200;

struct VehicleRecord {
    std::u16string name;
    std::array<uint8_t, 6> address{};
    std::array<uint8_t, 4> ipv4{};         // first part first
    uint16_t port = kDefaultRecorderPort;  // recorders added by hand may listen elsewhere
    int32_t state = vehicle_state::kOffline;
    int32_t last_event = 0;       // index into the event tags, 0 = none
    int32_t connection_type = 0;  // index into the connection tags; set when marked connected
    int32_t channel_count = 0;
    int32_t open_links = 0;  // connections the recorder has open, 0..2
    std::string latitude;
    std::string longitude;
    uint8_t capability = 0;    // a non-zero low nibble marks an address behind NAT
    LiveParams live_params{};  // parameters of the last realtime play

    bool behind_nat() const { return (capability & 0x0Fu) != 0; }
};

}  // namespace velmora
