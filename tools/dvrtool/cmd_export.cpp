// dvrtool export: writes a time range of a recording into files through the engine's
// extraction and the extraction library, driven by the same export session as the viewer's
// extract dialog, so what the tool writes is what an operator would get.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "dvrtool/commands.h"
#include "engine_open.h"
#include "export_host/export_session.h"
#include "export_plan.h"
#include "export_range.h"
#include "interrupt_block.h"
#include "kivra/kivra.h"
#include "messages.h"
#include "ombrel/ombrel.h"
#include "progress_bar.h"
#include "time_text.h"

namespace dvrtool {
namespace {

namespace eh = fleet::export_host;
using namespace std::chrono_literals;

// ---- the engine's side ----------------------------------------------------------------------

// What the engine's callbacks (plain C functions on engine threads) share with this thread.
struct EngineReports {
    std::mutex lock;
    std::condition_variable changed;
    int disk_event = -1;  // the first disk report
    int results = 0;      // command results seen
    int percent = -1;
    std::optional<eh::ExportOutcome> outcome;
    std::atomic<eh::ExportSession*> session{nullptr};
};

EngineReports* reports = nullptr;

void on_size(void*, int32_t* width, int32_t* height) {
    // Nothing is played: the smallest picture keeps the engine's presenting cheap.
    *width = 16;
    *height = 16;
}

void on_present(void*, const KivraCanvas*) {}

void on_play(int32_t code, int32_t) {
    std::lock_guard guard(reports->lock);
    if (code >= KIVRA_RESULT_CLOSE_FAILED && code != KIVRA_EVENT_DRAW_FAILED) ++reports->results;
    reports->changed.notify_all();
}

void on_disk(int32_t, const char*, int32_t event) {
    std::lock_guard guard(reports->lock);
    if (reports->disk_event < 0) reports->disk_event = event;
    reports->changed.notify_all();
}

void on_extract(int32_t kind, int32_t percent, const void* data, int32_t length,
                const void* frame_set) {
    if (eh::ExportSession* session = reports->session.load())
        session->on_extract(kind, percent, data, length, frame_set);
}

// Ctrl-C is noticed within this: a blocked signal wakes no condition variable.
constexpr auto kInterruptPoll = 50ms;

// Negative when none came in time (long: a real device may spin up first) or on Ctrl-C.
int wait_for_disk_report(InterruptBlock& interrupts) {
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    std::unique_lock guard(reports->lock);
    while (reports->disk_event < 0 && std::chrono::steady_clock::now() < deadline) {
        reports->changed.wait_for(guard, kInterruptPoll);
        if (interrupts.poll()) break;
    }
    return reports->disk_event;
}

void close_source() {
    if (zTellOpenedType() == KIVRA_SOURCE_NONE) return;
    std::unique_lock guard(reports->lock);
    const int before = reports->results;
    guard.unlock();
    zPlayMSG(KIVRA_CMD_CLOSE, 0, 0, 0, nullptr);
    guard.lock();
    reports->changed.wait_for(guard, 10s, [&] { return reports->results > before; });
}

// The engine started with this command's callbacks, closed and released at the end.
class EngineRun {
  public:
    explicit EngineRun(EngineReports& state) { reports = &state; }
    ~EngineRun() {
        if (started_) {
            close_source();
            zRelease();  // also waits for an extraction still under way
        }
        reports = nullptr;
    }
    EngineRun(const EngineRun&) = delete;
    EngineRun& operator=(const EngineRun&) = delete;

    fleet::Status start() {
        static const KivraVideoTarget target{nullptr, on_size, on_present};
        if (!zInit(&target, on_play, nullptr, on_disk, nullptr, on_extract, nullptr)) {
            return fleet::fail("the engine cannot start");
        }
        started_ = true;
        return {};
    }

  private:
    bool started_ = false;
};

eh::EngineEntries engine_entries() {
    eh::EngineEntries e;
    e.zTellOpenedType = zTellOpenedType;
    e.zTellTimeInxHd = zTellTimeInxHd;
    e.zTellTimeInxUnit = zTellTimeInxUnit;
    e.zTellScreenNum = zTellScreenNum;
    e.zTellSampleRate = zTellSampleRate;
    e.zTellSampleBits = zTellSampleBits;
    e.zStartExtract = zStartExtract;
    e.zStopExtract = zStopExtract;
    return e;
}

eh::OmbrelEntries ombrel_entries() {
    eh::OmbrelEntries e;
#define DVRTOOL_OMBREL_ENTRY(name) e.name = ::name;
    OMBREL_FOR_EACH_EXPORT(DVRTOOL_OMBREL_ENTRY)
#undef DVRTOOL_OMBREL_ENTRY
    return e;
}

// ---- the export -----------------------------------------------------------------------------

fleet::Result<std::vector<int>> channels_to_export(const ExportPlan& plan) {
    const int recorded = zTellScreenNum();
    if (recorded <= 0) return fleet::fail("the engine does not tell the recording's channels");
    const int exportable = std::min(recorded, eh::kChannels);
    if (!plan.channels) {
        std::vector<int> all;
        for (int channel = 1; channel <= exportable; ++channel) all.push_back(channel);
        return all;
    }
    for (int channel : *plan.channels) {
        if (channel > recorded) {
            return fleet::fail("channel " + std::to_string(channel) + ": the recording has " +
                               std::to_string(recorded) + " channels");
        }
    }
    return *plan.channels;
}

fleet::Result<eh::ExportRequest> request_for(const ExportPlan& plan, eh::ExportSession& session) {
    eh::IndexRange range;
    if (auto refused = session.prepare(range)) return fleet::fail(eh::english_text(*refused));
    auto units = choose_export_units(range, plan.from, plan.to, [](uint32_t n) {
        KivraIndexUnit unit{};
        if (zTellTimeInxUnit(static_cast<int32_t>(n), &unit) == 0)
            return std::optional<KivraIndexUnit>();
        return std::optional<KivraIndexUnit>(unit);
    });
    if (!units) return units.error();
    eh::ExportRequest request;
    request.start_unit = units->start;
    request.end_unit = units->end;
    request.all_channels = plan.kind == ExportKind::Mosaic;
    request.file_pair = plan.kind == ExportKind::FilePair;
    request.mp4 = plan.kind == ExportKind::ChannelMp4;
    request.telemetry_csv = true;
    request.gpx_track = true;
    request.target_directory = plan.directory;
    if (per_channel(plan.kind)) {
        auto channels = channels_to_export(plan);
        if (!channels) return channels.error();
        for (int channel : *channels) request.channels[static_cast<size_t>(channel - 1)] = true;
    }
    return request;
}

// Waits for the export's end, drawing its progress and passing a Ctrl-C on as a stop.
eh::ExportOutcome wait_for_end(eh::ExportSession& session, InterruptBlock& interrupts) {
    ProgressBar bar;
    bool stop_asked = false;
    std::unique_lock guard(reports->lock);
    while (!reports->outcome) {
        reports->changed.wait_for(guard, kInterruptPoll);
        const int percent = reports->percent;
        guard.unlock();
        if (!stop_asked && interrupts.poll()) {
            session.stop();
            stop_asked = true;
        }
        if (percent >= 0) bar.show(percent);
        guard.lock();
    }
    if (reports->outcome->end == eh::ExportEnd::Completed) bar.show(100);
    bar.finish();
    return *reports->outcome;
}

eh::ExportSink sink_to_reports() {
    eh::ExportSink sink;
    sink.progress = [](int percent) {
        std::lock_guard guard(reports->lock);
        reports->percent = percent;
        reports->changed.notify_all();
    };
    sink.ended = [](const eh::ExportOutcome& outcome) {
        std::lock_guard guard(reports->lock);
        reports->outcome = outcome;
        reports->changed.notify_all();
    };
    return sink;
}

Outcome report(const eh::ExportOutcome& outcome) {
    for (const std::string& file : outcome.files) std::printf("%s\n", file.c_str());
    std::fflush(stdout);
    switch (outcome.end) {
        case eh::ExportEnd::Completed:
            return kExitDone;
        case eh::ExportEnd::Stopped:
            say(std::string(eh::english_text(outcome.end)) +
                (outcome.files.empty() ? " Nothing was written."
                                       : " The files listed are complete."));
            return kExitInterrupted;
        case eh::ExportEnd::OpenFailed:
        case eh::ExportEnd::Failed:
            break;
    }
    std::string message = eh::english_text(outcome.end);
    if (!outcome.detail.empty()) message += " (" + outcome.detail + ")";
    return fleet::fail(message);
}

Outcome export_through_engine(const CommandLine& line, const ExportPlan& plan) {
    EngineReports state;
    // Made before the engine so that it outlives it: the engine is released, its extraction
    // thread joined, before the session goes.
    eh::ExportSession session(engine_entries(), ombrel_entries(), sink_to_reports());
    // Before the engine starts, so that its threads inherit the block.
    InterruptBlock interrupts;
    EngineRun engine(state);
    if (auto started = engine.start(); !started) return started.error();
    auto opened = open_in_engine(line, [&] { return wait_for_disk_report(interrupts); });
    if (interrupts.poll()) {
        say("interrupted before the export began");
        return kExitInterrupted;
    }
    if (!opened) return opened.error();

    auto request = request_for(plan, session);
    if (!request) return request.error();
    state.session = &session;
    if (auto refused = session.start(*request)) {
        state.session = nullptr;
        return fleet::fail(eh::english_text(*refused));
    }
    const eh::ExportOutcome outcome = wait_for_end(session, interrupts);
    return report(outcome);
}

}  // namespace

Outcome run_export(const CommandLine& line) {
    auto plan = parse_plan(line);
    if (!plan) return plan.error();
    // stderr carries the tool's own messages; FFmpeg's notes while the library writes (the
    // encoders' statistics, MP4's fast-start pass) are noise there. Its errors still show.
    av_log_set_level(AV_LOG_ERROR);
    return export_through_engine(line, *plan);
}

}  // namespace dvrtool
