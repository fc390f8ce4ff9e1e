// The master boot record of a whole disk: the four primary partition entries of sector 0.
// Recorder disks carry their index file system in the first entry and the data ring in the
// second; nothing else of the record (boot code, disk signature) matters to us.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace fleet::format {

inline constexpr size_t kSectorSize = 512;

struct MbrPartition {
    uint8_t type = 0;
    uint32_t first_sector = 0;  // LBA
    uint32_t sector_count = 0;
    bool empty() const { return type == 0 || sector_count == 0; }
    int64_t offset() const;  // bytes
    int64_t length() const;  // bytes
};

// The four primary entries of sector 0 in table order (empty ones included); nullopt without
// the 0x55 0xAA signature.
std::optional<std::array<MbrPartition, 4>> parse_mbr(const uint8_t* sector);
// At most four partitions (more is a programming error and aborts); missing entries stay
// empty. The CHS fields are filled as a 255-head, 63-sector geometry gives them.
std::array<uint8_t, kSectorSize> build_mbr(const std::vector<MbrPartition>& partitions);

}  // namespace fleet::format
