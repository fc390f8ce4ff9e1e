#include "model/download_names.h"

#include <cstdio>
#include <filesystem>

#include "model/capture_names.h"

namespace velmora {

DownloadPaths download_paths(const std::string& folder, std::string_view recorder_name,
                             const std::tm& local) {
    char stamp[80];  // -Wformat-truncation sizes each field for any int
    std::snprintf(stamp, sizeof stamp, "_%04d_%02d_%02d_%02d_%02d_%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    const std::string base =
        (std::filesystem::path(folder) / (safe_name_part(recorder_name) + stamp)).string();
    return {base + ".DVR", base + ".inx"};
}

}  // namespace velmora
