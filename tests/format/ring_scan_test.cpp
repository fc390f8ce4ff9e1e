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

// A recorder writing GOPs of 1..3 blocks into a small ring and indexing every few of them.
struct RecordedRing {
    ff::RingBounds bounds;
    std::vector<uint8_t> data;
    std::vector<uint8_t> index;
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
    r.index.assign((ff::kLastUnitNumber + 1) * ff::kIndexRecordSize, 0);
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
            std::copy(rec.begin(), rec.end(), r.index.begin() + unit * ff::kIndexRecordSize);
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
    std::copy(header.begin(), header.end(), r.index.begin());
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
    fmt_test::MemorySource data(r.data), index(r.index);
    auto scan = ff::scan_ring(data, index, r.bounds);
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
    RecordedRing r = record({"", false, 12, 3, 1, false});
    struct Case {
        const char* what;
        ff::IndexHeader header;
    } cases[] = {{"no units", {ff::kIndexMagic, 0, 0, 0}},
                 {"unit numbers off the ring", {ff::kIndexMagic, 1, 0x100000, 0}},
                 {"a last unit never written", {ff::kIndexMagic, 1, 900, 0}}};
    for (const Case& c : cases) {
        std::vector<uint8_t> index = r.index;
        auto header = c.header.encode();
        std::copy(header.begin(), header.end(), index.begin());
        fmt_test::MemorySource data(r.data), source(index);
        if (c.header.last == 900) {
            // A unit of zeros points at offset 0 with time 0: inside the ring, so it is read
            // as data; only an offset outside the ring is refused.
            auto unit = ff::IndexUnit{1, 0, r.bounds.limit + kBlock}.encode();
            std::copy(unit.begin(), unit.end(), index.begin() + 900 * ff::kIndexRecordSize);
            source = fmt_test::MemorySource(index);
        }
        EXPECT_FALSE(ff::scan_ring(data, source, r.bounds)) << c.what;
    }
}

}  // namespace
