#include "download_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dvrtool {
namespace {

fleet::Status make_exclusively(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int error = errno;
        if (error == EEXIST) return fleet::fail(path + " exists; a download overwrites nothing");
        return fleet::fail("cannot make " + path + ": " + std::strerror(error), error);
    }
    ::close(fd);
    return {};
}

}  // namespace

DownloadFiles::DownloadFiles(const std::string& base) : dvr_(base + ".dvr"), inx_(base + ".inx") {}

DownloadFiles::~DownloadFiles() {
    if (!made_ || kept_) return;
    ::unlink(dvr_.c_str());
    ::unlink(inx_.c_str());
}

fleet::Status DownloadFiles::reserve() {
    if (auto made = make_exclusively(dvr_); !made) return made;
    if (auto made = make_exclusively(inx_); !made) {
        ::unlink(dvr_.c_str());
        return made;
    }
    made_ = true;
    return {};
}

}  // namespace dvrtool
