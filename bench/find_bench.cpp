// A quick-index speed search over a million records, as the finder runs it the first time
// (every record read along the ring, decoded and tested), against a plain sequential read of
// the same records in 1 MiB reads: the least any search over them could cost. The goal is a
// search within twice the plain read.
//
// The disk is made once per run (big_disk.h); FIND_BENCH_IMAGE=PATH reuses one made before.
// Before timing, the search is checked: it must keep every record of the recorded range and
// find as many as a count over the raw bytes does.
//
//   ninja -C build find_bench
//   build/bin/find_bench --benchmark_out=find.json --benchmark_out_format=json
//   bench/ratio.py find.json BM_SpeedSearch BM_ReadQuickIndex
//   bench/ratio.py find.json BM_SpeedSearchAgain BM_ReadQuickIndex
//
// BM_SpeedSearchAgain is a later search over the records read once, as the dialog repeats it.
// The image's pages stay in the page cache between iterations.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "big_disk.h"
#include "common/le.h"
#include "format/index_find.h"
#include "format/ring_index_reader.h"
#include "format/ring_recording.h"

namespace {

namespace ff = fleet::format;

constexpr int kSpeedOver = 60;  // km/h

const bench::BigDisk& big_disk() {
    static const bench::BigDisk disk("FIND_BENCH_IMAGE");
    return disk;
}

bool open_ring(benchmark::State& state, ff::RingRecording& ring) {
    const bench::BigDisk& disk = big_disk();
    if (!disk.error().empty()) {
        state.SkipWithError(disk.error().c_str());
        return false;
    }
    if (auto opened = ring.open(ff::MediumKind::Disk, disk.path()); !opened) {
        state.SkipWithError(opened.error().message.c_str());
        return false;
    }
    return true;
}

ff::QuickFilter speed_filter() {
    return *ff::make_quick_filter({ff::QuickSearch::SpeedOver, {kSpeedOver}, {}});
}

// The quick header's first and last.
bool quick_range(ff::RingRecording& ring, uint32_t& first, uint32_t& last) {
    ff::QuickRecord header;
    if (!ring.quick_header(header)) return false;
    first = fleet::load_u32(header.data() + 4);
    last = fleet::load_u32(header.data() + 8);
    return true;
}

// Every quick record from first to last along the ring, a megabyte at a time; `use` sees each
// block. False when a read fails.
template <typename Use>
bool read_plainly(ff::RingRecording& ring, uint32_t first, uint32_t last,
                  std::vector<ff::QuickRecord>& block, Use use) {
    uint32_t n = first;
    for (uint32_t left = ff::units_between(first, last); left > 0;) {
        const uint32_t count =
            std::min({left, static_cast<uint32_t>(block.size()), ff::kLastUnitNumber - n + 1});
        std::span<ff::QuickRecord> records(block.data(), count);
        if (!ring.quick_units(n, records)) return false;
        use(records);
        left -= count;
        n = n + count > ff::kLastUnitNumber ? 1 : n + count;
    }
    return true;
}

// The records of the recorded range and the fast ones among them, counted from the raw
// bytes: unit number at 0, speed at 4.
struct RawCount {
    size_t recorded = 0;
    size_t fast = 0;
};

bool count_raw(ff::RingRecording& ring, RawCount& out) {
    uint32_t first = 0, last = 0;
    if (!quick_range(ring, first, last)) return false;
    const ff::IndexHeader time = ring.time_header();
    const uint32_t span = ff::units_between(time.first, time.last);
    std::vector<ff::QuickRecord> block((1 << 20) / ff::kQuickRecordSize);
    return read_plainly(ring, first, last, block, [&](std::span<ff::QuickRecord> records) {
        for (const auto& r : records) {
            const uint32_t unit = fleet::load_u32(r.data());
            if (unit == 0 || unit > ff::kLastUnitNumber ||
                ff::units_between(time.first, unit) > span) {
                continue;
            }
            ++out.recorded;
            out.fast += fleet::load_u16(r.data() + 4) > kSpeedOver ? 1 : 0;
        }
    });
}

bool checked(benchmark::State& state) {
    ff::RingRecording ring;
    if (!open_ring(state, ring)) return false;
    RawCount raw;
    if (!count_raw(ring, raw)) {
        state.SkipWithError("the quick index cannot be read");
        return false;
    }
    ff::RingIndexReader reader(ring);
    const auto entries = ff::read_quick_entries(reader);
    const size_t units = big_disk().truth().value("time_unit_count", size_t{0});
    if (!entries || entries->size() != raw.recorded || entries->size() != units) {
        state.SkipWithError("the search does not read every recorded record");
        return false;
    }
    const size_t found = ff::search_quick_entries(*entries, speed_filter()).size();
    if (found != raw.fast || found == 0 || found == entries->size()) {
        state.SkipWithError("the search finds other records than the raw count");
        return false;
    }
    state.counters["records"] = static_cast<double>(entries->size());
    state.counters["found"] = static_cast<double>(found);
    return true;
}

void BM_SpeedSearch(benchmark::State& state) {
    if (!checked(state)) return;
    ff::RingRecording ring;
    if (!open_ring(state, ring)) return;
    const ff::QuickFilter filter = speed_filter();
    for (auto _ : state) {
        ff::RingIndexReader reader(ring);
        const auto entries = ff::read_quick_entries(reader);
        if (!entries) {
            state.SkipWithError("the quick index cannot be read");
            return;
        }
        const auto rows = ff::search_quick_entries(*entries, filter);
        benchmark::DoNotOptimize(rows.data());
    }
}
BENCHMARK(BM_SpeedSearch)->Unit(benchmark::kMillisecond);

void BM_SpeedSearchAgain(benchmark::State& state) {
    if (!checked(state)) return;
    ff::RingRecording ring;
    if (!open_ring(state, ring)) return;
    ff::RingIndexReader reader(ring);
    const auto entries = ff::read_quick_entries(reader);
    const ff::QuickFilter filter = speed_filter();
    for (auto _ : state) {
        const auto rows = ff::search_quick_entries(*entries, filter);
        benchmark::DoNotOptimize(rows.data());
    }
}
BENCHMARK(BM_SpeedSearchAgain)->Unit(benchmark::kMillisecond);

void BM_ReadQuickIndex(benchmark::State& state) {
    if (!checked(state)) return;
    ff::RingRecording ring;
    if (!open_ring(state, ring)) return;
    uint32_t first = 0, last = 0;
    if (!quick_range(ring, first, last)) {
        state.SkipWithError("no quick index header");
        return;
    }
    std::vector<ff::QuickRecord> block((1 << 20) / ff::kQuickRecordSize);
    for (auto _ : state) {
        const bool read = read_plainly(ring, first, last, block, [](std::span<ff::QuickRecord> r) {
            benchmark::DoNotOptimize(r.data());
        });
        if (!read) {
            state.SkipWithError("the quick index cannot be read");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * int64_t{ff::units_between(first, last)} *
                            int64_t{ff::kQuickRecordSize});
}
BENCHMARK(BM_ReadQuickIndex)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
