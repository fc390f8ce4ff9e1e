#include "dvrsim/image_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dvrsim {

ImageFile::~ImageFile() {
    if (fd_ >= 0) ::close(fd_);
}

fleet::Status ImageFile::create(const std::string& path, int64_t size) {
    path_ = path;
    // An image is a file; a device named by mistake is never written (nor removed on failure).
    struct stat existing;
    if (::stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
        return fleet::fail("will not write over " + path + ": it is not a regular file");
    }
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) return fleet::fail("cannot create " + path + ": " + std::strerror(errno));
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
        return fleet::fail("cannot make " + path + " " + std::to_string(size) +
                           " bytes long: " + std::strerror(errno));
    }
    return {};
}

fleet::Status ImageFile::write_at(int64_t offset, const void* data, size_t n) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (n > 0) {
        const ssize_t done = ::pwrite(fd_, bytes, n, static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            return fleet::fail("cannot write " + path_ + " at " + std::to_string(offset) + ": " +
                               std::strerror(done < 0 ? errno : ENOSPC));
        }
        bytes += done;
        offset += done;
        n -= static_cast<size_t>(done);
    }
    return {};
}

fleet::Status ImageFile::close() {
    const int fd = fd_;
    fd_ = -1;
    if (fd >= 0 && ::close(fd) != 0) {
        return fleet::fail("cannot finish " + path_ + ": " + std::strerror(errno));
    }
    return {};
}

}  // namespace dvrsim
