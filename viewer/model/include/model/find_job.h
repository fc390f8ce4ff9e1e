// One listing or search of the Find dialog, run on a thread of its own so the window never waits
// for a long index: rows go out in batches, the share done as it grows, and a last report that
// always comes, cancelled or not. The callbacks run on the job's thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "format/index_find.h"
#include "model/event_types.h"

namespace velmora {

enum class FindKind {
    TimeUnits,    // the time view's list
    EventUnits,   // the event view's list
    QuickSearch,  // the quick view's list for one search
    DateSearch,   // the offset of a date and time; no rows
};

struct FindRequest {
    FindKind kind = FindKind::TimeUnits;
    fleet::format::QuickQuery query;  // QuickSearch
    uint32_t time = 0;                // DateSearch: seconds since 1970
    EventTypeNames event_names{};     // the Status texts of unit rows
};

// One row of the list: its column texts and where in the recording it lies.
struct FoundRow {
    std::vector<std::string> texts;
    uint32_t time = 0;       // the unit's time (a quick row's time unit); 0 when unknown
    int event_type = 0;      // unit rows: tag bits 20..23
    uint32_t time_unit = 0;  // quick rows: the time-index unit a double click looks up
    bool operator==(const FoundRow&) const = default;
};

struct FindOutcome {
    bool cancelled = false;
    // The walk ran to its end: false without the index asked for or for a refused query.
    bool completed = false;
    std::size_t rows = 0;           // rows handed out
    std::optional<int64_t> offset;  // DateSearch: what was found
};

struct FindSink {
    std::function<void(std::vector<FoundRow> rows)> rows;
    std::function<void(double done)> progress;                 // 0..1, growing
    std::function<void(const FindOutcome& outcome)> finished;  // exactly once, last
};

// Rows go out when this many are waiting, or when a row arrives this long after the last
// batch, and at the end.
struct BatchLimits {
    std::size_t rows = 200;
    std::chrono::milliseconds wait{100};
};

// The quick records of the open source, read once and searched again and again; forgotten when
// the source closes. Jobs of any thread share it.
class QuickEntryStore {
  public:
    using Entries = std::shared_ptr<const std::vector<fleet::format::QuickEntry>>;

    // What is kept, and the generation a reader must hand back to keep what it read.
    Entries entries(uint64_t* generation = nullptr) const;
    // Kept only when nothing was forgotten since `generation` was handed out.
    void keep(Entries entries, uint64_t generation);
    void forget();

  private:
    mutable std::mutex mutex_;
    Entries entries_;
    uint64_t generation_ = 0;
};

class FindJob {
  public:
    // Starts at once. `reader` and `store` must outlive the job.
    FindJob(fleet::format::IndexReader& reader, QuickEntryStore& store, FindRequest request,
            FindSink sink, BatchLimits limits = {});
    // Cancels and waits for the thread; `finished` has been called when this returns.
    ~FindJob();
    FindJob(const FindJob&) = delete;
    FindJob& operator=(const FindJob&) = delete;

    // Asks the walk to stop; rows found later are dropped. Any thread.
    void cancel();
    bool cancelled() const { return cancelled_.load(); }
    FindKind kind() const { return request_.kind; }

  private:
    class Walk;

    fleet::format::IndexReader& reader_;
    QuickEntryStore& store_;
    const FindRequest request_;
    const FindSink sink_;
    const BatchLimits limits_;
    std::atomic<bool> cancelled_{false};
    std::thread thread_;  // last: it starts once everything above is set
};

}  // namespace velmora
