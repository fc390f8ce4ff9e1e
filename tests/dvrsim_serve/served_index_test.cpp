// The index a served recorder lists, without a network: its numbering from any first unit
// along the ring 1..0xFFFFF, the unit records a request gets and the stretch a download sends.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dvrsim/served_index.h"

namespace {

using dvrsim::ServedIndex;
using dvrsim::ServedUnit;
using dvrsim::WalkRange;
namespace ff = fleet::format;

constexpr int64_t kWalkEnd = 5000;

// Five units, unit i at walk offset 1000 * i with time 100 + i; the last is not at the end, as on
// a disk, where data runs on past the last unit.
ServedIndex five_units(uint32_t first_number, int64_t third_walk = 2000) {
    std::vector<ServedUnit> units;
    for (uint32_t i = 0; i < 5; ++i) {
        const ff::IndexUnit unit{100 + i, i << 20, 1000 * i};
        units.push_back({unit.encode(), i == 2 ? third_walk : unit.offset});
    }
    return ServedIndex(ff::IndexHeader{ff::kIndexMagic, 1, 5, 1}, units, kWalkEnd, first_number);
}

TEST(ServedIndex, ListsTheUnitsFromTheFirstNumberAlongTheRing) {
    struct Case {
        uint32_t first, last;
    };
    for (const Case c : {Case{1, 5}, Case{0xFFFFB, 0xFFFFF}, Case{0xFFFFC, 1}, Case{0xFFFFF, 4}}) {
        SCOPED_TRACE(c.first);
        const ServedIndex index = five_units(c.first);
        EXPECT_EQ(index.header().first, c.first);
        EXPECT_EQ(index.header().last, c.last);
        EXPECT_EQ(index.header().magic, ff::kIndexMagic);
        EXPECT_EQ(index.header().wrapped, 1u);  // the source's, whatever the numbering
    }
}

TEST(ServedIndex, FindsUnitsByDistanceAlongTheRing) {
    const ServedIndex index = five_units(0xFFFFE);  // 0xFFFFE, 0xFFFFF, 1, 2, 3
    struct Case {
        uint32_t number;
        std::optional<size_t> position;
    };
    for (const Case c :
         {Case{0xFFFFE, 0}, Case{0xFFFFF, 1}, Case{1, 2}, Case{3, 4}, Case{4, std::nullopt},
          Case{0xFFFFD, std::nullopt}, Case{0, std::nullopt}, Case{0x100000, std::nullopt}}) {
        SCOPED_TRACE(c.number);
        EXPECT_EQ(index.position_of(c.number), c.position);
    }
}

// The records asked for, unchanged, across the wrap; any unit outside the index refuses all.
TEST(ServedIndex, GivesTheRecordsOfTheUnitsAskedFor) {
    const ServedIndex index = five_units(0xFFFFE);
    struct Case {
        uint32_t first, count;
        size_t most;
        std::vector<uint32_t> times;  // empty: refused
    };
    const Case cases[] = {
        {0xFFFFE, 5, 100, {100, 101, 102, 103, 104}},
        {0xFFFFF, 2, 100, {101, 102}},
        {2, 2, 100, {103, 104}},
        {0xFFFFE, 5, 3, {100, 101, 102}},  // no more than one reply holds
        {2, 3, 100, {}},
        {0xFFFFD, 1, 100, {}},
        {1, 0, 100, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.first) + " count " + std::to_string(c.count));
        const auto records = index.records(c.first, c.count, c.most);
        if (c.times.empty()) {
            EXPECT_FALSE(records);
            continue;
        }
        ASSERT_TRUE(records);
        ASSERT_EQ(records->size(), c.times.size() * ff::kIndexRecordSize);
        for (size_t i = 0; i < c.times.size(); ++i) {
            const auto unit = ff::IndexUnit::decode(records->data() + i * ff::kIndexRecordSize);
            EXPECT_EQ(unit.time, c.times[i]);
            EXPECT_EQ(unit.tag, (c.times[i] - 100) << 20);
            EXPECT_EQ(unit.offset, 1000 * (c.times[i] - 100));
        }
    }
}

// From the first unit's GOP up to the GOP of unit first + span, through the end of the
// recording when that is the last unit.
TEST(ServedIndex, DownloadsRunFromUnitToUnit) {
    const ServedIndex index = five_units(0xFFFFE);
    struct Case {
        uint32_t first, span;
        std::optional<WalkRange> range;
    };
    const Case cases[] = {
        {0xFFFFE, 1, WalkRange{0, 1000}},
        {0xFFFFF, 2, WalkRange{1000, 3000}},
        {2, 1, WalkRange{3000, kWalkEnd}},
        {0xFFFFE, 4, WalkRange{0, kWalkEnd}},
        {1, 0, WalkRange{2000, 2000}},
        {3, 0, WalkRange{4000, kWalkEnd}},
        {2, 2, std::nullopt},
        {0xFFFFD, 1, std::nullopt},
        {4, 1, std::nullopt},
        // last - first across 0xFFFFF: 2 - 0xFFFFE and 1 - 0xFFFFF.
        {0xFFFFE, 2u - 0xFFFFEu, WalkRange{0, 3000}},
        {0xFFFFF, 1u - 0xFFFFFu, WalkRange{1000, 2000}},
        {0xFFFFE, 4u - 0xFFFFEu, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.first) + " span " + std::to_string(c.span));
        const auto range = index.data_range(c.first, c.span);
        ASSERT_EQ(range.has_value(), c.range.has_value());
        if (!range) continue;
        EXPECT_EQ(range->begin, c.range->begin);
        EXPECT_EQ(range->end, c.range->end);
    }
}

// A unit whose GOP is not in the recording (an overwritten one on a disk) neither starts nor
// ends a download.
TEST(ServedIndex, RefusesDownloadsFromOrToAUnitOffTheRecording) {
    const ServedIndex index = five_units(1, -1);
    EXPECT_FALSE(index.data_range(3, 1));
    EXPECT_FALSE(index.data_range(1, 2));
    EXPECT_TRUE(index.data_range(1, 1));
    EXPECT_TRUE(index.data_range(4, 1));
}

TEST(ServedIndex, AdvancesAlongTheRing) {
    EXPECT_EQ(dvrsim::advance_unit(1, 0), 1u);
    EXPECT_EQ(dvrsim::advance_unit(0xFFFFF, 1), 1u);
    EXPECT_EQ(dvrsim::advance_unit(0xFFFFE, 5), 4u);
    EXPECT_EQ(dvrsim::advance_unit(7, ff::kLastUnitNumber), 7u);
    EXPECT_EQ(dvrsim::ring_span(3), 3u);
    EXPECT_EQ(dvrsim::ring_span(1u - 0xFFFFFu), 1u);
    EXPECT_EQ(dvrsim::ring_span(0xFFFFEu - 0xFFFFFu), 0xFFFFEu);
}

}  // namespace
