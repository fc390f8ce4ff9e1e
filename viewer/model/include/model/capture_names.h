// Names of the files snapshots and screen recordings create. A name never points at a file that
// exists: two snapshots within one second both stay.
#pragma once

#include <ctime>
#include <initializer_list>
#include <string>
#include <string_view>

namespace velmora {

// The name snapshots use when the source tells no vehicle identifier.
inline constexpr const char* kUnknownVehicle = "unknow";

// A vehicle identifier from the recording made fit to be part of a file name by the one rule
// exports use too (common/safe_name.h); an empty one becomes kUnknownVehicle.
std::string safe_name_part(std::string_view text);

// "<id>_YYYYMMDD_HHMM_SS" of the local time, the identifier made safe.
std::string snapshot_stem(std::string_view vehicle_id, const std::tm& local);

// "YYYYMMDD_HHMM_SS" of the local time.
std::string recording_stem(const std::tm& local);

// "<directory>/<stem>" or, when a file of that name with one of the extensions exists,
// "<directory>/<stem>_1", "_2" ... the first for which none exists. Empty when even the
// 9999th is taken.
std::string unused_base_path(const std::string& directory, const std::string& stem,
                             std::initializer_list<std::string_view> extensions);

}  // namespace velmora
