#include "export_host/output_names.h"

#include <cstdio>

namespace fleet::export_host {

namespace {

// Enough for every export a person could start within one second and then some; a directory
// that full is refused instead of searched without end.
constexpr int kMostStemTries = 10000;

bool unsafe_in_name(unsigned char c) {
    return c == '/' || c == '\\' || c < 0x20 || c == 0x7F;
}

std::string ext_of_channel(bool mp4) {
    return mp4 ? ".mp4" : ".avi";
}

OutputPaths paths_of(const ExportRequest& request, const std::string& stem) {
    OutputPaths paths;
    paths.stem = stem;
    for (int i = 0; i < kChannels; ++i) {
        if (request.channels[static_cast<size_t>(i)]) {
            paths.channel[static_cast<size_t>(i)] =
                stem + "_ch" + std::to_string(i + 1) + ext_of_channel(request.mp4);
        }
    }
    if (request.all_channels) paths.all_channels = stem + "_ch_all.avi";
    if (request.file_pair) {
        paths.dvr = stem + ".dvr";
        paths.inx = stem + ".inx";
    }
    if (request.telemetry_csv) paths.telemetry_csv = stem + "_telemetry.csv";
    if (request.gpx_track) paths.gpx = stem + ".gpx";
    return paths;
}

}  // namespace

std::string safe_vehicle_id(const char* vehicle_id) {
    std::string id;
    bool leading = true;  // only dots so far: a name starting with a dot is hidden
    for (size_t i = 0; i < kVehicleIdBytes && vehicle_id[i] != '\0'; ++i) {
        const auto c = static_cast<unsigned char>(vehicle_id[i]);
        leading = leading && c == '.';
        id += unsafe_in_name(c) || leading ? '_' : static_cast<char>(c);
    }
    return id.empty() ? kUnknownVehicle : id;
}

std::string name_stamp(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char text[40];
    std::snprintf(text, sizeof text, "%d%02d%02d_%02d%02d_%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

std::string stem_base(const std::string& directory, const std::string& id,
                      const std::string& stamp) {
    std::string dir = directory;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir + "/" + id + "_" + stamp;
}

std::vector<std::string> OutputPaths::all() const {
    std::vector<std::string> out;
    for (const std::string& path : channel) {
        if (!path.empty()) out.push_back(path);
    }
    for (const std::string* path : {&all_channels, &dvr, &inx, &telemetry_csv, &gpx}) {
        if (!path->empty()) out.push_back(*path);
    }
    return out;
}

fleet::Result<OutputPaths> choose_output_paths(const ExportRequest& request,
                                               const std::string& stem_base,
                                               const FileExists& exists) {
    for (int n = 0; n < kMostStemTries; ++n) {
        const std::string stem = n == 0 ? stem_base : stem_base + "_" + std::to_string(n);
        OutputPaths paths = paths_of(request, stem);
        const std::vector<std::string> files = paths.all();
        for (const std::string& file : files) {
            if (file.size() > kMaxPathBytes) {
                return fleet::fail("output path longer than " + std::to_string(kMaxPathBytes) +
                                   " bytes: " + file);
            }
        }
        bool taken = false;
        for (const std::string& file : files) taken = taken || exists(file);
        if (!taken) return paths;
    }
    return fleet::fail("no free output name for " + stem_base);
}

}  // namespace fleet::export_host
