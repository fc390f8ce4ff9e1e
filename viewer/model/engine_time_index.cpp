#include "model/engine_time_index.h"

#include <cstring>
#include <limits>

namespace velmora {

namespace {

// Index records are little-endian, like this platform; memcpy keeps the reads aligned-safe.
template <class T>
T read_at(const unsigned char* record, size_t offset) {
    T value{};
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

}  // namespace

bool EngineTimeIndex::header(uint32_t& first, uint32_t& last) {
    unsigned char record[16] = {};
    if (engine_.zTellTimeInxHd == nullptr || engine_.zTellTimeInxHd(record) == 0) return false;
    first = read_at<uint32_t>(record, 4);
    last = read_at<uint32_t>(record, 8);
    return true;
}

bool EngineTimeIndex::unit(uint32_t n, uint32_t& time, int64_t& offset) {
    unsigned char record[16] = {};
    if (engine_.zTellTimeInxUnit == nullptr) return false;
    if (n > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) return false;
    if (engine_.zTellTimeInxUnit(static_cast<int32_t>(n), record) == 0) return false;
    time = read_at<uint32_t>(record, 0);
    offset = read_at<int64_t>(record, 8);
    return true;
}

}  // namespace velmora
