#include "model/engine_time_index.h"

#include "model/engine_index_reader.h"

namespace velmora {

bool EngineTimeIndex::header(uint32_t& first, uint32_t& last) {
    fleet::format::IndexHeader header;
    if (!EngineIndexReader(engine_).time_header(header)) return false;
    first = header.first;
    last = header.last;
    return true;
}

bool EngineTimeIndex::unit(uint32_t n, uint32_t& time, int64_t& offset) {
    fleet::format::IndexUnit unit;
    if (!EngineIndexReader(engine_).time_unit(n, unit)) return false;
    time = unit.time;
    offset = unit.offset;
    return true;
}

}  // namespace velmora
