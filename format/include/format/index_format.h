// Time, event and quick index records, and the unit ring they are numbered along.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "format/byte_source.h"
#include "kivra/kivra.h"

namespace fleet::format {

inline constexpr uint32_t kIndexMagic = KIVRA_INDEX_MAGIC;
inline constexpr size_t kIndexRecordSize = KIVRA_INDEX_RECORD_SIZE;
inline constexpr size_t kQuickRecordSize = KIVRA_QUICK_RECORD_SIZE;
inline constexpr uint32_t kLastUnitNumber = KIVRA_LAST_UNIT_NUMBER;  // the ring runs 1..this

struct IndexHeader {
    uint32_t magic = kIndexMagic;
    uint32_t first = 1;
    uint32_t last = 0;
    uint32_t wrapped = 0;

    std::array<uint8_t, kIndexRecordSize> encode() const;
    static IndexHeader decode(const uint8_t* p);  // p holds 16 bytes
};

struct IndexUnit {
    uint32_t time = 0;
    uint32_t tag = 0;
    int64_t offset = 0;

    std::array<uint8_t, kIndexRecordSize> encode() const;
    static IndexUnit decode(const uint8_t* p);  // p holds 16 bytes
};

using QuickRecord = std::array<uint8_t, kQuickRecordSize>;

// Reads fail for n <= 0 without touching the source.
bool read_index_header(ByteSource& source, IndexHeader& out);
bool read_index_unit(ByteSource& source, int64_t n, IndexUnit& out);
bool read_quick_record(ByteSource& source, int64_t n, QuickRecord& out);

// Ring order: 0xFFFFF is followed by 1.
inline uint32_t next_unit_number(uint32_t n) {
    return n >= kLastUnitNumber ? 1 : n + 1;
}
inline uint32_t previous_unit_number(uint32_t n) {
    return n <= 1 ? kLastUnitNumber : n - 1;
}
// Units from first to last inclusive along the ring; 0 for numbers outside the ring.
inline uint32_t units_between(uint32_t first, uint32_t last) {
    if (first == 0 || last == 0 || first > kLastUnitNumber || last > kLastUnitNumber) return 0;
    if (last >= first) return last - first + 1;
    return kLastUnitNumber - first + 1 + last;
}

}  // namespace fleet::format
