// What an operator asks of one export: a range of the open recording's time index and the
// outputs to write. The viewer's extract dialog and `dvrtool export` both fill one.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace fleet::export_host {

inline constexpr int kChannels = 8;

struct ExportRequest {
    uint32_t start_unit = 0;  // time-index unit numbers along the unit ring; start before end
    uint32_t end_unit = 0;
    std::array<bool, kChannels> channels{};  // [i]: a file of channel i + 1
    bool all_channels = false;               // one mosaic file of all channels
    bool file_pair = false;                  // a .dvr/.inx copy of the range
    bool mp4 = false;                        // per-channel files as MP4 instead of AVI
    bool telemetry_csv = false;              // "<stem>_telemetry.csv" next to the outputs
    bool gpx_track = false;                  // "<stem>.gpx" next to the outputs
    std::string target_directory;            // UTF-8; made when it does not exist

    bool any_output() const;
};

}  // namespace fleet::export_host
