#include "model/engine_quick_index.h"

#include <array>
#include <limits>

#include "format/index_format.h"

namespace velmora {

namespace {

using QuickRecord = std::array<uint8_t, fleet::format::kQuickRecordSize>;

// Records are copied unchanged from the recorder, which writes little-endian words.
uint32_t word_at(const QuickRecord& record, std::size_t index) {
    const std::size_t at = index * 4;
    return static_cast<uint32_t>(record[at]) | static_cast<uint32_t>(record[at + 1]) << 8 |
           static_cast<uint32_t>(record[at + 2]) << 16 |
           static_cast<uint32_t>(record[at + 3]) << 24;
}

}  // namespace

// The header's second and third words are the first and last record of the ring.
bool EngineQuickIndex::header(uint32_t& first, uint32_t& last) {
    QuickRecord record{};
    if (engine_.zTellQuickInxHd == nullptr || engine_.zTellQuickInxHd(record.data()) == 0)
        return false;
    first = word_at(record, 1);
    last = word_at(record, 2);
    return true;
}

// A record's first word is the time index unit it points at.
bool EngineQuickIndex::time_unit(uint32_t n, uint32_t& unit) {
    QuickRecord record{};
    if (engine_.zTellQuickInxUnit == nullptr) return false;
    if (n > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) return false;
    if (engine_.zTellQuickInxUnit(static_cast<int32_t>(n), record.data()) == 0) return false;
    unit = word_at(record, 0);
    return true;
}

}  // namespace velmora
