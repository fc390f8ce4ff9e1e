#include "format/index_format.h"

#include "common/le.h"

namespace fleet::format {

std::array<uint8_t, kIndexRecordSize> IndexHeader::encode() const {
    std::array<uint8_t, kIndexRecordSize> out{};
    fleet::store_u32(out.data(), magic);
    fleet::store_u32(out.data() + 4, first);
    fleet::store_u32(out.data() + 8, last);
    fleet::store_u32(out.data() + 12, wrapped);
    return out;
}

IndexHeader IndexHeader::decode(const uint8_t* p) {
    return {fleet::load_u32(p), fleet::load_u32(p + 4), fleet::load_u32(p + 8),
            fleet::load_u32(p + 12)};
}

std::array<uint8_t, kIndexRecordSize> IndexUnit::encode() const {
    std::array<uint8_t, kIndexRecordSize> out{};
    fleet::store_u32(out.data(), time);
    fleet::store_u32(out.data() + 4, tag);
    fleet::store_u64(out.data() + 8, static_cast<uint64_t>(offset));
    return out;
}

IndexUnit IndexUnit::decode(const uint8_t* p) {
    return {fleet::load_u32(p), fleet::load_u32(p + 4),
            static_cast<int64_t>(fleet::load_u64(p + 8))};
}

bool read_index_header(ByteSource& source, IndexHeader& out) {
    uint8_t record[kIndexRecordSize];
    if (!source.read_at(0, record, sizeof record)) return false;
    out = IndexHeader::decode(record);
    return true;
}

bool read_index_unit(ByteSource& source, int64_t n, IndexUnit& out) {
    uint8_t record[kIndexRecordSize];
    if (n <= 0 || n > INT64_MAX / static_cast<int64_t>(kIndexRecordSize)) return false;
    if (!source.read_at(n * static_cast<int64_t>(kIndexRecordSize), record, sizeof record)) {
        return false;
    }
    out = IndexUnit::decode(record);
    return true;
}

bool read_quick_record(ByteSource& source, int64_t n, QuickRecord& out) {
    if (n <= 0 || n > INT64_MAX / static_cast<int64_t>(kQuickRecordSize)) return false;
    return source.read_at(n * static_cast<int64_t>(kQuickRecordSize), out.data(), out.size());
}

}  // namespace fleet::format
