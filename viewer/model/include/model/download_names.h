// The file pair a recorder download is written to: "<folder>/<recorder>_YYYY_MM_DD_HH_MM_SS"
// with ".DVR" and ".inx", the recorder name made safe by the rule exports use.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace velmora {

struct DownloadPaths {
    std::string dvr;
    std::string inx;
    bool operator==(const DownloadPaths&) const = default;
};

// `local` is the local time the download starts; an empty name becomes "unknow".
DownloadPaths download_paths(const std::string& folder, std::string_view recorder_name,
                             const std::tm& local);

}  // namespace velmora
