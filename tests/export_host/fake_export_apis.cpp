#include "fake_export_apis.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

namespace fleet::export_host::test {

namespace {

FakeEngine g_engine;
FakeOmbrel g_ombrel;

std::vector<std::string> job_paths(const ExtractJob& job) {
    std::vector<std::string> paths;
    for (const auto& path : job.channel_avi_path) paths.emplace_back(path);
    paths.emplace_back(job.all_channels_avi_path);
    paths.emplace_back(job.dvr_path);
    paths.emplace_back(job.inx_path);
    std::erase_if(paths, [](const std::string& path) { return path.empty(); });
    return paths;
}

void remove_outputs() {
    for (const std::string& path : g_ombrel.created) ::unlink(path.c_str());
    g_ombrel.created.clear();
    g_ombrel.opened = false;
}

// ---- engine ----

int32_t tell_opened_type() {
    return g_engine.opened_type;
}
uint8_t tell_header(void* out) {
    if (!g_engine.header_readable) return 0;
    std::memcpy(out, &g_engine.header, sizeof g_engine.header);
    return 1;
}
uint8_t tell_unit(int32_t index, void* out) {
    const auto unit = g_engine.units.find(static_cast<uint32_t>(index));
    if (unit == g_engine.units.end()) return 0;
    std::memcpy(out, &unit->second, sizeof unit->second);
    return 1;
}
int32_t tell_screens() {
    return g_engine.screen_count;
}
int32_t tell_rate() {
    return g_engine.sample_rate;
}
int32_t tell_bits() {
    return g_engine.sample_bits;
}
int32_t start_extract(uint32_t start_low, int32_t start_high, uint32_t end_low, int32_t end_high) {
    g_engine.starts.push_back({start_low, start_high, end_low, end_high});
    return g_engine.start_answer;
}
int32_t stop_extract() {
    ++g_engine.stops;
    return 0;
}

// ---- library ----

void info(char*, char*, char*) {}

uint8_t pre(ExtractJob job) {
    g_ombrel.pres.push_back(job);
    if (!g_ombrel.pre_answer) return 0;
    for (const std::string& path : job_paths(job)) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0) {
            remove_outputs();
            return 0;
        }
        ::close(fd);
        g_ombrel.created.push_back(path);
    }
    g_ombrel.opened = true;
    return 1;
}

void write(int32_t kind, const void*, int32_t, const void*) {
    if (!g_ombrel.opened) return;
    const bool gop = kind == OMBREL_WRITE_GOP;
    const int n = gop ? ++g_ombrel.gop_writes : ++g_ombrel.index_writes;
    if (n == (gop ? g_ombrel.fail_gop_write : g_ombrel.fail_index_write)) remove_outputs();
}

void fin() {
    ++g_ombrel.fins;
    if (g_ombrel.lose_output_at_fin) remove_outputs();
    g_ombrel.created.clear();
    g_ombrel.opened = false;
}

uint8_t is_opened() {
    return g_ombrel.opened ? 1 : 0;
}

}  // namespace

EngineEntries FakeEngine::entries() {
    EngineEntries e;
    e.zTellOpenedType = &tell_opened_type;
    e.zTellTimeInxHd = &tell_header;
    e.zTellTimeInxUnit = &tell_unit;
    e.zTellScreenNum = &tell_screens;
    e.zTellSampleRate = &tell_rate;
    e.zTellSampleBits = &tell_bits;
    e.zStartExtract = &start_extract;
    e.zStopExtract = &stop_extract;
    return e;
}

OmbrelEntries FakeOmbrel::entries() {
    OmbrelEntries e;
    e.zExtractInfo = &info;
    e.zExtractPre = &pre;
    e.zExtractWrite = &write;
    e.zExtractFin = &fin;
    e.zIsExtractOpened = &is_opened;
    return e;
}

FakeEngine& fake_engine() {
    return g_engine;
}
FakeOmbrel& fake_ombrel() {
    return g_ombrel;
}

void reset_fakes() {
    g_engine = FakeEngine{};
    for (uint32_t n = 1; n <= 10; ++n)
        g_engine.units[n] = KivraIndexUnit{1700000000 + n * 120, 0, int64_t{n - 1} * 0x100000};
    g_ombrel = FakeOmbrel{};
}

}  // namespace fleet::export_host::test
