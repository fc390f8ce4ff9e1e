// dvrtool download: a time span of a recorder's recording over the network into a new file
// pair, through the engine's remote link as the viewer's recorded data dialog downloads it:
// the recorder's index first, then the rows that bound the span.
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "download_files.h"
#include "download_rows.h"
#include "dvrtool/commands.h"
#include "engine_session.h"
#include "interrupt_block.h"
#include "kivra/kivra.h"
#include "messages.h"
#include "progress_bar.h"
#include "remote_index.h"
#include "time_text.h"

namespace dvrtool {
namespace {

using namespace std::chrono_literals;

// Ctrl-C is noticed within this: a blocked signal wakes no condition variable.
constexpr auto kWatchSlice = 50ms;
// The engine reports every GOP; a recorder silent this long has stopped sending.
constexpr auto kQuietLimit = 60s;

struct DownloadPlan {
    RemoteAddress address;
    uint32_t from = 0, to = 0;
    std::string base;
};

fleet::Result<DownloadPlan> parse_download_plan(const CommandLine& line) {
    DownloadPlan plan;
    const auto remote = line.value("--remote");
    if (!remote) return usage_error("missing --remote HOST[:PORT]");
    auto address = parse_remote_address(*remote);
    if (!address) return address.error();
    plan.address = *address;
    auto from = parse_time_option(line, "--from");
    if (!from) return from.error();
    auto to = parse_time_option(line, "--to");
    if (!to) return to.error();
    if (*from >= *to) return usage_error("--from " + time_text(*from) + " is not before --to");
    plan.from = *from;
    plan.to = *to;
    const auto base = line.value("-o");
    if (!base || base->empty()) return usage_error("missing -o BASE");
    plan.base = *base;
    return plan;
}

// The engine started for this command, closed and released on every way out.
class EngineRun {
  public:
    ~EngineRun() {
        if (started_) close_engine();
    }
    fleet::Status start(EngineSession& state) {
        auto started = start_engine(state);
        started_ = started.ok();
        return started;
    }

  private:
    bool started_ = false;
};

enum class DownloadEnd { Done, Stopped, Trouble, Quiet };

// Waits for the engine to finish, drawing its progress; Ctrl-C stops the download, which
// leaves a pair that opens with what came so far.
DownloadEnd wait_for_download(EngineSession& state, InterruptBlock& interrupts) {
    ProgressBar bar;
    std::unique_lock guard(state.lock);
    int seen = state.link.count;
    auto heard = Clock::now();
    for (;;) {
        if (state.link.download_done) {
            bar.show(100);
            return DownloadEnd::Done;
        }
        if (state.link.trouble) return DownloadEnd::Trouble;
        if (state.link.count != seen) {
            seen = state.link.count;
            heard = Clock::now();
        } else if (Clock::now() - heard > kQuietLimit) {
            zStopDownload();
            return DownloadEnd::Quiet;
        }
        const int percent = state.link.download_percent;
        guard.unlock();
        if (percent >= 0) bar.show(percent);
        if (interrupts.poll()) {
            zStopDownload();
            return DownloadEnd::Stopped;
        }
        guard.lock();
        state.changed.wait_for(guard, kWatchSlice);
    }
}

std::vector<uint32_t> row_times(const RemoteIndex& index) {
    std::vector<uint32_t> times;
    times.reserve(index.units.size());
    for (const auto& unit : index.units) times.push_back(unit.time);
    return times;
}

Outcome report(DownloadEnd end, DownloadFiles& files, const EngineSession& state,
               const std::string& recorder) {
    switch (end) {
        case DownloadEnd::Done:
        case DownloadEnd::Stopped:
            files.keep();
            std::printf("%s\n%s\n", files.dvr().c_str(), files.inx().c_str());
            std::fflush(stdout);
            if (end == DownloadEnd::Done) return kExitDone;
            say("download stopped: the pair holds what came so far and opens as a recording");
            return kExitInterrupted;
        case DownloadEnd::Trouble:
            return fleet::fail(link_trouble_text(*state.link.trouble, recorder) +
                               "; nothing was kept");
        case DownloadEnd::Quiet:
            break;
    }
    return fleet::fail("the recorder at " + recorder +
                       " stopped sending for a minute; nothing was kept");
}

Outcome download(const DownloadPlan& plan, DownloadFiles& files) {
    // Before the engine starts, so that its threads inherit the block.
    InterruptBlock interrupts;
    EngineSession state;
    EngineRun engine;
    if (auto started = engine.start(state); !started) return started.error();
    auto index = fetch_remote_index(plan.address, state, [&] { return interrupts.poll(); });
    if (!index) return index.error();
    if (index->interrupted) {
        say("interrupted before the download began");
        return kExitInterrupted;
    }
    const auto times = row_times(*index);
    auto rows = choose_download_rows(times, plan.from, plan.to);
    if (!rows) return rows.error();
    if (!zDownload(rows->first, rows->last, files.dvr().c_str(), files.inx().c_str())) {
        return fleet::fail("the engine cannot start downloading index rows " +
                           std::to_string(rows->first) + " to " + std::to_string(rows->last) +
                           " from " + plan.address.shown());
    }
    const DownloadEnd end = wait_for_download(state, interrupts);
    return report(end, files, state, plan.address.shown());
}

}  // namespace

Outcome run_download(const CommandLine& line) {
    auto plan = parse_download_plan(line);
    if (!plan) return plan.error();
    // Made before the engine, removed after it has closed them, unless the download kept them.
    DownloadFiles files(plan->base);
    if (auto reserved = files.reserve(); !reserved) return reserved.error();
    return download(*plan, files);
}

}  // namespace dvrtool
