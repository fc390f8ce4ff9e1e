#include "format/byte_source.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace fleet::format {

FileByteSource::~FileByteSource() {
    close();
}

bool FileByteSource::open(const std::string& path) {
    close();
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return false;
    struct stat st;
    if (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
        int saved = S_ISDIR(st.st_mode) ? EISDIR : errno;
        close();
        errno = saved;
        return false;
    }
    return true;
}

bool FileByteSource::close() {
    bool ok = fd_ < 0 || ::close(fd_) == 0;
    fd_ = -1;
    return ok;
}

int64_t FileByteSource::size() const {
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
    if (!S_ISBLK(st.st_mode)) return st.st_size;
    uint64_t bytes = 0;
    if (::ioctl(fd_, BLKGETSIZE64, &bytes) != 0) return -1;
    return static_cast<int64_t>(bytes);
}

bool FileByteSource::read_at(int64_t offset, uint8_t* dest, size_t n) {
    if (fd_ < 0 || offset < 0) return false;
    size_t done = 0;
    while (done < n) {
        ssize_t got = ::pread(fd_, dest + done, n - done,
                              static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<size_t>(got);
    }
    return true;
}

bool WindowByteSource::read_at(int64_t offset, uint8_t* dest, size_t n) {
    if (offset < 0 || offset > length_ || static_cast<int64_t>(n) > length_ - offset) return false;
    return inner_.read_at(offset_ + offset, dest, n);
}

}  // namespace fleet::format
