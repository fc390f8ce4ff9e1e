#include "dvrsim/device_tables.h"

#include <string>
#include <vector>

#include "format/card_layout.h"
#include "format/fat_writer.h"
#include "format/mbr.h"

namespace dvrsim {
namespace {

using fleet::format::kSectorSize;

constexpr int64_t kSector = static_cast<int64_t>(kSectorSize);
constexpr size_t kMarkEnd = 13;  // the zero after "SD RAW FORMAT"

fleet::format::MbrPartition partition(uint8_t type, int64_t offset, int64_t length) {
    return {type, static_cast<uint32_t>(offset / kSector), static_cast<uint32_t>(length / kSector)};
}

int64_t placed_offset(const std::vector<fleet::format::FatFilePlaced>& placed,
                      const std::string& name) {
    for (const auto& file : placed) {
        if (file.name == name) return file.data_offset;
    }
    return -1;
}

fleet::Result<IndexAreas> write_disk_tables(ImageFile& image, const DevicePlan& plan, Decoy decoy) {
    std::vector<fleet::format::MbrPartition> partitions{
        partition(kIndexPartitionType, plan.index_volume_offset, plan.index_volume_length)};
    if (decoy != Decoy::OnePartition) {
        partitions.push_back(partition(kDataPartitionType, plan.data_offset, plan.data_length));
    }
    const auto mbr = fleet::format::build_mbr(partitions);
    if (auto written = image.write_at(0, mbr.data(), mbr.size()); !written) return written.error();

    const std::vector<fleet::format::FatFilePlan> files{{"timeindex", plan.index_files.time},
                                                        {"eventindex", plan.index_files.event},
                                                        {"quickindex", plan.index_files.quick}};
    auto placed = fleet::format::write_fat32_volume(image.fd(), plan.index_volume_offset,
                                                    plan.index_volume_length, files);
    if (!placed) return fleet::fail("index file system: " + placed.error().message);
    const int64_t volume = plan.index_volume_offset;
    return IndexAreas{volume + placed_offset(*placed, "timeindex"),
                      volume + placed_offset(*placed, "eventindex"),
                      volume + placed_offset(*placed, "quickindex")};
}

fleet::Result<IndexAreas> write_card_tables(ImageFile& image, const DevicePlan& plan, Decoy decoy) {
    auto sector = fleet::format::build_card_sector(card_sector_base(plan, decoy));
    if (decoy == Decoy::Mark) sector[kMarkEnd] = 'X';
    if (auto written = image.write_at(fleet::format::kCardMarkOffset, sector.data(), sector.size());
        !written) {
        return written.error();
    }
    return IndexAreas{plan.base, plan.base + fleet::format::kCardEventIndexOffset,
                      plan.base + fleet::format::kCardQuickIndexOffset};
}

}  // namespace

int64_t card_sector_base(const DevicePlan& plan, Decoy decoy) {
    switch (decoy) {
        case Decoy::BaseUnaligned:
            return plan.base + kSector / 2;
        case Decoy::DataOutside: {
            // The lowest aligned base whose data area starts at or after the device end.
            const int64_t at_end = plan.device_size - fleet::format::kCardDataOffset;
            return (at_end + kSector - 1) / kSector * kSector;
        }
        default:
            return plan.base;
    }
}

fleet::Result<IndexAreas> write_device_tables(ImageFile& image, const DevicePlan& plan,
                                              Decoy decoy) {
    if (plan.kind == ImageKind::Card) return write_card_tables(image, plan, decoy);
    return write_disk_tables(image, plan, decoy);
}

}  // namespace dvrsim
