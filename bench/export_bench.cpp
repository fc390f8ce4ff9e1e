// A channel's AVI export through the library's exports (the channel's H.264 copied with its
// cropping fields edited, the sound beside it, the AVI muxer) against a plain copy of the
// recording's bytes in 1 MiB blocks: the least any export reading those GOPs could cost.
//
// The recording is made by dvrsim once per run (four D1 channels of camera footage).
//
//   ninja -C build export_bench
//   build/bin/export_bench --benchmark_out=export.json --benchmark_out_format=json
//   bench/ratio.py export.json BM_ChannelAviExport BM_CopyRecording
//
// Both write into the same fresh directory and delete their output after each iteration;
// neither syncs, so both measure the work up to the page cache. The export's time includes
// splitting each GOP into its FrameSet (no picture decoding), as the engine hands it over.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "format/frame_set.h"
#include "format/gop_header.h"
#include "format/gop_parser.h"
#include "ombrel/ombrel.h"

namespace {

namespace fs = std::filesystem;
namespace ff = fleet::format;

class Recording {
  public:
    Recording() {
        char pattern[] = "/tmp/export-bench-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            error_ = "mkdtemp failed";
            return;
        }
        dir_ = pattern;
        const std::string command = std::string(DVRSIM_PATH) + " record --out " + dir_ +
                                    "/rec --channels 4 --stream-version 3 --seconds 60"
                                    " --resolution d1 --scene camera --seed 3 > /dev/null";
        if (std::system(command.c_str()) != 0) {
            error_ = "dvrsim failed";
            return;
        }
        std::ifstream in(dvr(), std::ios::binary);
        bytes_.assign(std::istreambuf_iterator<char>(in), {});
        split_gops();
    }
    ~Recording() {
        std::error_code ignored;
        if (!dir_.empty()) fs::remove_all(dir_, ignored);
    }

    const std::string& error() const { return error_; }
    std::string dvr() const { return dir_ + "/rec.dvr"; }
    std::string output(const char* name) const { return dir_ + "/" + name; }
    const std::string& bytes() const { return bytes_; }
    const std::vector<std::pair<size_t, size_t>>& gops() const { return gops_; }

  private:
    void split_gops() {
        const auto* data = reinterpret_cast<const uint8_t*>(bytes_.data());
        for (size_t pos = 0; pos < bytes_.size();) {
            const auto header = ff::read_gop_header(data + pos, bytes_.size() - pos);
            if (!header || header->total_length() == 0) break;
            const auto stored =
                std::min<size_t>(static_cast<size_t>(ff::round_up_block(header->total_length())),
                                 bytes_.size() - pos);
            gops_.emplace_back(pos, stored);
            pos += stored;
        }
        if (gops_.empty()) error_ = "the recording has no GOPs";
    }

    std::string dir_, error_, bytes_;
    std::vector<std::pair<size_t, size_t>> gops_;
};

const Recording& recording() {
    static const Recording made;
    return made;
}

ExtractJob channel_job(const std::string& path) {
    ExtractJob job{};
    job.screen_count = 4;
    job.sample_rate = 8000;
    job.sample_bits = 16;
    job.channel_avi[0] = 1;
    std::snprintf(job.channel_avi_path[0], sizeof job.channel_avi_path[0], "%s", path.c_str());
    return job;
}

void BM_ChannelAviExport(benchmark::State& state) {
    const Recording& r = recording();
    if (!r.error().empty()) return state.SkipWithError(r.error().c_str());
    const std::string out = r.output("ch1.avi");
    ff::FrameSetStorage set;
    const auto* data = reinterpret_cast<const uint8_t*>(r.bytes().data());
    for (auto _ : state) {
        if (zExtractPre(channel_job(out)) != 1) return state.SkipWithError("zExtractPre failed");
        for (const auto& [offset, length] : r.gops()) {
            ff::parse_gop(data + offset, length, nullptr, set.get());
            zExtractWrite(OMBREL_WRITE_GOP, data + offset, static_cast<int32_t>(length),
                          &set.get());
        }
        zExtractFin();
        if (!fs::exists(out)) return state.SkipWithError("the export failed");
        state.PauseTiming();
        fs::remove(out);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * r.bytes().size()));
}

void BM_CopyRecording(benchmark::State& state) {
    const Recording& r = recording();
    if (!r.error().empty()) return state.SkipWithError(r.error().c_str());
    const std::string out = r.output("copy.dvr");
    std::vector<char> block(1 << 20);
    for (auto _ : state) {
        std::FILE* in = std::fopen(r.dvr().c_str(), "rb");
        std::FILE* to = std::fopen(out.c_str(), "wb");
        if (in == nullptr || to == nullptr) return state.SkipWithError("cannot open the files");
        for (size_t n; (n = std::fread(block.data(), 1, block.size(), in)) > 0;) {
            std::fwrite(block.data(), 1, n, to);
        }
        std::fclose(in);
        std::fclose(to);
        state.PauseTiming();
        fs::remove(out);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * r.bytes().size()));
}

BENCHMARK(BM_ChannelAviExport)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyRecording)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
