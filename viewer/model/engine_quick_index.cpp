#include "model/engine_quick_index.h"

#include "common/le.h"
#include "model/engine_index_reader.h"

namespace velmora {

// The header's second and third words are the first and last record of the ring, where a
// time index header keeps them.
bool EngineQuickIndex::header(uint32_t& first, uint32_t& last) {
    fleet::format::QuickRecord record{};
    if (!EngineIndexReader(engine_).quick_header(record)) return false;
    const auto header = fleet::format::IndexHeader::decode(record.data());
    first = header.first;
    last = header.last;
    return true;
}

// A record's first word is the time index unit it points at.
bool EngineQuickIndex::time_unit(uint32_t n, uint32_t& unit) {
    fleet::format::QuickRecord record{};
    if (!EngineIndexReader(engine_).quick_unit(n, record)) return false;
    unit = fleet::load_u32(record.data());  // little-endian, as the recorder writes
    return true;
}

}  // namespace velmora
