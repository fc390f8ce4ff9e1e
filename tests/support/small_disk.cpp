#include "small_disk.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace fleet::test {

SmallDisk::SmallDisk(size_t bytes) {
    const std::string options = "size=" + std::to_string(bytes);
    mounted_ = ::mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, options.c_str()) == 0;
}

SmallDisk::~SmallDisk() {
    if (mounted_) ::umount2(dir_.path().c_str(), MNT_DETACH);
}

bool SmallDisk::fill() {
    const int fd = ::open(file("filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const std::vector<char> block(4096, 'x');
    ssize_t written = 0;
    do {
        written = ::write(fd, block.data(), block.size());
    } while (written > 0);
    const bool full = written < 0 && errno == ENOSPC;
    ::close(fd);
    return full;
}

}  // namespace fleet::test
