// The machine's whole disks, read raw: which ones there are, which of them this process may
// not read, and how to tell later that an opened one went away. Linux only (sysfs, block ioctls).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/result.h"

namespace fleet {

// Names the devices to search instead of the system's disks: colon-separated paths of block
// devices or image files. When set (even empty) it replaces the sysfs scan entirely.
inline constexpr const char* kScanDevicesVariable = "KIVRA_SCAN_DEVICES";

struct WholeDisk {
    std::string path;       // "/dev/sda", or an image file
    std::string sysfs_dir;  // the device's directory in sysfs; empty for image files
};

// Whole disks from <sys_root>/block: sd*, mmcblk* (not its boot or rpmb areas), nvme*n*
// namespaces, vd*, xvd*, and loop* only while it has a backing file. Optical drives, RAM
// disks, device-mapper and RAID volumes, network block devices and partitions are never
// listed. Ordered by kind, then by the kernel's numbering (sda < sdb < sdaa, loop2 < loop10,
// nvme0n1 < nvme1n1 < nvme10n1), as "/dev/NAME".
// With KIVRA_SCAN_DEVICES set, its paths instead, in the order given; those that do not exist
// (yet) are left out, block devices get their sysfs_dir through <sys_root>/dev/block/MAJ:MIN.
std::vector<WholeDisk> list_whole_disks(const std::string& sys_root = "/sys");

// The sysfs directory of the block device `rdev` (resolved, so it names the device rather than
// a number a later device may reuse); empty when sysfs has none.
std::string sysfs_dir_of_block_device(dev_t rdev, const std::string& sys_root = "/sys");

// The listed devices this process cannot open for reading (EACCES/EPERM), for the message on
// how to get access. Other failures (no medium, gone) are not about access and are not listed.
std::vector<std::string> devices_refusing_access(const std::vector<WholeDisk>& disks);

// What identifies an opened device or image file, to notice later that it went away.
struct DeviceIdentity {
    std::string path, sysfs_dir;
    bool block_device = false;
    uint64_t rdev = 0, dev = 0, ino = 0;
    int64_t size = 0;      // BLKGETSIZE64 or file size
    uint64_t diskseq = 0;  // ioctl BLKGETDISKSEQ or <sysfs>/diskseq; 0 when the kernel has none
    // A loop device already set to detach on its last close when identified. `losetup -d`
    // while we hold the device only sets this flag, so its turning on later means "detached".
    bool loop_autoclear = false;
};

// Identifies what `fd` (opened from `path`) is. A block device given no sysfs_dir gets the one
// sysfs has for it.
Result<DeviceIdentity> identify_device(int fd, const std::string& path,
                                       const std::string& sysfs_dir);

// Empty while the device is still the one identified; otherwise a short reason. A block device
// counts as removed when its sysfs node is gone, a loop device was told to detach, its size or
// disk sequence number changed or became 0, or a read of its first sector through fd fails or
// comes back short; an image file when its path now names another file (or nothing).
std::string removal_reason(const DeviceIdentity& id, int fd);

}  // namespace fleet
