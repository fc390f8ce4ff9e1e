#include "model/engine_index_reader.h"

#include <array>
#include <limits>

namespace velmora {

namespace {

namespace ff = fleet::format;

using Record = std::array<uint8_t, ff::kIndexRecordSize>;

// The engine numbers records with a signed 32-bit value.
bool fits_engine_number(uint32_t n) {
    return n <= static_cast<uint32_t>(std::numeric_limits<int32_t>::max());
}

bool read_header(uint8_t (*entry)(void*), ff::IndexHeader& out) {
    Record record{};
    if (entry == nullptr || entry(record.data()) == 0) return false;
    out = ff::IndexHeader::decode(record.data());
    return true;
}

bool read_unit(uint8_t (*entry)(int32_t, void*), uint32_t n, ff::IndexUnit& out) {
    Record record{};
    if (entry == nullptr || !fits_engine_number(n)) return false;
    if (entry(static_cast<int32_t>(n), record.data()) == 0) return false;
    out = ff::IndexUnit::decode(record.data());
    return true;
}

}  // namespace

bool EngineIndexReader::time_header(ff::IndexHeader& out) {
    return read_header(engine_.zTellTimeInxHd, out);
}

bool EngineIndexReader::time_unit(uint32_t n, ff::IndexUnit& out) {
    return read_unit(engine_.zTellTimeInxUnit, n, out);
}

bool EngineIndexReader::event_header(ff::IndexHeader& out) {
    return read_header(engine_.zTellEvtInxHd, out);
}

bool EngineIndexReader::event_unit(uint32_t n, ff::IndexUnit& out) {
    return read_unit(engine_.zTellEvtInxUnit, n, out);
}

bool EngineIndexReader::quick_header(ff::QuickRecord& out) {
    ff::QuickRecord record{};
    if (engine_.zTellQuickInxHd == nullptr || engine_.zTellQuickInxHd(record.data()) == 0)
        return false;
    out = record;
    return true;
}

bool EngineIndexReader::quick_unit(uint32_t n, ff::QuickRecord& out) {
    ff::QuickRecord record{};
    if (engine_.zTellQuickInxUnit == nullptr || !fits_engine_number(n)) return false;
    if (engine_.zTellQuickInxUnit(static_cast<int32_t>(n), record.data()) == 0) return false;
    out = record;
    return true;
}

}  // namespace velmora
