#include "model/find_job.h"

#include <utility>

namespace velmora {

namespace {

namespace ff = fleet::format;
using Clock = std::chrono::steady_clock;

// Reading the quick records weighs as much as writing the texts of the rows found in them.
constexpr double kQuickReadShare = 0.5;
// The share done is told again once it has grown this much.
constexpr double kProgressStep = 0.01;

// Reads for a walk that may be stopped: counts the unit reads of the index walked, which tells
// the share done, and answers nothing once the job is cancelled, so that even a walk that never
// looks at its sink ends at once.
class WalkReader final : public ff::IndexReader {
  public:
    enum class Counted { Time, Event };

    WalkReader(ff::IndexReader& inner, const std::atomic<bool>& cancelled, Counted counted,
               std::function<void(uint64_t reads)> on_read)
        : inner_(inner), cancelled_(cancelled), counted_(counted), on_read_(std::move(on_read)) {}

    bool time_header(ff::IndexHeader& out) override {
        return !cancelled_ && inner_.time_header(out);
    }
    bool time_unit(uint32_t n, ff::IndexUnit& out) override {
        if (counted_ == Counted::Time) count();
        return !cancelled_ && inner_.time_unit(n, out);
    }
    bool event_header(ff::IndexHeader& out) override {
        return !cancelled_ && inner_.event_header(out);
    }
    bool event_unit(uint32_t n, ff::IndexUnit& out) override {
        if (counted_ == Counted::Event) count();
        return !cancelled_ && inner_.event_unit(n, out);
    }
    bool quick_header(ff::QuickRecord& out) override {
        return !cancelled_ && inner_.quick_header(out);
    }
    bool quick_unit(uint32_t n, ff::QuickRecord& out) override {
        return !cancelled_ && inner_.quick_unit(n, out);
    }

  private:
    void count() {
        ++reads_;
        if (on_read_) on_read_(reads_);
    }

    ff::IndexReader& inner_;
    const std::atomic<bool>& cancelled_;
    const Counted counted_;
    const std::function<void(uint64_t)> on_read_;
    uint64_t reads_ = 0;
};

FoundRow unit_row(const ff::UnitRow& unit, const EventTypeNames& names) {
    FoundRow row;
    row.texts = {ff::unit_time_text(unit.time), std::to_string(unit.offset),
                 ff::event_type_text(unit.event_type, names)};
    row.time = unit.time;
    row.event_type = unit.event_type;
    return row;
}

double share(uint64_t done, uint64_t total) {
    return total == 0 ? 0.0
                      : static_cast<double>(std::min(done, total)) / static_cast<double>(total);
}

}  // namespace

// ---- QuickEntryStore ----------------------------------------------------------------------

QuickEntryStore::Entries QuickEntryStore::entries(uint64_t* generation) const {
    std::lock_guard lock(mutex_);
    if (generation != nullptr) *generation = generation_;
    return entries_;
}

void QuickEntryStore::keep(Entries entries, uint64_t generation) {
    std::lock_guard lock(mutex_);
    if (generation == generation_) entries_ = std::move(entries);
}

void QuickEntryStore::forget() {
    std::lock_guard lock(mutex_);
    entries_.reset();
    ++generation_;
}

// ---- one run ------------------------------------------------------------------------------

class FindJob::Walk {
  public:
    explicit Walk(FindJob& job) : job_(job), last_batch_(Clock::now()) {}

    FindOutcome run() {
        FindOutcome outcome;
        switch (job_.request_.kind) {
            case FindKind::TimeUnits:
            case FindKind::EventUnits:
                outcome.completed = list_units(job_.request_.kind == FindKind::EventUnits);
                break;
            case FindKind::QuickSearch:
                outcome.completed = search_quick();
                break;
            case FindKind::DateSearch:
                outcome.offset = find_date();
                outcome.completed = true;
                break;
        }
        flush();
        outcome.cancelled = job_.cancelled();
        outcome.completed = outcome.completed && !outcome.cancelled;
        if (outcome.completed) report(1.0);
        outcome.rows = rows_;
        return outcome;
    }

  private:
    bool list_units(bool events) {
        ff::IndexHeader header;
        const bool known =
            events ? job_.reader_.event_header(header) : job_.reader_.time_header(header);
        const uint64_t total = known ? ff::units_between(header.first, header.last) : 0;
        WalkReader reader(job_.reader_, job_.cancelled_,
                          events ? WalkReader::Counted::Event : WalkReader::Counted::Time,
                          [this, total](uint64_t reads) { report(share(reads, total)); });
        const ff::UnitSink sink = [this](const ff::UnitRow& unit) {
            return add(unit_row(unit, job_.request_.event_names));
        };
        return events ? ff::list_event_units(reader, sink) : ff::list_time_units(reader, sink);
    }

    bool search_quick() {
        const auto filter = ff::make_quick_filter(job_.request_.query);
        if (!filter) return false;
        WalkReader reader(job_.reader_, job_.cancelled_, WalkReader::Counted::Time, {});
        double read_share = 0;
        const QuickEntryStore::Entries entries = quick_entries(reader, read_share);
        if (!entries) return false;
        const auto found = ff::search_quick_entries(*entries, *filter);
        for (std::size_t i = 0; i < found.size(); ++i) {
            if (!add(quick_row(ff::quick_row_fields(reader, *found[i]), reader))) return false;
            report(read_share + (1.0 - read_share) * share(i + 1, found.size()));
        }
        return true;
    }

    // The kept records, else those read now (and kept); null when they cannot be read.
    QuickEntryStore::Entries quick_entries(ff::IndexReader& reader, double& read_share) {
        uint64_t generation = 0;
        if (auto kept = job_.store_.entries(&generation)) return kept;
        read_share = kQuickReadShare;
        auto read = ff::read_quick_entries(reader, [this](double done) {
            report(done * kQuickReadShare);
            return !job_.cancelled();
        });
        if (!read || job_.cancelled()) return nullptr;
        auto entries = std::make_shared<const std::vector<ff::QuickEntry>>(std::move(*read));
        job_.store_.keep(entries, generation);
        return entries;
    }

    FoundRow quick_row(const ff::QuickFields& fields, ff::IndexReader& reader) {
        FoundRow row;
        const auto texts = ff::quick_row_texts(fields, reader, job_.request_.query.units);
        row.texts.assign(texts.begin(), texts.end());
        ff::IndexUnit unit;
        if (reader.time_unit(fields.time_unit, unit)) row.time = unit.time;
        row.time_unit = fields.time_unit;
        return row;
    }

    std::optional<int64_t> find_date() {
        ff::IndexHeader header;
        const uint64_t total =
            job_.reader_.time_header(header) ? ff::units_between(header.first, header.last) : 0;
        WalkReader reader(job_.reader_, job_.cancelled_, WalkReader::Counted::Time,
                          [this, total](uint64_t reads) { report(share(reads, total)); });
        return ff::find_time(reader, job_.request_.time);
    }

    // False: the job was cancelled and the walk should stop.
    bool add(FoundRow row) {
        if (job_.cancelled()) return false;
        batch_.push_back(std::move(row));
        if (batch_.size() >= job_.limits_.rows || Clock::now() - last_batch_ >= job_.limits_.wait)
            flush();
        return true;
    }

    void flush() {
        last_batch_ = Clock::now();
        if (batch_.empty()) return;
        std::vector<FoundRow> out;
        out.swap(batch_);
        // Rows found after a cancel belong to a list nobody shows any more.
        if (job_.cancelled()) return;
        rows_ += out.size();
        if (job_.sink_.rows) job_.sink_.rows(std::move(out));
    }

    void report(double done) {
        if (done < reported_ + kProgressStep && !(done >= 1.0 && reported_ < 1.0)) return;
        reported_ = done;
        if (job_.sink_.progress && !job_.cancelled()) job_.sink_.progress(done);
    }

    FindJob& job_;
    std::vector<FoundRow> batch_;
    Clock::time_point last_batch_;
    std::size_t rows_ = 0;
    double reported_ = 0;
};

// ---- FindJob ------------------------------------------------------------------------------

FindJob::FindJob(fleet::format::IndexReader& reader, QuickEntryStore& store, FindRequest request,
                 FindSink sink, BatchLimits limits)
    : reader_(reader),
      store_(store),
      request_(std::move(request)),
      sink_(std::move(sink)),
      limits_(limits),
      thread_([this] {
          FindOutcome outcome;
          try {
              outcome = Walk(*this).run();
          } catch (...) {
              // Whatever went wrong, the caller still learns that the job is over.
              outcome = FindOutcome{};
              outcome.cancelled = cancelled();
          }
          if (sink_.finished) sink_.finished(outcome);
      }) {}

FindJob::~FindJob() {
    cancel();
    if (thread_.joinable()) thread_.join();
}

void FindJob::cancel() {
    cancelled_ = true;
}

}  // namespace velmora
