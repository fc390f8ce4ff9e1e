#include "export_host/output_names.h"

#include "common/safe_name.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace fleet::export_host {

namespace {

// Enough for every export a person could start within one second and then some; a directory
// that full is refused instead of searched without end.
constexpr int kMostStemTries = 10000;

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

// Every output a stem can have, so that no export ever shares a stem with an earlier one.
ExportRequest every_output() {
    ExportRequest request;
    request.channels.fill(true);
    request.all_channels = request.file_pair = true;
    request.telemetry_csv = request.gpx_track = true;
    return request;
}

bool stem_taken(const std::string& stem, const FileExists& exists) {
    ExportRequest request = every_output();
    for (const bool mp4 : {false, true}) {
        request.mp4 = mp4;
        for (const std::string& file : paths_of(request, stem).all()) {
            if (exists(file)) return true;
        }
    }
    return false;
}

}  // namespace

std::string safe_vehicle_id(const char* vehicle_id) {
    size_t size = 0;
    while (size < kVehicleIdBytes && vehicle_id[size] != '\0') ++size;
    return fleet::safe_name_part(std::string_view(vehicle_id, size), kUnknownVehicle);
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

std::vector<std::string> OutputPaths::library_outputs() const {
    std::vector<std::string> out;
    for (const std::string& path : channel) {
        if (!path.empty()) out.push_back(path);
    }
    for (const std::string* path : {&all_channels, &dvr, &inx}) {
        if (!path->empty()) out.push_back(*path);
    }
    return out;
}

std::vector<std::string> OutputPaths::all() const {
    std::vector<std::string> out = library_outputs();
    for (const std::string* path : {&telemetry_csv, &gpx}) {
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
        if (!stem_taken(stem, exists)) return paths;
    }
    return fleet::fail("no free output name for " + stem_base);
}

size_t longest_output_path(const std::string& directory) {
    const std::string worst_stem =
        stem_base(directory, std::string(kVehicleIdBytes, 'x'), name_stamp(0)) + "_" +
        std::to_string(kMostStemTries - 1);
    size_t longest = 0;
    for (const std::string& path : paths_of(every_output(), worst_stem).all())
        longest = std::max(longest, path.size());
    return longest;
}

}  // namespace fleet::export_host
