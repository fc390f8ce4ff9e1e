#include "extract/extract_run.h"

#include <algorithm>
#include <vector>

#include "decode/decoder_bank.h"
#include "extract/unit_range.h"
#include "format/frame_set.h"
#include "format/index_format.h"
#include "format/stream_walker.h"
#include "playback/read_recovery.h"

namespace kivra {

namespace ff = fleet::format;

namespace {

int32_t percent_of(int64_t position, const ExtractRange& range) {
    const int64_t done = (position - range.start) * 100 / (range.end - range.start);
    return static_cast<int32_t>(std::clamp<int64_t>(done, 0, 100));
}

// A read that failed (a bad block, or a GOP larger than the buffer) is reported and stepped
// over: at least one block forward, further with every failure in a row, so no place is read
// again and again. False when nothing is left to step to.
bool step_over_failure(StoredSource& source, ReadRecovery& recovery, const ExtractSink& sink) {
    recovery.failed();
    sink(KIVRA_EXTRACT_READ_ERROR);
    const int64_t before = source.tell();
    return recovery.move_past(source, true) && source.tell() > before;
}

// Each GOP is decoded into a FrameSet of the extraction's own, so writers that need the
// pictures have them; a GOP that does not parse is not delivered.
bool deliver_gops(StoredSource& source, const ExtractRange& range, const std::atomic<bool>& stop,
                  const ExtractSink& sink) {
    DecoderBank bank;
    if (!bank.ready() || source.seek(range.start) != 0) return false;
    std::vector<uint8_t> bytes(ff::kWalkBufferSize);
    ff::WalkBuffer buffer{bytes.data(), bytes.size(), 0};
    ff::FrameSetStorage set;
    ReadRecovery recovery;
    while (!stop && source.tell() < range.end) {
        const int result = source.next(buffer);
        if (result == ff::kWalkReadError) {
            if (!step_over_failure(source, recovery, sink)) return false;
            continue;
        }
        if (result != ff::kWalkRead) return false;
        recovery.ended();
        const int64_t after = source.tell();
        // Damage just before the end can make the walker find the end unit's GOP itself.
        if (after - static_cast<int64_t>(buffer.length) >= range.end) break;
        if (bank.parse(buffer.data, buffer.length, set.get()) != 0) continue;
        sink(KIVRA_EXTRACT_GOP, percent_of(after, range), buffer.data,
             static_cast<int32_t>(buffer.length), &set.get());
    }
    return true;
}

// The copied stretch gets an index of its own: units 1..count, offsets from its start. It
// never wraps, whatever the source's index did.
bool deliver_index(StoredSource& source, const UnitRange& units, int64_t start,
                   const ExtractSink& sink) {
    uint8_t record[ff::kIndexRecordSize];
    if (!source.time_index_header(record)) return false;
    ff::IndexHeader header = ff::IndexHeader::decode(record);
    header.first = 1;
    header.last = units.count;
    header.wrapped = 0;
    const auto header_bytes = header.encode();
    sink(KIVRA_EXTRACT_INDEX, 1, header_bytes.data(), static_cast<int32_t>(header_bytes.size()));
    for (uint32_t j = 0; j < units.count; ++j) {
        if (!source.time_index_unit(unit_after(units.first, j), record)) return false;
        ff::IndexUnit unit = ff::IndexUnit::decode(record);
        unit.offset -= start;
        const auto unit_bytes = unit.encode();
        const auto percent = static_cast<int32_t>(int64_t{j} * 100 / (units.count - 1));
        sink(KIVRA_EXTRACT_INDEX, percent, unit_bytes.data(),
             static_cast<int32_t>(unit_bytes.size()));
    }
    return true;
}

}  // namespace

int run_extraction(StoredSource& source, const ExtractRange& range, const std::atomic<bool>& stop,
                   const ExtractSink& sink) {
    if (range.start < 0 || range.start >= range.end || range.end > source.length()) {
        return KIVRA_EXTRACT_FAILED;
    }
    const std::optional<UnitRange> units = find_unit_range(source, range.start, range.end);
    if (!units || !deliver_gops(source, range, stop, sink) ||
        !deliver_index(source, *units, range.start, sink)) {
        return KIVRA_EXTRACT_FAILED;
    }
    return stop ? KIVRA_EXTRACT_STOPPED : KIVRA_EXTRACT_FINISHED;
}

}  // namespace kivra
