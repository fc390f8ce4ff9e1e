// The structures that tell a reader what a device is: the partition table and index file
// system of a disk, the marked sector of a card. Decoys spoil exactly one of them.
#pragma once

#include <cstdint>

#include "common/result.h"
#include "dvrsim/device_plan.h"
#include "dvrsim/image_file.h"

namespace dvrsim {

// Device offsets of record 0 of each index.
struct IndexAreas {
    int64_t time = 0, event = 0, quick = 0;
};

inline constexpr uint8_t kIndexPartitionType = 0x0C;  // FAT32, addressed by LBA
inline constexpr uint8_t kDataPartitionType = 0x83;

fleet::Result<IndexAreas> write_device_tables(ImageFile& image, const DevicePlan& plan,
                                              Decoy decoy);

// The base a card's marked sector gives for this decoy: the real one, or one a reader must
// refuse.
int64_t card_sector_base(const DevicePlan& plan, Decoy decoy);

}  // namespace dvrsim
