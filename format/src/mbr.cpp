#include "format/mbr.h"

#include <cstdlib>

#include "common/le.h"

namespace fleet::format {
namespace {

constexpr size_t kTableOffset = 446;
constexpr size_t kEntrySize = 16;
constexpr size_t kSignatureOffset = 510;

// Cylinder/head/sector of an LBA on a 255-head, 63-sector disk, packed as the table stores
// it; LBAs past what CHS can address get the usual 1023/254/63.
void store_chs(uint8_t* p, uint32_t lba) {
    constexpr uint32_t kHeads = 255, kSectors = 63;
    uint32_t cylinder = lba / (kHeads * kSectors);
    uint32_t head = lba / kSectors % kHeads;
    uint32_t sector = lba % kSectors + 1;
    if (cylinder > 1023) cylinder = 1023, head = 254, sector = 63;
    p[0] = static_cast<uint8_t>(head);
    p[1] = static_cast<uint8_t>(sector | ((cylinder >> 2) & 0xC0));
    p[2] = static_cast<uint8_t>(cylinder);
}

}  // namespace

int64_t MbrPartition::offset() const {
    return int64_t{first_sector} * static_cast<int64_t>(kSectorSize);
}

int64_t MbrPartition::length() const {
    return int64_t{sector_count} * static_cast<int64_t>(kSectorSize);
}

std::optional<std::array<MbrPartition, 4>> parse_mbr(const uint8_t* sector) {
    if (sector[kSignatureOffset] != 0x55 || sector[kSignatureOffset + 1] != 0xAA) {
        return std::nullopt;
    }
    std::array<MbrPartition, 4> table;
    for (size_t i = 0; i < table.size(); ++i) {
        const uint8_t* entry = sector + kTableOffset + i * kEntrySize;
        table[i].type = entry[4];
        table[i].first_sector = load_u32(entry + 8);
        table[i].sector_count = load_u32(entry + 12);
    }
    return table;
}

std::array<uint8_t, kSectorSize> build_mbr(const std::vector<MbrPartition>& partitions) {
    if (partitions.size() > 4) std::abort();
    std::array<uint8_t, kSectorSize> sector{};
    for (size_t i = 0; i < partitions.size(); ++i) {
        const MbrPartition& p = partitions[i];
        if (p.empty()) continue;
        uint8_t* entry = sector.data() + kTableOffset + i * kEntrySize;
        store_chs(entry + 1, p.first_sector);
        entry[4] = p.type;
        store_chs(entry + 5, p.first_sector + p.sector_count - 1);
        store_u32(entry + 8, p.first_sector);
        store_u32(entry + 12, p.sector_count);
    }
    sector[kSignatureOffset] = 0x55;
    sector[kSignatureOffset + 1] = 0xAA;
    return sector;
}

}  // namespace fleet::format
