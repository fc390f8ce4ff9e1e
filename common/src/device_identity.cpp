#include "common/block_devices.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>

namespace fleet {
namespace {

constexpr size_t kLargestSector = 4096;

std::string system_error_text(int error) {
    return std::strerror(error);
}

// The first line of a small sysfs attribute; empty when it cannot be read.
std::string sysfs_attribute(const std::string& dir, const std::string& name) {
    if (dir.empty()) return {};
    std::ifstream in(dir + "/" + name);
    std::string line;
    std::getline(in, line);
    return line;
}

bool sysfs_flag(const std::string& dir, const std::string& name) {
    return sysfs_attribute(dir, name) == "1";
}

// -1 when the kernel cannot say.
int64_t device_size(int fd) {
    uint64_t bytes = 0;
    if (::ioctl(fd, BLKGETSIZE64, &bytes) != 0) return -1;
    return static_cast<int64_t>(bytes);
}

// The disk's sequence number, counted up by the kernel each time a disk appears, so a new
// disk under an old name shows. 0 when the kernel keeps none.
uint64_t ioctl_diskseq(int fd) {
    uint64_t seq = 0;
    if (::ioctl(fd, BLKGETDISKSEQ, &seq) != 0) return 0;
    return seq;
}

uint64_t sysfs_diskseq(const std::string& sysfs_dir) {
    const std::string text = sysfs_attribute(sysfs_dir, "diskseq");
    return text.empty() ? 0 : std::strtoull(text.c_str(), nullptr, 10);
}

std::string size_change(const DeviceIdentity& id, int fd) {
    const int64_t now = device_size(fd);
    if (now < 0) return "its size can no longer be read: " + system_error_text(errno);
    if (now == 0) return "its size became 0";
    if (now != id.size) {
        return "its size changed from " + std::to_string(id.size) + " to " + std::to_string(now) +
               " bytes";
    }
    return {};
}

std::string diskseq_change(const DeviceIdentity& id, int fd) {
    if (id.diskseq == 0) return {};
    // The open device's own number, and the number of whatever disk sysfs shows there now:
    // a disk taken out and another put in under the same name differs in the second.
    for (uint64_t now : {ioctl_diskseq(fd), sysfs_diskseq(id.sysfs_dir)}) {
        if (now != 0 && now != id.diskseq) {
            return "its disk sequence number changed from " + std::to_string(id.diskseq) + " to " +
                   std::to_string(now);
        }
    }
    return {};
}

// The logical sector size, so that a device opened for direct I/O can be read too.
size_t sector_size(int fd) {
    int size = 0;
    if (::ioctl(fd, BLKSSZGET, &size) != 0 || size <= 0 ||
        static_cast<size_t>(size) > kLargestSector) {
        return 512;
    }
    return static_cast<size_t>(size);
}

std::string first_sector_failure(int fd) {
    struct FreeDeleter {
        void operator()(void* p) const { std::free(p); }
    };
    std::unique_ptr<void, FreeDeleter> buffer(std::aligned_alloc(kLargestSector, kLargestSector));
    if (!buffer) return {};
    const size_t wanted = sector_size(fd);
    const ssize_t got = ::pread(fd, buffer.get(), wanted, 0);
    if (got < 0) return "its first sector cannot be read: " + system_error_text(errno);
    if (static_cast<size_t>(got) < wanted) return "its first sector reads short";
    return {};
}

std::string block_device_removal(const DeviceIdentity& id, int fd) {
    if (!id.sysfs_dir.empty() && ::access(id.sysfs_dir.c_str(), F_OK) != 0) {
        return "its sysfs entry " + id.sysfs_dir + " is gone";
    }
    if (!id.loop_autoclear && sysfs_flag(id.sysfs_dir, "loop/autoclear")) {
        return "the loop device was told to detach";
    }
    if (auto reason = size_change(id, fd); !reason.empty()) return reason;
    if (auto reason = diskseq_change(id, fd); !reason.empty()) return reason;
    return first_sector_failure(fd);
}

std::string image_file_removal(const DeviceIdentity& id) {
    struct stat st;
    if (::stat(id.path.c_str(), &st) != 0) return "the file is gone";
    if (st.st_dev != id.dev || st.st_ino != id.ino) return "the path now names another file";
    return {};
}

}  // namespace

Result<DeviceIdentity> identify_device(int fd, const std::string& path,
                                       const std::string& sysfs_dir) {
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        return fail("cannot look at " + path + ": " + system_error_text(errno), errno);
    }
    DeviceIdentity id;
    id.path = path;
    id.dev = st.st_dev;
    id.ino = st.st_ino;
    if (S_ISREG(st.st_mode)) {
        id.size = st.st_size;
        return id;
    }
    if (!S_ISBLK(st.st_mode)) return fail(path + " is neither a block device nor a file");
    id.block_device = true;
    id.rdev = st.st_rdev;
    id.sysfs_dir = sysfs_dir.empty() ? sysfs_dir_of_block_device(st.st_rdev) : sysfs_dir;
    id.size = device_size(fd);
    if (id.size < 0) {
        return fail("cannot read the size of " + path + ": " + system_error_text(errno), errno);
    }
    id.diskseq = ioctl_diskseq(fd);
    if (id.diskseq == 0) id.diskseq = sysfs_diskseq(id.sysfs_dir);
    id.loop_autoclear = sysfs_flag(id.sysfs_dir, "loop/autoclear");
    return id;
}

std::string removal_reason(const DeviceIdentity& id, int fd) {
    std::string reason = id.block_device ? block_device_removal(id, fd) : image_file_removal(id);
    return reason.empty() ? reason : id.path + ": " + reason;
}

}  // namespace fleet
