// Where everything goes on a simulated recorder device. Disk: an MBR, the index file system
// in the first partition and the data ring in the second, 1 MiB aligned, to the device end.
// Card: a marked sector giving the base of three fixed index areas, the data area after them.
#pragma once

#include <cstdint>

#include "common/result.h"
#include "dvrsim/image_options.h"
#include "dvrsim/index_schedule.h"

namespace dvrsim {

// The disk recorder starts a GOP only before this much is left of the data partition, so the
// last GOP of a lap always fits.
inline constexpr int64_t kDiskReserve = 0xA00000;
inline constexpr int64_t kPartitionAlign = kMiB;
inline constexpr int64_t kCardFirstBase = 0x4000;  // after the marked sector

struct IndexFileSizes {
    int64_t time = 0, event = 0, quick = 0;
};

struct DevicePlan {
    ImageKind kind = ImageKind::Disk;
    int64_t device_size = 0;
    int64_t index_volume_offset = 0;  // disk: the first partition
    int64_t index_volume_length = 0;
    IndexFileSizes index_files;  // disk
    int64_t base = 0;            // card
    int64_t data_offset = 0;     // the data partition (disk) or data area (card)
    int64_t data_length = 0;
    // Unit offsets count from here: the data partition's start on a disk, the card's start.
    int64_t physical_origin = 0;
    // The ring in unit-offset terms. A GOP is written where the last one ended while it
    // starts before ring_end and ends by space_end; otherwise at ring_begin. On a disk the
    // space runs 10 MiB past the ring's end, into which the last GOP of a lap may reach.
    int64_t ring_begin = 0;
    int64_t ring_end = 0;
    int64_t space_end = 0;
};

// How many units the recording writes into its indexes.
struct IndexVolume {
    int64_t time_units = 0;
    int64_t events = 0;
};

fleet::Result<DevicePlan> plan_device(const ImageOptions& options, const IndexSchedule& schedule,
                                      const IndexVolume& volume);

}  // namespace dvrsim
