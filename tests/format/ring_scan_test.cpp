// Rings recorded block by block in memory, as a disk or a card recorder writes them, then
// opened: the oldest unit, the seam and the end of the data must be where the recorder left
// them, and walking must give every surviving GOP once, in order, both ways.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

#include "format/gop_header.h"
#include "format/index_format.h"
#include "format/ring_layout.h"
#include "format/ring_scan.h"
#include "format/stream_walker.h"
#include "format_test_support.h"

namespace {

namespace ff = fleet::format;
constexpr int64_t kBlock = ff::kBlockSize;

struct RingCase {
    const char* name;
    bool card;
    int gops;
    int unit_every;
    uint32_t first_unit;
    bool stale_header;
};

void PrintTo(const RingCase& c, std::ostream* os) {
    *os << c.name;
}

// An index as records by number: a full ring of unit numbers is 16 MiB, of which a test
// writes a few hundred records.
class RecordIndex : public fleet::format::ByteSource {
  public:
    void put(uint32_t n, const std::array<uint8_t, 16>& record) { records_[n] = record; }
    bool read_at(int64_t offset, uint8_t* dest, size_t n) override {
        const int64_t size = (int64_t{ff::kLastUnitNumber} + 1) * 16;
        if (offset < 0 || static_cast<int64_t>(n) > size - offset) return false;
        std::fill_n(dest, n, uint8_t{0});
        for (auto it = records_.lower_bound(static_cast<uint32_t>(offset / 16));
             it != records_.end() && int64_t{it->first} * 16 < offset + static_cast<int64_t>(n);
             ++it) {
            for (int64_t b = 0; b < 16; ++b) {
                const int64_t at = int64_t{it->first} * 16 + b - offset;
                if (at >= 0 && at < static_cast<int64_t>(n)) dest[at] = it->second[b];
            }
        }
        return true;
    }

  private:
    std::map<uint32_t, std::array<uint8_t, 16>> records_;
};

// A recorder writing GOPs of 1..3 blocks into a small ring and indexing every few of them.
struct RecordedRing {
    ff::RingBounds bounds;
    std::vector<uint8_t> data;
    RecordIndex index;
    std::vector<int64_t> at;      // where each GOP went
    std::vector<uint32_t> times;  // each GOP's time
    std::vector<int> owner;       // per block: the GOP that wrote it last (-1 none)
    std::map<uint32_t, int> unit_gop;

    bool intact(int g) const {
        const int64_t first = at[g] / kBlock, blocks = stored(g) / kBlock;
        for (int64_t b = first; b < first + blocks; ++b) {
            if (owner[static_cast<size_t>(b)] != g) return false;
        }
        return true;
    }
    int64_t stored(int g) const { return stream.stored[static_cast<size_t>(g)]; }

    fmt_test::Stream stream;
};

RecordedRing record(const RingCase& c) {
    RecordedRing r;
    // Card: data area [16, 64) blocks, the GOP that does not fit goes back to 16. Disk: ring
    // [0, 48) blocks, GOPs may run into a reserve up to 56.
    r.bounds = c.card ? ff::RingBounds{16 * kBlock, 64 * kBlock, 64 * kBlock}
                      : ff::RingBounds{0, 48 * kBlock, 56 * kBlock};
    r.data.assign(static_cast<size_t>(r.bounds.limit), 0);
    r.owner.assign(static_cast<size_t>(r.bounds.limit / kBlock), -1);
    std::vector<size_t> sizes;
    for (int g = 0; g < c.gops; ++g) sizes.push_back(static_cast<size_t>(100 + (g * 397) % 1200));
    r.stream = fmt_test::build_stream(sizes, 5000);
    int64_t p = r.bounds.begin;
    bool wrapped = false;
    uint32_t unit = c.first_unit, first_written = c.first_unit, last = 0;
    for (int g = 0; g < c.gops; ++g) {
        const int64_t n = r.stored(g);
        const bool past = c.card ? p + n > r.bounds.end : p >= r.bounds.end;
        if (past) {
            p = r.bounds.begin;
            wrapped = true;
        }
        std::copy_n(r.stream.bytes.begin() + r.stream.starts[static_cast<size_t>(g)], n,
                    r.data.begin() + p);
        for (int64_t b = p / kBlock; b < (p + n) / kBlock; ++b) r.owner[static_cast<size_t>(b)] = g;
        r.at.push_back(p);
        r.times.push_back(r.stream.times[static_cast<size_t>(g)]);
        if (g % c.unit_every == 0) {
            auto rec = ff::IndexUnit{r.times.back(), 0, p}.encode();
            r.index.put(unit, rec);
            r.unit_gop[unit] = g;
            last = unit;
            unit = ff::next_unit_number(unit);
        }
        p += n;
    }
    uint32_t first = first_written;
    if (!c.stale_header) {
        for (uint32_t u = first_written;; u = ff::next_unit_number(u)) {
            if (r.intact(r.unit_gop[u])) {
                first = u;
                break;
            }
            if (u == last) break;
        }
    }
    auto header = ff::IndexHeader{ff::kIndexMagic, first, last, wrapped ? 1u : 0u}.encode();
    r.index.put(0, header);
    return r;
}

// The GOPs a reader must play: from the oldest indexed GOP that survived, every later one that
// survived, in recording order.
std::vector<uint32_t> expected_times(const RecordedRing& r) {
    int oldest = -1;
    for (const auto& [unit, g] : r.unit_gop) {
        if (r.intact(g) && (oldest < 0 || g < oldest)) oldest = g;
    }
    std::vector<uint32_t> times;
    for (int g = oldest; g < static_cast<int>(r.at.size()); ++g) {
        if (r.intact(g)) times.push_back(r.times[static_cast<size_t>(g)]);
    }
    return times;
}

uint32_t time_of(const ff::WalkBuffer& buffer) {
    return ff::GopHeader::read(buffer.data).time();
}

class RingScanTest : public testing::TestWithParam<RingCase> {};

TEST_P(RingScanTest, FindsTheRecordedRunsAndWalksThemBothWays) {
    const RingCase& c = GetParam();
    RecordedRing r = record(c);
    fmt_test::MemorySource data(r.data);
    auto scan = ff::scan_ring(data, r.index, r.bounds);
    ASSERT_TRUE(scan) << scan.error().message;
    const std::vector<uint32_t> want = expected_times(r);
    ASSERT_FALSE(want.empty());
    EXPECT_EQ(scan->begin_time, want.front());
    EXPECT_EQ(scan->end_time, want.back());
    EXPECT_EQ(scan->layout.end_of_data, r.at.back() + r.stored(static_cast<int>(r.at.size()) - 1));

    ff::RingByteSource walk(data, scan->layout);
    ff::StreamCursor cursor{&walk, 0, scan->layout.walk_length(), 0};
    std::vector<uint8_t> bytes(ff::kWalkBufferSize);
    ff::WalkBuffer buffer{bytes.data(), bytes.size(), 0};
    std::vector<uint32_t> forward;
    while (ff::next_gop(cursor, buffer) == ff::kWalkRead) forward.push_back(time_of(buffer));
    EXPECT_EQ(forward, want);
    EXPECT_EQ(scan->layout.logical_of_walk(cursor.position), scan->layout.length());

    std::vector<uint32_t> backward;
    while (ff::previous_gop(cursor, buffer) == ff::kWalkRead) backward.push_back(time_of(buffer));
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(backward, want);

    // Every surviving unit's offset, made logical, leads a seek to that unit's GOP.
    for (const auto& [unit, g] : r.unit_gop) {
        if (!r.intact(g) || r.times[static_cast<size_t>(g)] < want.front()) continue;
        auto logical = scan->layout.logical_of_physical(r.at[static_cast<size_t>(g)]);
        ASSERT_TRUE(logical) << "unit " << unit;
        cursor.position = ff::round_up_block(scan->layout.walk_of_logical(*logical));
        ASSERT_EQ(ff::next_gop(cursor, buffer), ff::kWalkRead);
        EXPECT_EQ(time_of(buffer), r.times[static_cast<size_t>(g)]) << "unit " << unit;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rings, RingScanTest,
    testing::Values(RingCase{"DiskUnwrapped", false, 12, 3, 1, false},
                    RingCase{"DiskWrapped", false, 70, 3, 1, false},
                    RingCase{"DiskWrappedStaleHeader", false, 70, 3, 1, true},
                    RingCase{"DiskUnitsCrossTheLastNumber", false, 90, 2, 0xFFFF0, true},
                    RingCase{"DiskNewestUnitInOlderLap", false, 53, 7, 1, true},
                    RingCase{"CardUnwrapped", true, 10, 3, 1, false},
                    RingCase{"CardWrapped", true, 70, 3, 1, false},
                    RingCase{"CardWrappedStaleHeader", true, 95, 4, 0xFFFFA, true},
                    RingCase{"DiskManyLapsSparseUnits", false, 200, 9, 1, true},
                    RingCase{"CardManyLapsSparseUnits", true, 230, 11, 0xFFFF8, true},
                    RingCase{"CardManyLapsUnitEveryGop", true, 230, 1, 1, false}),
    [](const testing::TestParamInfo<RingCase>& param) { return std::string(param.param.name); });

TEST(RingLayoutTest, LogicalOffsetsFollowTheRunsWithInclusiveBounds) {
    ff::RingLayout ring;
    ring.wrapped = true;
    ring.start = 4096;
    ring.ring_begin = 0;
    ring.ring_end = 10240;
    ring.seam = 11264;  // the lap's last GOP ran 1 KiB into the reserve
    ring.end_of_data = 2048;
    EXPECT_EQ(ring.length(), (10240 - 4096) + 2048);
    EXPECT_EQ(ring.physical_of_logical(10240 - 4096), 10240);  // exactly the ring end
    EXPECT_EQ(ring.physical_of_logical(10240 - 4096 + 1), 1);  // one more: the beginning
    EXPECT_EQ(ring.physical_of_logical(-1), std::nullopt);
    EXPECT_EQ(ring.physical_of_logical(ring.length() + 1), std::nullopt);
    EXPECT_EQ(ring.logical_of_physical(4095), std::nullopt);
    EXPECT_EQ(ring.logical_of_physical(3000), std::nullopt);  // stale, between the runs
    EXPECT_EQ(ring.logical_of_physical(0), 10240 - 4096);
    EXPECT_EQ(ring.logical_of_physical(2048), ring.length());
    // In walk addressing the reserve's kilobyte belongs to run 1 and the seam is closed.
    EXPECT_EQ(ring.walk_length(), (11264 - 4096) + 2048);
    EXPECT_EQ(ring.physical_of_walk(11264 - 4096), 0);
    EXPECT_EQ(ring.logical_of_walk(ring.walk_length()), ring.length());
    EXPECT_EQ(ring.walk_of_logical(ring.length()), ring.walk_length());
}

TEST(RingScanRefusalTest, IndexesThatNameNothingInsideTheRingAreRefused) {
    const RecordedRing r = record({"", false, 12, 3, 1, false});
    struct Case {
        const char* what;
        ff::IndexHeader header;
        uint32_t unit = 0;  // a unit put in, pointing past the data
    } cases[] = {{"no units", {ff::kIndexMagic, 0, 0, 0}},
                 {"unit numbers off the ring", {ff::kIndexMagic, 1, 0x100000, 0}},
                 {"a last unit off the ring", {ff::kIndexMagic, 1, 900, 0}, 900}};
    for (const Case& c : cases) {
        RecordIndex index = r.index;
        index.put(0, c.header.encode());
        if (c.unit != 0) index.put(c.unit, ff::IndexUnit{1, 0, r.bounds.limit + kBlock}.encode());
        fmt_test::MemorySource data(r.data);
        EXPECT_FALSE(ff::scan_ring(data, index, r.bounds)) << c.what;
    }
}

// A unit between the first and the last with an absurd offset is read as damage: whatever
// opens keeps its runs inside the ring.
TEST(RingScanRefusalTest, AUnitOffTheRingNeverBecomesTheStart) {
    const ff::RingBounds bounds{0, 48 * kBlock, 56 * kBlock};
    std::vector<uint8_t> bytes(static_cast<size_t>(bounds.limit), 0);
    const fmt_test::Stream s = fmt_test::build_stream({100, 100}, 5);
    std::copy(s.bytes.begin(), s.bytes.end(), bytes.begin());
    RecordIndex index;
    index.put(0, ff::IndexHeader{ff::kIndexMagic, 1, 3, 1}.encode());
    index.put(1, ff::IndexUnit{s.times[0], 0, 0}.encode());
    index.put(2, ff::IndexUnit{s.times[0], 0, INT64_MIN}.encode());
    index.put(3, ff::IndexUnit{s.times[1], 0, s.starts[1]}.encode());
    fmt_test::MemorySource data(bytes);
    auto scan = ff::scan_ring(data, index, bounds);
    ASSERT_TRUE(scan) << scan.error().message;
    EXPECT_EQ(scan->layout.start, 0);
    EXPECT_EQ(scan->layout.length(), s.starts[1] + s.stored[1]);
}

// Every recording length from a few GOPs to several laps, so the ring ends at every point of
// a lap: right after a wrap, with the newest unit on the ring's first GOP, one GOP before the
// seam, and so on.
TEST(RingScanSweepTest, EveryRecordingLengthOpensToWhatSurvived) {
    for (bool card : {false, true}) {
        for (int every : {1, 2, 3}) {
            for (bool stale : {false, true}) {
                for (int gops = 5; gops < 110; ++gops) {
                    RecordedRing r = record({"", card, gops, every, stale ? 0xFFFF0u : 1u, stale});
                    fmt_test::MemorySource data(r.data);
                    auto scan = ff::scan_ring(data, r.index, r.bounds);
                    const std::string what = std::string(card ? "card" : "disk") + " unit every " +
                                             std::to_string(every) + ", " + std::to_string(gops) +
                                             " GOPs" + (stale ? ", stale header" : "");
                    ASSERT_TRUE(scan) << what << ": " << scan.error().message;
                    ff::RingByteSource walk(data, scan->layout);
                    ff::StreamCursor cursor{&walk, 0, scan->layout.walk_length(), 0};
                    std::vector<uint8_t> bytes(ff::kWalkBufferSize);
                    ff::WalkBuffer buffer{bytes.data(), bytes.size(), 0};
                    std::vector<uint32_t> forward;
                    while (ff::next_gop(cursor, buffer) == ff::kWalkRead) {
                        forward.push_back(time_of(buffer));
                    }
                    ASSERT_EQ(forward, expected_times(r)) << what;
                }
            }
        }
    }
}

}  // namespace
