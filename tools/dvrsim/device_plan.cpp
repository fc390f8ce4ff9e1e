#include "dvrsim/device_plan.h"

#include <algorithm>
#include <string>

#include "format/card_layout.h"
#include "format/index_format.h"

namespace dvrsim {
namespace {

using fleet::format::kIndexRecordSize;
using fleet::format::kLastUnitNumber;
using fleet::format::kQuickRecordSize;

constexpr int64_t kSector = 512;
constexpr int64_t kMaxMbrSectors = 0xFFFFFFFF;
// FAT32 needs 65525 clusters; at 512 bytes each that is about 33 MiB.
constexpr int64_t kMinIndexVolume = 40 * kMiB;
constexpr int64_t kIndexVolumeSlack = 8 * kMiB;  // the FATs and the root directory

int64_t round_up(int64_t n, int64_t unit) {
    return (n + unit - 1) / unit * unit;
}

// A recorder whose unit numbers can reach the end of the ring keeps files for all of them.
IndexFileSizes index_file_sizes(const IndexSchedule& schedule, const IndexVolume& volume) {
    const int64_t highest = highest_time_unit(schedule, volume.time_units);
    if (highest == kLastUnitNumber) {
        return {(kLastUnitNumber + 1) * int64_t{kIndexRecordSize},
                (kLastUnitNumber + 1) * int64_t{kIndexRecordSize},
                (kLastUnitNumber + 1) * int64_t{kQuickRecordSize}};
    }
    return {(highest + 1) * int64_t{kIndexRecordSize},
            (volume.events + 1) * int64_t{kIndexRecordSize},
            (highest + 1) * int64_t{kQuickRecordSize}};
}

fleet::Result<DevicePlan> plan_disk(const ImageOptions& o, const IndexSchedule& schedule,
                                    const IndexVolume& volume) {
    DevicePlan plan;
    plan.kind = ImageKind::Disk;
    plan.index_files = index_file_sizes(schedule, volume);
    const int64_t files = plan.index_files.time + plan.index_files.event + plan.index_files.quick;
    plan.index_volume_offset = kPartitionAlign;
    plan.index_volume_length =
        std::max(kMinIndexVolume, round_up(files + kIndexVolumeSlack, kPartitionAlign));
    plan.data_offset =
        round_up(plan.index_volume_offset + plan.index_volume_length, kPartitionAlign);
    plan.device_size = o.size != 0 ? o.size : plan.data_offset + o.ring_size + kDiskReserve;
    if (plan.device_size / kSector > kMaxMbrSectors) {
        return fleet::fail("a disk is at most 2 TiB (its partition table counts 32-bit sectors)");
    }
    plan.data_length = plan.device_size - plan.data_offset;
    if (plan.data_length <= kDiskReserve) {
        return fleet::fail("--size " + std::to_string(plan.device_size) +
                           " leaves no ring: the index partition and the 10 MiB reserve alone "
                           "take " +
                           std::to_string(plan.data_offset + kDiskReserve) + " bytes");
    }
    plan.physical_origin = plan.data_offset;
    plan.ring_begin = 0;
    plan.ring_end = plan.data_length - kDiskReserve;
    plan.space_end = plan.data_length;
    return plan;
}

fleet::Result<DevicePlan> plan_card(const ImageOptions& o) {
    if (o.base % kSector != 0 || o.base < kCardFirstBase) {
        return fleet::fail("--base must be a multiple of 512 at or after 0x4000");
    }
    DevicePlan plan;
    plan.kind = ImageKind::Card;
    plan.base = o.base;
    plan.data_offset = o.base + fleet::format::kCardDataOffset;
    plan.device_size = o.size != 0 ? o.size : plan.data_offset + o.ring_size;
    plan.data_length = plan.device_size - plan.data_offset;
    if (plan.data_length <= 0) {
        return fleet::fail("--size " + std::to_string(plan.device_size) +
                           " leaves no data area: with this base it begins at " +
                           std::to_string(plan.data_offset));
    }
    plan.physical_origin = 0;
    plan.ring_begin = plan.data_offset;
    plan.ring_end = plan.device_size;
    plan.space_end = plan.device_size;
    return plan;
}

}  // namespace

fleet::Result<DevicePlan> plan_device(const ImageOptions& options, const IndexSchedule& schedule,
                                      const IndexVolume& volume) {
    if (options.kind == ImageKind::Card) return plan_card(options);
    return plan_disk(options, schedule, volume);
}

}  // namespace dvrsim
