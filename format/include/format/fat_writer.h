// Makes FAT32 volumes for simulated recorder disks: the boot sectors, both FATs and a root
// directory listing the planned files, each on one contiguous run of clusters. File contents
// are left to the caller, so a sparse image stays sparse.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/result.h"

namespace fleet::format {

struct FatFilePlan {
    std::string name;  // long names allowed (UTF-8)
    int64_t size = 0;
};
struct FatFilePlaced {
    std::string name;
    int64_t data_offset = 0;  // from the volume start
    int64_t size = 0;
};

// Writes a FAT32 volume of `length` bytes at byte `offset` of the open file descriptor `fd`
// (pwrite; only metadata is written so a sparse image stays sparse), with `files` in its root,
// each allocated as ONE contiguous cluster run; the caller writes the file contents at
// offset + data_offset (0 for empty files). Long names get VFAT LFN entries plus a valid unique 8.3
// alias. The volume needs at least 65525 clusters of 512 bytes (about 33 MiB) and at most 2 TiB.
fleet::Result<std::vector<FatFilePlaced>> write_fat32_volume(int fd, int64_t offset, int64_t length,
                                                             const std::vector<FatFilePlan>& files,
                                                             const std::string& label = "RECORDER");

}  // namespace fleet::format
