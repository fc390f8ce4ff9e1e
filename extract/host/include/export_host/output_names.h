// The names of an export's files: "<dir>/<id>_<stamp>" followed by each output's suffix, where
// id is the recording's vehicle identifier made safe for a path and stamp the local time the
// export began. Nothing is ever overwritten, and no two exports share a stem: when any file
// that an export of that stem could write exists, "_1", "_2", ... are tried in turn.
#pragma once

#include <array>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "common/result.h"
#include "export_host/export_request.h"

namespace fleet::export_host {

// The longest path the extraction library takes (its fields hold 260 bytes with the end).
inline constexpr size_t kMaxPathBytes = 259;
inline constexpr size_t kVehicleIdBytes = 16;
inline constexpr const char* kUnknownVehicle = "unknow";

// Up to 16 bytes of a frame set's identifier (its end where a zero comes first), keeping
// only whole well-formed UTF-8 characters: every other byte (a recorder's own code page, a
// character cut at the field's end), path separators, control characters, the characters FAT
// refuses (: * ? " < > |), leading dots and trailing dots or spaces become '_', byte for byte;
// "unknow" when empty. A recorder's identifier is data: it must not climb out of the target
// directory, hide a file or make a name a card cannot hold.
std::string safe_vehicle_id(const char* vehicle_id);

// Local time as "%d%02d%02d_%02d%02d_%02d" (year, month, day, hour, minute, second).
std::string name_stamp(std::time_t when);

// Every file of one export; empty strings for outputs not asked for.
struct OutputPaths {
    std::string stem;  // "<dir>/<id>_<stamp>" or with "_<n>"
    std::array<std::string, kChannels> channel;
    std::string all_channels;
    std::string dvr, inx;
    std::string telemetry_csv, gpx;

    // Those asked for, channels first; the sidecars last.
    std::vector<std::string> all() const;
    // Those of the extraction library: all() without the sidecars.
    std::vector<std::string> library_outputs() const;
};

using FileExists = std::function<bool(const std::string& path)>;

// The paths of `request` under `stem_base` ("<dir>/<id>_<stamp>"): the first stem of
// stem_base, stem_base_1, stem_base_2, ... of which no possible output exists (any channel as
// AVI or MP4, the all-channel file, the pair, the sidecars), whatever this request asks for.
// Fails when a path would be longer than kMaxPathBytes or no free stem is found within a
// bounded number of tries.
fleet::Result<OutputPaths> choose_output_paths(const ExportRequest& request,
                                               const std::string& stem_base,
                                               const FileExists& exists);

// The longest path any export into `directory` can be given: the longest identifier, the
// last stem tried and the longest suffix. A directory for which this exceeds kMaxPathBytes
// is refused before an export starts.
size_t longest_output_path(const std::string& directory);

// "<dir>/<id>_<stamp>", with the directory's trailing separators dropped.
std::string stem_base(const std::string& directory, const std::string& id,
                      const std::string& stamp);

}  // namespace fleet::export_host
