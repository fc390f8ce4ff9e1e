// A click on the map's track seeks to its time through the time index, a click on a search
// result plays from its quick index record; both walk the index ring.
#include <map>

#include "format/index_format.h"
#include "model/map_seek.h"
#include "session_fixture.h"

namespace velmora::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct Unit {
    uint32_t time;
    int64_t offset;
};

// An index of the units given, numbered along the ring from `first`.
class ListedIndex : public TimeIndexReader {
  public:
    ListedIndex(uint32_t first, std::vector<Unit> units) : first_(first) {
        uint32_t n = first;
        for (const Unit& unit : units) {
            last_ = n;
            units_[n] = unit;
            n = fleet::format::next_unit_number(n);
        }
    }
    bool header(uint32_t& first, uint32_t& last) override {
        if (!present) return false;
        first = first_;
        last = last_;
        return true;
    }
    bool unit(uint32_t n, uint32_t& time, int64_t& offset) override {
        const auto found = units_.find(n);
        if (found == units_.end()) return false;
        time = found->second.time;
        offset = found->second.offset;
        return true;
    }
    void lose(uint32_t n) { units_.erase(n); }
    bool present = true;

  private:
    uint32_t first_;
    uint32_t last_ = 0;
    std::map<uint32_t, Unit> units_;
};

struct TimeCase {
    const char* name;
    uint32_t first;
    std::vector<Unit> units;
    uint32_t t;
    std::optional<int64_t> offset;
};

constexpr uint32_t kT = 1'600'000'000;

TEST(MapSeek, ATimeSeeksToTheUnitAtOrAfterItOrProportionallyBetween) {
    const std::vector<Unit> three = {{kT, 1000}, {kT + 10, 5000}, {kT + 20, 6000}};
    const uint32_t seam = fleet::format::kLastUnitNumber - 1;  // units 0xFFFFE, 0xFFFFF, 1, 2
    const std::vector<Unit> across = {{kT, 0}, {kT + 4, 400}, {kT + 8, 800}, {kT + 12, 2000}};
    const TimeCase cases[] = {
        {"before the first unit", 1, three, kT - 100, 1000},
        {"at the first unit", 1, three, kT, 1000},
        {"between: a fifth of the way", 1, three, kT + 2, 1800},
        {"between: just below the next unit", 1, three, kT + 9, 4600},
        {"exactly at a later unit", 1, three, kT + 10, 5000},
        {"between the last two", 1, three, kT + 15, 5500},
        {"at the last unit", 1, three, kT + 20, 6000},
        {"past the last unit: nothing", 1, three, kT + 21, std::nullopt},
        {"across the seam: the unit after 0xFFFFF is 1", seam, across, kT + 10, 1400},
        {"across the seam: on unit 1", seam, across, kT + 8, 800},
        {"across the seam: past unit 2", seam, across, kT + 13, std::nullopt},
        {"a single unit, before it", 9, {{kT, 70}}, kT - 1, 70},
        {"a single unit, after it", 9, {{kT, 70}}, kT + 1, std::nullopt},
        {"first unit outside the recorded data",
         1,
         {{kT, -1}, {kT + 10, 500}},
         kT - 1,
         std::nullopt},
        {"unit before outside the recorded data", 1, {{kT, -1}, {kT + 10, 500}}, kT + 5, 500},
        {"found unit outside the recorded data", 1, {{kT, 0}, {kT + 10, -1}}, kT + 5, std::nullopt},
        // The clock went back between the first two units: the unit before the found one is
        // the second, so 100 + 55 / 60 x 200.
        {"a time going back inside the index",
         1,
         {{kT, 0}, {kT - 50, 100}, {kT + 10, 300}},
         kT + 5,
         283},
    };
    for (const TimeCase& c : cases) {
        ListedIndex index(c.first, c.units);
        EXPECT_EQ(time_seek_offset(index, c.t), c.offset) << c.name;
    }
}

TEST(MapSeek, AFailedReadSeeksNowhere) {
    ListedIndex index(1, {{kT, 0}, {kT + 10, 100}, {kT + 20, 200}});
    index.lose(2);
    EXPECT_EQ(time_seek_offset(index, kT), 0);  // the walk stops before the lost unit
    EXPECT_EQ(time_seek_offset(index, kT + 15), std::nullopt);
    index.present = false;
    EXPECT_EQ(time_seek_offset(index, kT), std::nullopt);
}

class ListedQuickIndex : public QuickIndexReader {
  public:
    bool header(uint32_t& first_out, uint32_t& last_out) override {
        if (!present) return false;
        first_out = first;
        last_out = last;
        return true;
    }
    bool time_unit(uint32_t n, uint32_t& unit) override {
        const auto found = records.find(n);
        if (found == records.end()) return false;
        unit = found->second;
        return true;
    }
    bool present = true;
    uint32_t first = 1;
    uint32_t last = 0;
    std::map<uint32_t, uint32_t> records;
};

struct QuickCase {
    const char* name;
    uint32_t record;
    std::optional<int64_t> offset;
};

TEST(MapSeek, AQuickRecordPlaysFromItsUnitWhenEachNumberLiesInItsOwnIndex) {
    // Time index units 0xFFFFE..3 across the seam; quick records 0xFFFFF..5 across it too.
    const uint32_t seam = fleet::format::kLastUnitNumber - 1;
    ListedIndex index(seam,
                      {{kT, 100}, {kT + 1, 200}, {kT + 2, 300}, {kT + 3, 400}, {kT + 4, 500}});
    ListedQuickIndex quick;
    quick.first = fleet::format::kLastUnitNumber;
    quick.last = 5;
    quick.records = {
        {fleet::format::kLastUnitNumber, seam}, {1, 3}, {2, 1}, {3, 40}, {4, 0}, {6, 2}};
    const QuickCase cases[] = {
        {"record at the start of the ring", fleet::format::kLastUnitNumber, 100},
        {"record 1 points past the seam", 1, 500},
        {"record 2 points at unit 1", 2, 300},
        {"unit outside the time index", 3, std::nullopt},
        {"unit 0 is a header", 4, std::nullopt},
        {"record 5 in range but unreadable", 5, std::nullopt},
        {"record 6 outside the quick index though readable", 6, std::nullopt},
        {"record 0 is the header", 0, std::nullopt},
        {"far outside", 500000, std::nullopt},
    };
    for (const QuickCase& c : cases)
        EXPECT_EQ(quick_entry_offset(quick, index, c.record), c.offset) << c.name;
    quick.present = false;
    EXPECT_EQ(quick_entry_offset(quick, index, 2), std::nullopt);
    quick.present = true;
    index.present = false;
    EXPECT_EQ(quick_entry_offset(quick, index, 2), std::nullopt);
}

// ---- through the session and the engine's entry points ------------------------------------

void fill_units(FakeEngine& engine, uint32_t first, const std::vector<Unit>& units) {
    engine.first_unit = first;
    engine.units.clear();
    uint32_t n = first;
    for (const Unit& unit : units) {
        engine.last_unit = n;
        engine.units[n] = {unit.time, unit.offset};
        n = fleet::format::next_unit_number(n);
    }
}

TEST_F(SessionTest, ATrackTimeSeeksWhilePlayingLikeTheSlider) {
    bring_to(PlayerState::Playing);
    fill_units(engine(), 1, {{kT, 0}, {kT + 10, 0x100000000LL + 10}});
    session_.seek_to_time(kT + 5);
    // Half way: (2^32 + 10) / 2 = 2^31 + 5.
    EXPECT_THAT(engine().play_calls,
                ElementsAre(PlayCall{KIVRA_CMD_SEEK, 0, static_cast<int32_t>(0x80000005u), 0}));
    EXPECT_THAT(view_.resets, ElementsAre(false));
}

TEST_F(SessionTest, ATrackTimeWhilePausedPlaysAndSeeksWhenPlayIsReported) {
    bring_to(PlayerState::Paused);
    fill_units(engine(), 1, {{kT, 40}, {kT + 10, 140}});
    session_.seek_to_time(kT - 3);
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_PLAY));
    EXPECT_EQ(session_.pending_seek(), 40);
    session_.on_play_event(KIVRA_RESULT_PLAY_OK, 0);
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_PLAY, KIVRA_CMD_SEEK));
}

TEST_F(SessionTest, ATrackTimePastTheIndexDoesNothing) {
    bring_to(PlayerState::Playing);
    fill_units(engine(), 1, {{kT, 40}, {kT + 10, 140}});
    session_.seek_to_time(kT + 11);
    EXPECT_THAT(engine().play_calls, IsEmpty());
    EXPECT_THAT(view_.resets, IsEmpty());
}

TEST_F(SessionTest, AQuickRecordPlaysFromItsUnitThroughTheEnginesRecords) {
    bring_to(PlayerState::Playing);
    fill_units(engine(), 5, {{kT, 500}, {kT + 1, 600}, {kT + 2, 700}});
    engine().has_quick_index = true;
    engine().quick_first = 10;
    engine().quick_last = 12;
    engine().quick_records = {{10, 6}, {11, 9}, {12, 7}};
    session_.play_quick_entry(12);
    EXPECT_THAT(engine().play_calls, ElementsAre(PlayCall{KIVRA_CMD_SEEK, 0, 700, 0}));
    forget();
    session_.play_quick_entry(11);  // unit 9 lies outside the time index
    session_.play_quick_entry(13);  // outside the quick index
    session_.play_quick_entry(7);   // a time index unit number, not a quick record
    EXPECT_THAT(engine().play_calls, IsEmpty());
    engine().has_quick_index = false;
    session_.play_quick_entry(10);
    EXPECT_THAT(engine().play_calls, IsEmpty());
}

}  // namespace
}  // namespace velmora::test
