// The finder's time and event listings and its date search over indexes held in memory:
// which units list, in what order along the ring, and what the date search lands on.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "find_fakes.h"
#include "format/index_find.h"

namespace find_test {
namespace {

constexpr uint32_t kLast = ff::kLastUnitNumber;

// 2024-03-10 00:00:00 UTC; the listings' hours are counted from here.
constexpr uint32_t kDay = 1710028800;
constexpr uint32_t at(int h, int m, int s) {
    return kDay + static_cast<uint32_t>(h * 3600 + m * 60 + s);
}

uint32_t tag_of(int type, uint32_t time_unit = 0) {
    return static_cast<uint32_t>(type) << ff::kEventTypeShift | time_unit;
}

struct Unit {
    uint32_t time;
    int type = 0;
};

// Time units numbered from `first` along the ring.
FakeIndexReader time_index(uint32_t first, const std::vector<Unit>& units) {
    FakeIndexReader r;
    uint32_t n = first, last = first;
    for (size_t i = 0; i < units.size(); ++i, n = ff::next_unit_number(n)) {
        r.time_units[n] = {units[i].time, tag_of(units[i].type), 1000 * int64_t{n}};
        last = n;
    }
    r.time = header(first, last);
    return r;
}

std::vector<ff::UnitRow> all_rows(bool (*list)(ff::IndexReader&, const ff::UnitSink&),
                                  ff::IndexReader& reader, bool* finished = nullptr) {
    std::vector<ff::UnitRow> rows;
    const bool done = list(reader, [&rows](const ff::UnitRow& row) {
        rows.push_back(row);
        return true;
    });
    if (finished) *finished = done;
    return rows;
}

std::vector<uint32_t> listed_times(ff::IndexReader& reader) {
    std::vector<uint32_t> times;
    for (const auto& row : all_rows(ff::list_time_units, reader)) times.push_back(row.time);
    return times;
}

struct TimeListCase {
    const char* name;
    std::vector<Unit> units;
    std::vector<uint32_t> listed;  // times
};

void PrintTo(const TimeListCase& c, std::ostream* os) {
    *os << c.name;
}

class TimeListing : public testing::TestWithParam<TimeListCase> {};

TEST_P(TimeListing, ListsTheFirstTheHoursAndTheEvents) {
    FakeIndexReader reader = time_index(100, GetParam().units);
    EXPECT_EQ(listed_times(reader), GetParam().listed);
}

const TimeListCase kTimeLists[] = {
    {"within_one_hour_only_the_first_and_the_events",
     {{at(10, 5, 0)}, {at(10, 20, 0)}, {at(10, 30, 0), 3}, {at(10, 59, 59)}, {at(10, 59, 59), 9}},
     {at(10, 5, 0), at(10, 30, 0), at(10, 59, 59)}},
    {"exact_hours_list_and_become_the_mark",
     {{at(10, 59, 50)}, {at(11, 0, 0)}, {at(11, 30, 0)}, {at(11, 59, 59)}, {at(12, 0, 0)}},
     {at(10, 59, 50), at(11, 0, 0), at(12, 0, 0)}},
    // The first unit's mark is its hour: 11:00:05 is an hour after 10:00.
    {"an_hour_after_the_first_units_hour",
     {{at(10, 20, 30)}, {at(10, 59, 59)}, {at(11, 0, 5)}, {at(11, 40, 0)}},
     {at(10, 20, 30), at(11, 0, 5)}},
    // After a gap the mark is the listed unit's minute, 11:20:00, so 12:20:10 is an hour on
    // while 12:19:59 is not.
    {"after_a_gap_the_mark_is_the_minute",
     {{at(10, 10, 0)}, {at(11, 20, 45)}, {at(12, 19, 59)}, {at(12, 20, 10)}, {at(12, 50, 0)}},
     {at(10, 10, 0), at(11, 20, 45), at(12, 20, 10)}},
    {"every_event_type_lists_15_included",
     {{at(9, 0, 1)}, {at(9, 0, 2), 1}, {at(9, 0, 3)}, {at(9, 0, 4), 15}, {at(9, 0, 5), 7}},
     {at(9, 0, 1), at(9, 0, 2), at(9, 0, 4), at(9, 0, 5)}},
    // A clock set back puts units before the mark: they list only for their events.
    {"a_clock_set_back_lists_nothing_new",
     {{at(10, 30, 0)}, {at(9, 10, 0)}, {at(9, 20, 0), 2}, {at(10, 40, 0)}},
     {at(10, 30, 0), at(9, 20, 0)}},
};

INSTANTIATE_TEST_SUITE_P(Rules, TimeListing, testing::ValuesIn(kTimeLists),
                         [](const auto& c) { return std::string(c.param.name); });

TEST(TimeListingRows, CarryNumberTimeOffsetAndEventType) {
    FakeIndexReader reader = time_index(7, {{at(1, 0, 0)}, {at(1, 0, 1), 15}});
    const std::vector<ff::UnitRow> expected = {{7, at(1, 0, 0), 7000, 0},
                                               {8, at(1, 0, 1), 8000, 15}};
    EXPECT_EQ(all_rows(ff::list_time_units, reader), expected);
}

TEST(TimeListingRows, AWrappedIndexListsAlongTheRingAndReadsNothingElse) {
    std::vector<Unit> units;
    for (int i = 0; i < 5; ++i) units.push_back({at(3, 0, i + 1), 1});
    FakeIndexReader reader = time_index(kLast - 1, units);
    ASSERT_EQ(reader.time->first, kLast - 1);
    ASSERT_EQ(reader.time->last, 3u);
    // Stale units outside the header's range are there to be read, and must not be.
    reader.time_units[kLast - 2] = {at(3, 0, 0), tag_of(1), 1};
    reader.time_units[4] = {at(3, 0, 9), tag_of(1), 1};
    std::vector<uint32_t> numbers;
    for (const auto& row : all_rows(ff::list_time_units, reader)) numbers.push_back(row.unit);
    EXPECT_EQ(numbers, (std::vector<uint32_t>{kLast - 1, kLast, 1, 2, 3}));
    EXPECT_EQ(reader.time_reads, numbers);
}

TEST(TimeListingRows, UnreadableUnitsArePassedOverAndTheSinkCanStop) {
    FakeIndexReader reader = time_index(1, {{at(1, 0, 0)}, {at(1, 0, 1), 2}, {at(1, 0, 2), 3}});
    reader.time_units.erase(2);
    bool finished = false;
    std::vector<ff::UnitRow> rows = all_rows(ff::list_time_units, reader, &finished);
    EXPECT_TRUE(finished);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].unit, 3u);

    int seen = 0;
    EXPECT_FALSE(ff::list_time_units(reader, [&seen](const ff::UnitRow&) { return ++seen < 1; }));
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(reader.time_reads.back(), 1u);  // nothing read after the stop

    reader.time.reset();
    EXPECT_FALSE(ff::list_time_units(reader, [](const ff::UnitRow&) { return true; }));
}

// The time index runs 0xFFFF0..5 over the ring's end; the event index itself wraps too.
TEST(EventListing, ListsEventsWhoseTimeUnitIsStillRecorded) {
    FakeIndexReader reader;
    reader.time = header(kLast - 15, 5);
    struct Event {
        uint32_t time_unit;
        bool listed;
    };
    const Event events[] = {{kLast - 15, true}, {kLast - 16, false}, {kLast, true},
                            {1, true},          {5, true},           {6, false},
                            {0, false},         {kLast - 3, true}};
    uint32_t n = kLast - 2;
    std::vector<ff::UnitRow> expected;
    for (size_t i = 0; i < std::size(events); ++i, n = ff::next_unit_number(n)) {
        const int type = static_cast<int>(i % 15) + 1;
        const ff::IndexUnit unit{at(0, 0, static_cast<int>(i)), tag_of(type, events[i].time_unit),
                                 77 + int64_t{n}};
        reader.event_units[n] = unit;
        if (events[i].listed) expected.push_back({n, unit.time, unit.offset, type});
        reader.event = header(kLast - 2, n);
    }
    ASSERT_EQ(reader.event->last, 5u);
    bool finished = false;
    EXPECT_EQ(all_rows(ff::list_event_units, reader, &finished), expected);
    EXPECT_TRUE(finished);
}

TEST(EventListing, NeedsBothIndexes) {
    FakeIndexReader reader = time_index(1, {{at(1, 0, 0)}});
    reader.event_units[1] = {at(1, 0, 0), tag_of(2, 1), 0};
    EXPECT_TRUE(all_rows(ff::list_event_units, reader).empty());  // a file pair: no event index
    bool finished = true;
    all_rows(ff::list_event_units, reader, &finished);
    EXPECT_FALSE(finished);
    reader.event = header(1, 1);
    EXPECT_EQ(all_rows(ff::list_event_units, reader).size(), 1u);
    reader.time.reset();
    all_rows(ff::list_event_units, reader, &finished);
    EXPECT_FALSE(finished);
}

TEST(UnitTexts, TimesAreUtcWhateverTheLocalZone) {
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    EXPECT_EQ(ff::unit_time_text(0), "1970/01/01 00:00:00");
    EXPECT_EQ(ff::unit_time_text(at(13, 5, 9)), "2024/03/10 13:05:09");
    EXPECT_EQ(ff::unit_time_text(951782400), "2000/02/29 00:00:00");
    EXPECT_EQ(ff::unit_time_text(0xFFFFFFFFu), "2106/02/07 06:28:15");
    unsetenv("TZ");
    tzset();
}

TEST(UnitTexts, EventTypesByNameAndFifteenByNumber) {
    std::array<std::string, 15> names;
    for (size_t i = 0; i < names.size(); ++i) names[i] = "name" + std::to_string(i);
    EXPECT_EQ(ff::event_type_text(0, names), "name0");
    EXPECT_EQ(ff::event_type_text(14, names), "name14");
    EXPECT_EQ(ff::event_type_text(15, names), "15");
}

struct DateCase {
    const char* name;
    uint32_t time;
    std::optional<int64_t> offset;
};

void PrintTo(const DateCase& c, std::ostream* os) {
    *os << c.name;
}

class DateSearch : public testing::TestWithParam<DateCase> {};

// Units 0xFFFFE, 0xFFFFF, 1, 2 at 10:00, 10:10, 10:20, 10:30: offsets 1000 x their number.
TEST_P(DateSearch, LandsOnTheUnitAtOrJustBefore) {
    FakeIndexReader reader =
        time_index(kLast - 1, {{at(10, 0, 0)}, {at(10, 10, 0)}, {at(10, 20, 0)}, {at(10, 30, 0)}});
    EXPECT_EQ(ff::find_time(reader, GetParam().time), GetParam().offset);
}

const DateCase kDates[] = {
    {"exact_unit", at(10, 20, 0), 1000},
    {"exact_first_unit", at(10, 0, 0), 1000 * int64_t{kLast - 1}},
    {"exact_last_unit", at(10, 30, 0), 2000},
    {"unit_before", at(10, 15, 0), 1000 * int64_t{kLast}},
    {"unit_before_across_the_ring_end", at(10, 29, 0), 1000},
    {"none_before", at(9, 59, 0), std::nullopt},
    {"index_ends_before", at(10, 31, 0), std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Cases, DateSearch, testing::ValuesIn(kDates),
                         [](const auto& c) { return std::string(c.param.name); });

TEST(DateSearchReads, NothingWithoutAHeader) {
    FakeIndexReader reader = time_index(1, {{at(10, 0, 0)}});
    reader.time.reset();
    EXPECT_EQ(ff::find_time(reader, at(10, 0, 0)), std::nullopt);
}

TEST(QuickRowOffset, OnlyForUnitsInTheRecordedRange) {
    FakeIndexReader reader = time_index(kLast, {{at(1, 0, 0)}, {at(1, 0, 10)}, {at(1, 0, 20)}});
    reader.time_units[3] = {at(1, 0, 30), 0, 3000};  // written, but outside first..last
    EXPECT_EQ(ff::quick_row_offset(reader, kLast), 1000 * int64_t{kLast});
    EXPECT_EQ(ff::quick_row_offset(reader, 2), 2000);
    EXPECT_EQ(ff::quick_row_offset(reader, 3), std::nullopt);
    EXPECT_EQ(ff::quick_row_offset(reader, 0), std::nullopt);
    reader.time_units.erase(1);
    EXPECT_EQ(ff::quick_row_offset(reader, 1), std::nullopt);
}

}  // namespace
}  // namespace find_test
