#include "model/engine_time_index.h"

#include <array>
#include <limits>

#include "format/index_format.h"

namespace velmora {

bool EngineTimeIndex::header(uint32_t& first, uint32_t& last) {
    std::array<uint8_t, fleet::format::kIndexRecordSize> record{};
    if (engine_.zTellTimeInxHd == nullptr || engine_.zTellTimeInxHd(record.data()) == 0)
        return false;
    const fleet::format::IndexHeader decoded = fleet::format::IndexHeader::decode(record.data());
    first = decoded.first;
    last = decoded.last;
    return true;
}

bool EngineTimeIndex::unit(uint32_t n, uint32_t& time, int64_t& offset) {
    std::array<uint8_t, fleet::format::kIndexRecordSize> record{};
    if (engine_.zTellTimeInxUnit == nullptr) return false;
    if (n > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) return false;
    if (engine_.zTellTimeInxUnit(static_cast<int32_t>(n), record.data()) == 0) return false;
    const fleet::format::IndexUnit decoded = fleet::format::IndexUnit::decode(record.data());
    time = decoded.time;
    offset = decoded.offset;
    return true;
}

}  // namespace velmora
