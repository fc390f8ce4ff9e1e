// The host side of an export: checks an ExportRequest, fills the extraction library's job,
// starts the engine's extraction and relays every ExtractDataProc report to the library,
// naming the outputs at the first GOP and writing the optional sidecars. The viewer's extract
// dialog and `dvrtool export` drive exports only through this class.
//
// Threads: prepare, start and stop run on the host's thread; on_extract runs on the engine's
// extraction thread (it is what the host's ExtractDataProc forwards to). The sink is called on
// the engine's thread and must return quickly (post to the host's own thread).
//
// Every started export ends exactly once through sink.ended, whatever happens: a refused first
// zExtractPre, a library output that fails, a failed engine, a stop; only a session destroyed
// while its export runs reports nothing. A failed export leaves no file of its own behind.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/result.h"
#include "export_host/export_request.h"
#include "export_host/output_names.h"
#include "kivra/kivra.h"
#include "ombrel/ombrel.h"

namespace fleet::export_host {

#define EXPORT_HOST_ENTRY(name) decltype(&::name) name = nullptr;

// The engine entries an export needs, filled from the host's binding (or a test's fakes).
struct EngineEntries {
    EXPORT_HOST_ENTRY(zTellOpenedType)
    EXPORT_HOST_ENTRY(zTellTimeInxHd)
    EXPORT_HOST_ENTRY(zTellTimeInxUnit)
    EXPORT_HOST_ENTRY(zTellScreenNum)
    EXPORT_HOST_ENTRY(zTellSampleRate)
    EXPORT_HOST_ENTRY(zTellSampleBits)
    EXPORT_HOST_ENTRY(zStartExtract)
    EXPORT_HOST_ENTRY(zStopExtract)
};

// The extraction library's five entries.
struct OmbrelEntries {
    OMBREL_FOR_EACH_EXPORT(EXPORT_HOST_ENTRY)
};

#undef EXPORT_HOST_ENTRY

// Why preparing or starting an export was refused; the host shows the text (the viewer from
// its language table).
enum class ExportRefusal {
    NothingOpened,         // "Nothing is opened!"
    SourceNotSupported,    // network sources
    NoTimeIndex,           // "Can't get time index date!"
    IllegalTime,           // start not before end
    NothingSelected,       // "No target file is selected!"
    DirectoryNotCreated,   // the target directory cannot be made
    DirectoryTooLong,      // no output name would fit in the library's path fields
    NoChannelCount,        // screen count, sample rate or bits unknown
    IndexUnitsUnreadable,  // the units of the range cannot be read, or the open index is not
                           // the one prepare() read (the source changed meanwhile)
    EngineRefused,         // zStartExtract answered -1 ("start extract fail.")
    AlreadyRunning,        // one export at a time
};
const char* english_text(ExportRefusal refusal);

// How an export ended; the numbers are those the dialog's end message carries.
enum class ExportEnd {
    OpenFailed = 1,  // the outputs could not be created: "Extracting open fail!"
    Completed = 2,   // "Extracting completed!"
    Failed = 3,      // "Extracting error!"; nothing is left behind
    Stopped = 4,     // "Stop extracting by user!"; the files written so far are complete
};
const char* english_text(ExportEnd end);

struct ExportOutcome {
    ExportEnd end = ExportEnd::Failed;
    std::vector<std::string> files;  // the files the export left (none unless it succeeded)
    std::string detail;              // for the log: what failed, where known
};

struct ExportSink {
    std::function<void(int percent)> progress;  // after each GOP written
    std::function<void(const ExportOutcome& outcome)> ended;
};

// The time index's recorded range: the dialog's sliders run from first to last along the ring.
struct IndexRange {
    uint32_t first = 0;
    uint32_t last = 0;
    uint32_t units() const;                 // from first to last inclusive
    uint32_t unit_at(uint32_t step) const;  // the unit `step` places after first
    uint32_t step_of(uint32_t unit) const;  // how many places unit lies after first
};

// What the session asks of the machine, replaceable in tests.
struct ExportSeams {
    std::function<std::time_t()> now;  // the clock of the names' stamp
    FileExists exists;                 // name collisions and the check after the end
};
ExportSeams system_seams();

class ExportSession {
  public:
    ExportSession(EngineEntries engine, OmbrelEntries ombrel, ExportSink sink,
                  ExportSeams seams = system_seams());
    ExportSession(const ExportSession&) = delete;
    ExportSession& operator=(const ExportSession&) = delete;
    // The host stops forwarding reports to on_extract first (none may run during or after
    // this). A running export is then stopped without waiting for the engine: the library's
    // outputs are closed and every file of the export removed, as it cannot be completed.
    ~ExportSession();

    // What the dialog shows before an export: the open source's time-index range into `range`;
    // refused for nothing opened, a network source or an unreadable time index. The index read
    // here is the only one start() exports from.
    std::optional<ExportRefusal> prepare(IndexRange& range);

    // Checks the request in the dialog's order, makes the target directory and starts the
    // engine's extraction of the range. A request's unit numbers mean something only in the
    // index the last prepare() read: without one, or when the open index is another by now,
    // the start is refused. On success the export runs until sink.ended.
    std::optional<ExportRefusal> start(const ExportRequest& request);

    // Asks the running export to stop (the engine then reports the stop); nothing otherwise.
    void stop();

    // True from a successful start until sink.ended has been called.
    bool running() const { return running_.load(); }

    // The engine's ExtractDataProc, forwarded (engine thread).
    void on_extract(int32_t kind, int32_t percent, const void* data, int32_t length,
                    const void* frame_set);

  private:
    enum class Phase {
        Idle,      // no export of ours
        FirstGop,  // started; outputs not yet named
        Writing,   // outputs open in the library
        Draining,  // failed on our side: the engine was asked to stop, its end is awaited
    };
    struct Sidecars;
    // What tells one time index from another: its header and its first and last units.
    struct IndexIdentity {
        KivraIndexHeader header{};
        KivraIndexUnit first{}, last{};
        bool operator==(const IndexIdentity& other) const;
    };

    std::optional<IndexIdentity> open_index() const;

    void take_gop(const void* data, int32_t length, const FrameSet& frames);
    bool open_outputs(const FrameSet& frames);
    void give_up(ExportEnd end, std::string detail);
    ExportOutcome end_outcome(ExportEnd engine_end);
    ExportOutcome fail_outcome();
    void discard_outputs();
    void finish(ExportOutcome outcome);

    EngineEntries engine_;
    OmbrelEntries ombrel_;
    ExportSink sink_;
    ExportSeams seams_;

    std::mutex mutex_;  // the engine's reports against a start
    std::atomic<bool> running_{false};
    std::optional<IndexIdentity> prepared_;  // under mutex_
    Phase phase_ = Phase::Idle;
    ExportRequest request_;
    ExtractJob job_{};
    OutputPaths paths_;
    std::unique_ptr<Sidecars> sidecars_;
    std::optional<ExportOutcome> pending_;  // the end decided on our side, given at the engine's
};

}  // namespace fleet::export_host
