// Recorders the operator adds to the vehicle list by hand (address, port, name, channel count)
// while no server fills it: kept in the application configuration ("ManualRecorders") so they
// are there at the next start, and turned into online vehicle records.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/vehicle_record.h"

namespace velmora {

inline constexpr std::size_t kMaxRecorderNameBytes = 31;  // the engine's 32-byte name block

struct ManualRecorder {
    std::string name;  // UTF-8
    std::array<uint8_t, 4> ipv4{};
    uint16_t port = kDefaultRecorderPort;
    int channels = 4;
    bool operator==(const ManualRecorder&) const = default;
};

// Why a recorder typed into the dialog is refused; nullopt when it is accepted.
enum class RecorderEntryError { BadAddress, BadPort, EmptyName, LongName, BadChannels };

struct RecorderEntry {
    std::optional<ManualRecorder> recorder;
    RecorderEntryError error = RecorderEntryError::BadAddress;
};

// address: dotted IPv4; port: 1..65535; name: trimmed, 1..31 bytes without line breaks;
// channels: 4 or 8.
RecorderEntry make_manual_recorder(std::string_view address, std::string_view port,
                                   std::string_view name, int channels);

// "a.b.c.d", with ":port" when the recorder does not listen on the default port: the address
// text the engine connects to.
std::string recorder_address_text(const std::array<uint8_t, 4>& ipv4, uint16_t port);
std::string recorder_address_text(const VehicleRecord& record);

// The list's record: online, its 6-byte address the IPv4 address and the port (little-endian),
// parameters for all its channels.
std::unique_ptr<VehicleRecord> vehicle_from_recorder(const ManualRecorder& recorder);
// The recorder a record was made from, when it was one.
bool vehicle_is_recorder(const VehicleRecord& record, const ManualRecorder& recorder);

// Entries that do not read back as a recorder are skipped. Saving creates the configuration's
// folder when it is missing.
std::vector<ManualRecorder> load_manual_recorders(const std::string& config_path);
bool save_manual_recorders(const std::string& config_path,
                           const std::vector<ManualRecorder>& recorders);

}  // namespace velmora
