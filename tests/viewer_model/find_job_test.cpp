// The Find dialog's jobs over an index held in memory: the rows each listing hands out and in
// what batches, the share done, the quick records read once per source, and a last report that
// comes whether the job ran out, was cancelled or was destroyed half-way.
#include "model/find_job.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <mutex>

#include "common/le.h"

namespace velmora::test {
namespace {

namespace ff = fleet::format;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

// 2023-11-14 22:00:00 UTC, on the hour.
constexpr uint32_t kHour = 1699999200;

// The three indexes in memory. A read of the time unit `hold` waits until release(), so a test
// can catch a walk half-way.
class MemoryIndex final : public ff::IndexReader {
  public:
    ff::IndexHeader time{ff::kIndexMagic, 1, 0, 0};
    std::map<uint32_t, ff::IndexUnit> time_units;
    std::optional<ff::IndexHeader> events;  // none: a file pair
    std::map<uint32_t, ff::IndexUnit> event_units;
    std::optional<ff::IndexHeader> quick;
    std::map<uint32_t, ff::QuickRecord> quick_units;
    std::atomic<int> quick_reads{0};

    bool time_header(ff::IndexHeader& out) override {
        out = time;
        return true;
    }
    bool time_unit(uint32_t n, ff::IndexUnit& out) override {
        if (n == hold_) wait_for_release();
        return find(time_units, n, out);
    }
    bool event_header(ff::IndexHeader& out) override {
        if (events) out = *events;
        return events.has_value();
    }
    bool event_unit(uint32_t n, ff::IndexUnit& out) override { return find(event_units, n, out); }
    bool quick_header(ff::QuickRecord& out) override {
        if (!quick) return false;
        out = {};
        const auto header = quick->encode();
        std::copy(header.begin(), header.end(), out.begin());
        return true;
    }
    bool quick_unit(uint32_t n, ff::QuickRecord& out) override {
        ++quick_reads;
        return find(quick_units, n, out);
    }

    void hold_at(uint32_t n) { hold_ = n; }
    // True once a walk waits at the held unit.
    bool wait_held() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(60), [&] { return held_; });
    }
    void release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

  private:
    template <typename T>
    static bool find(const std::map<uint32_t, T>& records, uint32_t n, T& out) {
        const auto found = records.find(n);
        if (found == records.end()) return false;
        out = found->second;
        return true;
    }
    void wait_for_release() {
        std::unique_lock lock(mutex_);
        held_ = true;
        changed_.notify_all();
        changed_.wait(lock, [&] { return released_; });
    }

    uint32_t hold_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
    bool released_ = false;
};

FindRequest request_of(FindKind kind) {
    FindRequest request;
    request.kind = kind;
    return request;
}

uint32_t tag_of(int event_type) {
    return static_cast<uint32_t>(event_type) << ff::kEventTypeShift;
}

ff::QuickRecord quick_record(uint32_t time_unit, int speed_kmh) {
    ff::QuickRecord record{};
    fleet::store_u32(record.data(), time_unit);
    fleet::store_u16(record.data() + 4, static_cast<uint16_t>(speed_kmh));
    return record;
}

EventTypeNames test_names() {
    EventTypeNames names;
    for (int i = 0; i < kEventTypeCount; ++i)
        names[static_cast<size_t>(i)] = "type" + std::to_string(i);
    return names;
}

// What a job reported, gathered from its thread.
class Reports {
  public:
    FindSink sink() {
        return {[this](std::vector<FoundRow> batch) {
                    std::lock_guard lock(mutex_);
                    batches.push_back(batch.size());
                    for (auto& row : batch) rows.push_back(std::move(row));
                },
                [this](double done) {
                    std::lock_guard lock(mutex_);
                    progress.push_back(done);
                },
                [this](const FindOutcome& outcome) {
                    std::lock_guard lock(mutex_);
                    outcomes.push_back(outcome);
                    finished_.notify_all();
                }};
    }
    bool wait_finished() {
        std::unique_lock lock(mutex_);
        return finished_.wait_for(lock, std::chrono::seconds(60),
                                  [&] { return !outcomes.empty(); });
    }
    void clear() {
        std::lock_guard lock(mutex_);
        batches.clear();
        rows.clear();
        progress.clear();
        outcomes.clear();
    }
    size_t batch_count() {
        std::lock_guard lock(mutex_);
        return batches.size();
    }

    std::vector<size_t> batches;
    std::vector<FoundRow> rows;
    std::vector<double> progress;
    std::vector<FindOutcome> outcomes;

  private:
    std::mutex mutex_;
    std::condition_variable finished_;
};

// Nothing arrives after `finished`, so a finished job's reports may be read without the lock.
void expect_growing_to_one(const std::vector<double>& progress) {
    ASSERT_FALSE(progress.empty());
    for (size_t i = 1; i < progress.size(); ++i) EXPECT_LE(progress[i - 1], progress[i]) << i;
    EXPECT_DOUBLE_EQ(progress.back(), 1.0);
}

std::vector<uint32_t> tindexes(const std::vector<FoundRow>& rows) {
    std::vector<uint32_t> out;
    for (const FoundRow& row : rows) out.push_back(row.time_unit);
    return out;
}

class FindJobTest : public ::testing::Test {
  protected:
    // Ten units ten minutes apart from 22:10; unit 6 falls on 23:00, units 3 and 9 carry events.
    void SetUp() override {
        index_.time = {ff::kIndexMagic, 1, 10, 0};
        for (uint32_t n = 1; n <= 10; ++n) {
            const int type = n == 3 ? 2 : n == 9 ? 12 : 0;
            index_.time_units[n] = {kHour + 600 * n, tag_of(type), int64_t{n} * 1000};
        }
    }

    FindOutcome run(FindRequest request, BatchLimits limits = {}) {
        request.event_names = test_names();
        {
            FindJob job(index_, store_, request, reports_.sink(), limits);
            EXPECT_TRUE(reports_.wait_finished());
        }
        EXPECT_EQ(reports_.outcomes.size(), 1u);
        return reports_.outcomes.empty() ? FindOutcome{} : reports_.outcomes.front();
    }

    FindRequest speed_over(double value, int speed_unit = 0) {
        FindRequest request = request_of(FindKind::QuickSearch);
        request.query.search = ff::QuickSearch::SpeedOver;
        request.query.values = {value};
        request.query.units.speed = speed_unit;
        return request;
    }

    // Quick records 1..6 point at time units 1..6 with these speeds; unit 7 lies outside the
    // time index, so its record is never searched.
    void add_quick_records() {
        index_.quick = ff::IndexHeader{ff::kIndexMagic, 1, 7, 0};
        const int speeds[] = {30, 80, 51, 50, 120, 10, 200};
        for (uint32_t n = 1; n <= 7; ++n)
            index_.quick_units[n] = quick_record(n == 7 ? 11 : n, speeds[n - 1]);
    }

    MemoryIndex index_;
    QuickEntryStore store_;
    Reports reports_;
};

TEST_F(FindJobTest, TheTimeListingHandsOutItsRowsInBatches) {
    const FindOutcome outcome =
        run(request_of(FindKind::TimeUnits), {.rows = 3, .wait = std::chrono::hours(1)});

    EXPECT_TRUE(outcome.completed);
    EXPECT_FALSE(outcome.cancelled);
    EXPECT_EQ(outcome.rows, 4u);
    EXPECT_THAT(reports_.batches, ElementsAre(3u, 1u));
    // The first unit, the two with events and the one on the hour.
    const std::vector<FoundRow> expected = {
        {{"2023/11/14 22:10:00", "1000", "type0"}, kHour + 600, 0, 0},
        {{"2023/11/14 22:30:00", "3000", "type2"}, kHour + 1800, 2, 0},
        {{"2023/11/14 23:00:00", "6000", "type0"}, kHour + 3600, 0, 0},
        {{"2023/11/14 23:30:00", "9000", "type12"}, kHour + 5400, 12, 0},
    };
    EXPECT_THAT(reports_.rows, ElementsAreArray(expected));
    expect_growing_to_one(reports_.progress);
}

struct EventCase {
    const char* name;
    bool has_events;
    std::vector<uint32_t> listed_units;  // event unit numbers
};

class FindJobEvents : public FindJobTest, public ::testing::WithParamInterface<EventCase> {};

// Events point at time units 2, 12 (past the time index) and 10.
TEST_P(FindJobEvents, ListTheEventsOfTheRecordedTimeUnits) {
    if (GetParam().has_events) {
        index_.events = ff::IndexHeader{ff::kIndexMagic, 1, 3, 0};
        index_.event_units[1] = {kHour + 1200, tag_of(5) | 2, 2000};
        index_.event_units[2] = {kHour + 7200, tag_of(6) | 12, 12000};
        index_.event_units[3] = {kHour + 6000, tag_of(13) | 10, 10000};
    }
    const FindOutcome outcome = run(request_of(FindKind::EventUnits));

    EXPECT_EQ(outcome.completed, GetParam().has_events);
    EXPECT_FALSE(outcome.cancelled);
    std::vector<uint32_t> times;
    for (const FoundRow& row : reports_.rows) times.push_back(row.time);
    std::vector<uint32_t> expected;
    for (uint32_t n : GetParam().listed_units) expected.push_back(index_.event_units.at(n).time);
    EXPECT_EQ(times, expected);
    EXPECT_EQ(outcome.rows, expected.size());
}

INSTANTIATE_TEST_SUITE_P(Sources, FindJobEvents,
                         ::testing::Values(EventCase{"Disk", true, {1, 3}},
                                           EventCase{"FilePair", false, {}}),
                         [](const ::testing::TestParamInfo<EventCase>& row) {
                             return std::string(row.param.name);
                         });

TEST_F(FindJobTest, ACancelStopsTheWalkAndNoRowFollows) {
    index_.time = {ff::kIndexMagic, 1, 1000, 0};
    for (uint32_t n = 1; n <= 1000; ++n) index_.time_units[n] = {kHour + n, tag_of(1), n};
    index_.hold_at(500);
    FindRequest request = request_of(FindKind::TimeUnits);
    FindJob job(index_, store_, request, reports_.sink(),
                {.rows = 50, .wait = std::chrono::hours(1)});
    ASSERT_TRUE(index_.wait_held());
    job.cancel();
    const size_t batches_at_cancel = reports_.batch_count();
    index_.release();
    ASSERT_TRUE(reports_.wait_finished());

    ASSERT_EQ(reports_.outcomes.size(), 1u);
    EXPECT_TRUE(reports_.outcomes[0].cancelled);
    EXPECT_FALSE(reports_.outcomes[0].completed);
    EXPECT_EQ(reports_.batch_count(), batches_at_cancel);
    EXPECT_EQ(batches_at_cancel, 9u);  // units 1..450 in batches of fifty
}

// Destroyed at once, the job still reports its end, before the destructor returns.
TEST_F(FindJobTest, ADestroyedJobHasReportedItsEnd) {
    index_.time = {ff::kIndexMagic, 1, ff::kLastUnitNumber, 0};
    for (uint32_t n = 1; n <= 2000; ++n) index_.time_units[n] = {kHour + n, tag_of(1), n};
    { FindJob job(index_, store_, request_of(FindKind::TimeUnits), reports_.sink()); }
    ASSERT_EQ(reports_.outcomes.size(), 1u);
    if (reports_.outcomes[0].cancelled) {
        EXPECT_FALSE(reports_.outcomes[0].completed);
    }
    EXPECT_EQ(reports_.outcomes[0].rows, reports_.rows.size());
}

TEST_F(FindJobTest, QuickRecordsAreReadOncePerSource) {
    add_quick_records();

    FindOutcome outcome = run(speed_over(50));
    EXPECT_TRUE(outcome.completed);
    EXPECT_THAT(tindexes(reports_.rows), ElementsAre(2u, 3u, 5u));
    EXPECT_EQ(reports_.rows[0].time, kHour + 1200);  // the time of its time unit
    EXPECT_EQ(reports_.rows[0].texts.size(), 8u);
    expect_growing_to_one(reports_.progress);
    // Every record once, then the three rows' records again for their tyres.
    const int scan = index_.quick_reads - 3;
    EXPECT_GE(scan, 7);

    // A later search reads only its own rows' records.
    reports_.clear();
    run(speed_over(20));
    EXPECT_THAT(tindexes(reports_.rows), ElementsAre(1u, 2u, 3u, 4u, 5u));
    EXPECT_EQ(index_.quick_reads, scan + 3 + 5);

    // Another source: read again.
    store_.forget();
    index_.quick_units[5] = quick_record(5, 20);
    reports_.clear();
    run(speed_over(50));
    EXPECT_THAT(tindexes(reports_.rows), ElementsAre(2u, 3u));
    EXPECT_EQ(index_.quick_reads, 2 * scan + 3 + 5 + 2);
}

TEST_F(FindJobTest, ARefusedQueryReadsNothingAndEnds) {
    add_quick_records();
    FindRequest request = request_of(FindKind::QuickSearch);
    request.query.search = ff::QuickSearch::GOver;
    request.query.values = {2.5};
    const FindOutcome outcome = run(request);
    EXPECT_FALSE(outcome.completed);
    EXPECT_FALSE(outcome.cancelled);
    EXPECT_THAT(reports_.rows, IsEmpty());
    EXPECT_EQ(index_.quick_reads, 0);
}

TEST_F(FindJobTest, WithoutAQuickIndexTheSearchEndsEmpty) {
    const FindOutcome outcome = run(speed_over(50));
    EXPECT_FALSE(outcome.completed);
    EXPECT_THAT(reports_.rows, IsEmpty());
    EXPECT_EQ(store_.entries(), nullptr);
}

struct DateCase {
    uint32_t time;
    std::optional<int64_t> offset;
};

class FindJobDates : public FindJobTest, public ::testing::WithParamInterface<DateCase> {};

TEST_P(FindJobDates, TheDateSearchGivesTheOffsetFound) {
    FindRequest request = request_of(FindKind::DateSearch);
    request.time = GetParam().time;
    const FindOutcome outcome = run(request);
    EXPECT_TRUE(outcome.completed);
    EXPECT_EQ(outcome.offset, GetParam().offset);
    EXPECT_THAT(reports_.rows, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Times, FindJobDates,
                         ::testing::Values(DateCase{kHour + 1800, 3000},        // a unit's own time
                                           DateCase{kHour + 1860, 3000},        // between 3 and 4
                                           DateCase{kHour + 60, std::nullopt},  // before all
                                           DateCase{kHour + 9000, std::nullopt}));  // after all

TEST(QuickEntryStoreTest, RecordsReadBeforeAForgetAreNotKept) {
    QuickEntryStore store;
    auto entries = std::make_shared<const std::vector<ff::QuickEntry>>(1);
    uint64_t generation = 0;
    EXPECT_EQ(store.entries(&generation), nullptr);
    store.forget();
    store.keep(entries, generation);
    EXPECT_EQ(store.entries(&generation), nullptr);
    store.keep(entries, generation);
    EXPECT_EQ(store.entries(), entries);
    store.forget();
    EXPECT_EQ(store.entries(), nullptr);
}

}  // namespace
}  // namespace velmora::test
