// The file pair a download writes, BASE.dvr and BASE.inx. Both are made, empty, before the
// engine opens them, and only where no file of that name exists: nothing is ever overwritten.
// Unless kept, they are removed again when this goes.
#pragma once

#include <string>

#include "common/result.h"

namespace dvrtool {

class DownloadFiles {
  public:
    explicit DownloadFiles(const std::string& base);
    ~DownloadFiles();  // removes what reserve() made, unless kept
    DownloadFiles(const DownloadFiles&) = delete;
    DownloadFiles& operator=(const DownloadFiles&) = delete;

    // Fails, making nothing, when either file exists or cannot be made.
    fleet::Status reserve();
    void keep() { kept_ = true; }

    const std::string& dvr() const { return dvr_; }
    const std::string& inx() const { return inx_; }

  private:
    std::string dvr_, inx_;
    bool made_ = false;
    bool kept_ = false;
};

}  // namespace dvrtool
