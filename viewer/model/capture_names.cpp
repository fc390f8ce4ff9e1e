#include "model/capture_names.h"

#include "common/safe_name.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace velmora {

namespace {

namespace fs = std::filesystem;

constexpr int kMaxSuffix = 9999;

// Any entry of that name counts, a dangling link included: creating the file would follow it.
bool taken(const std::string& path) {
    std::error_code error;
    return fs::symlink_status(fs::path(path), error).type() != fs::file_type::not_found;
}

bool any_taken(const std::string& base, std::initializer_list<std::string_view> extensions) {
    for (std::string_view extension : extensions) {
        if (taken(base + std::string(extension))) return true;
    }
    return false;
}

}  // namespace

std::string safe_name_part(std::string_view text) {
    return fleet::safe_name_part(text, kUnknownVehicle);
}

std::string snapshot_stem(std::string_view vehicle_id, const std::tm& local) {
    return safe_name_part(vehicle_id) + "_" + recording_stem(local);
}

std::string recording_stem(const std::tm& local) {
    char text[80];  // -Wformat-truncation sizes each field for any int
    std::snprintf(text, sizeof text, "%04d%02d%02d_%02d%02d_%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

std::string unused_base_path(const std::string& directory, const std::string& stem,
                             std::initializer_list<std::string_view> extensions) {
    const std::string base = (fs::path(directory) / stem).string();
    if (!any_taken(base, extensions)) return base;
    for (int suffix = 1; suffix <= kMaxSuffix; ++suffix) {
        std::string candidate = base + "_" + std::to_string(suffix);
        if (!any_taken(candidate, extensions)) return candidate;
    }
    return {};
}

}  // namespace velmora
