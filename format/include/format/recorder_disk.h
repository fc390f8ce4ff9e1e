// Telling a recorder's hard disk from any other device, and opening its three index files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "format/byte_source.h"
#include "format/fat_volume.h"
#include "format/mbr.h"

namespace fleet::format {

inline constexpr const char* kTimeIndexName = "timeindex";
inline constexpr const char* kEventIndexName = "eventindex";
inline constexpr const char* kQuickIndexName = "quickindex";

// What a device holds, for the disk search: not a recorder disk (skipped silently), a recorder
// disk (two partitions, first FAT with "timeindex"), or a recorder disk whose other index files
// are missing or unreadable (found, but it cannot be opened: reported as a failure).
enum class DiskVerdict { NotRecorderDisk, RecorderDisk, IndexFileMissing };

struct RecorderDisk {
    DiskVerdict verdict = DiskVerdict::NotRecorderDisk;
    std::string why;  // for the two non-success verdicts
    MbrPartition index_partition, data_partition;
    std::unique_ptr<FatFile> time_index, event_index, quick_index;  // set for RecorderDisk
};

// device must outlive the returned files (they read through it).
RecorderDisk recognise_recorder_disk(ByteSource& device, int64_t device_size);

}  // namespace fleet::format
