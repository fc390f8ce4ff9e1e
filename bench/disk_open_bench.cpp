// Opening a 1 TB recorder disk: the MBR, the FAT index volume, the search for the oldest unit
// over a time index of a million units and the end-of-data scan, against reading that
// `timeindex` file once from start to end through the FAT, the least an open that looked at
// every unit would cost. The goal is an open well under a second.
//
// The image is made once per run by `dvrsim disk --size 1T --sparse-units 1000000` in a
// temporary directory (a sparse file of about 150 MB on disk, made in a few seconds) and
// removed at exit; DISK_OPEN_BENCH_IMAGE=PATH reuses an image made by that command instead.
// Before timing, the open is checked against the image's truth: a wrong open is an error, not
// a number.
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
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <system_error>
#include <vector>

#include "format/byte_source.h"
#include "format/recorder_disk.h"
#include "format/ring_recording.h"

extern char** environ;

namespace {

namespace ff = fleet::format;

// Runs dvrsim with its output thrown away; its exit code, or -1 when it did not run or end.
int run_dvrsim(std::vector<std::string> args) {
    args.insert(args.begin(), DVRSIM_PATH);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// The image for the whole run, with the truth dvrsim wrote beside it.
class BigDisk {
  public:
    BigDisk() {
        if (const char* given = std::getenv("DISK_OPEN_BENCH_IMAGE")) {
            path_ = given;
        } else if (!make()) {
            return;
        }
        std::ifstream in(path_ + ".truth.json");
        truth_ = nlohmann::json::parse(in, nullptr, false);
        if (truth_.is_discarded()) error_ = "no truth beside " + path_;
    }
    ~BigDisk() {
        std::error_code ignored;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
    }
    BigDisk(const BigDisk&) = delete;
    BigDisk& operator=(const BigDisk&) = delete;

    const std::string& path() const { return path_; }
    const nlohmann::json& truth() const { return truth_; }
    const std::string& error() const { return error_; }

  private:
    bool make() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "disk-open-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            error_ = "cannot make a temporary directory";
            return false;
        }
        dir_ = pattern;
        path_ = dir_ + "/disk.img";
        const int made =
            run_dvrsim({"disk", "--out", path_, "--size", "1T", "--sparse-units", "1000000"});
        if (made != 0) error_ = "dvrsim disk failed (exit " + std::to_string(made) + ")";
        return made == 0;
    }

    std::string dir_;  // made here, removed at exit
    std::string path_;
    nlohmann::json truth_;
    std::string error_;
};

const BigDisk& big_disk() {
    static const BigDisk disk;
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
    const BigDisk& disk = big_disk();
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
