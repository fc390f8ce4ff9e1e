// Opening a 1 TB recorder disk: the MBR, the FAT index volume, the search for the oldest unit
// over a time index of a million units and the end-of-data scan, against reading that
// `timeindex` file once from start to end through the FAT, the least an open that looked at
// every unit would cost. The goal is an open well under a second.
//
// The image is made once per run (big_disk.h); DISK_OPEN_BENCH_IMAGE=PATH reuses one made
// before. Before timing, the open is checked against the image's truth: a wrong open is an error,
// not a number.
//
//   ninja -C build disk_open_bench
//   build/bin/disk_open_bench --benchmark_out=open.json --benchmark_out_format=json
//   bench/ratio.py open.json BM_OpenDisk/warm BM_ReadTimeIndex/warm
//   bench/ratio.py open.json BM_OpenDisk/cold BM_ReadTimeIndex/cold
//
// warm: the image's pages stay in the page cache between iterations (the open's own cost);
// cold: they are dropped before each iteration (posix_fadvise), so what is read comes from
// the machine's disk again, as at a recorder disk's first open.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "big_disk.h"
#include "format/byte_source.h"
#include "format/recorder_disk.h"
#include "format/ring_recording.h"

namespace {

namespace ff = fleet::format;

const bench::BigDisk& big_disk() {
    static const bench::BigDisk disk("DISK_OPEN_BENCH_IMAGE");
    return disk;
}

// Empty when the open found what the truth says.
std::string differences(const ff::RingRecording& ring, const nlohmann::json& truth) {
    const ff::RingLayout& r = ring.layout();
    std::string out;
    auto check = [&out](const char* name, int64_t found, const nlohmann::json& expected) {
        if (expected != found) {
            out += std::string(name) + " " + std::to_string(found) + " (truth " + expected.dump() +
                   ") ";
        }
    };
    check("start", r.start, truth["start"]);
    check("end_of_data", r.end_of_data, truth["end_of_data"]);
    check("length", r.length(), truth["length"]);
    check("oldest_unit", ring.scan().oldest_unit, truth["oldest_unit"]);
    check("runs", r.wrapped ? 2 : 1, truth["runs"]);
    if (r.wrapped) check("seam", r.seam, truth["seam"]);
    return out;
}

// Cold iterations start with none of the image in the page cache.
void drop_cached_pages(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

bool prepared(benchmark::State& state) {
    const bench::BigDisk& disk = big_disk();
    if (!disk.error().empty()) {
        state.SkipWithError(disk.error().c_str());
        return false;
    }
    ff::RingRecording ring;
    if (auto opened = ring.open(ff::MediumKind::Disk, disk.path()); !opened) {
        state.SkipWithError(opened.error().message.c_str());
        return false;
    }
    if (const std::string wrong = differences(ring, disk.truth()); !wrong.empty()) {
        state.SkipWithError(("the open disagrees with the truth: " + wrong).c_str());
        return false;
    }
    return true;
}

void BM_OpenDisk(benchmark::State& state, bool cold) {
    if (!prepared(state)) return;
    const std::string& path = big_disk().path();
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            drop_cached_pages(path);
            state.ResumeTiming();
        }
        ff::RingRecording ring;
        if (auto opened = ring.open(ff::MediumKind::Disk, path); !opened) {
            state.SkipWithError(opened.error().message.c_str());
            return;
        }
        benchmark::DoNotOptimize(ring.layout().end_of_data);
    }
    state.counters["units"] = big_disk().truth().value("time_unit_count", 0.0);
}
BENCHMARK_CAPTURE(BM_OpenDisk, warm, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenDisk, cold, true)->Unit(benchmark::kMillisecond);

// The time index read whole in 1 MiB reads, once the disk is recognised (not timed).
void BM_ReadTimeIndex(benchmark::State& state, bool cold) {
    if (!prepared(state)) return;
    const std::string& path = big_disk().path();
    ff::FileByteSource device;
    if (!device.open(path)) {
        state.SkipWithError("cannot open the image");
        return;
    }
    ff::RecorderDisk disk = ff::recognise_recorder_disk(device, device.size());
    if (!disk.time_index) {
        state.SkipWithError(("no time index: " + disk.why).c_str());
        return;
    }
    std::vector<uint8_t> chunk(1 << 20);
    const int64_t size = disk.time_index->size();
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            drop_cached_pages(path);
            state.ResumeTiming();
        }
        for (int64_t at = 0; at < size; at += static_cast<int64_t>(chunk.size())) {
            const auto n = static_cast<size_t>(
                std::min<int64_t>(static_cast<int64_t>(chunk.size()), size - at));
            if (!disk.time_index->read_at(at, chunk.data(), n)) {
                state.SkipWithError("the time index cannot be read");
                return;
            }
        }
        benchmark::DoNotOptimize(chunk.data());
    }
    state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK_CAPTURE(BM_ReadTimeIndex, warm, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadTimeIndex, cold, true)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
