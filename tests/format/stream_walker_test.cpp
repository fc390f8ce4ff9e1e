#include <gtest/gtest.h>

#include <climits>
#include <iterator>
#include <string>
#include <vector>

#include "common/le.h"
#include "format/gop_builder.h"
#include "format/gop_header.h"
#include "format/stream_walker.h"
#include "format_test_support.h"

namespace {

using fleet::format::StreamCursor;
using fleet::format::WalkBuffer;
using fmt_test::MemorySource;
using fmt_test::Stream;

// Stored lengths 512, 1024, 2048, 512 (exactly full), 512, 2048.
const std::vector<size_t> kSizes = {100, 700, 1500, 472, 10, 2000};

class Walker : public ::testing::Test {
  protected:
    explicit Walker(Stream stream = fmt_test::build_stream(kSizes))
        : stream_(std::move(stream)), source_(stream_.bytes) {}

    fleet::format::StreamCursor at(int64_t position) {
        return {&source_, 0, static_cast<int64_t>(stream_.bytes.size()), position};
    }
    int64_t end() const { return static_cast<int64_t>(stream_.bytes.size()); }
    int last() const { return static_cast<int>(stream_.starts.size()) - 1; }

    // The GOP in the buffer is GOP i of the stream, read whole.
    ::testing::AssertionResult holds(int i) {
        uint32_t time = fleet::load_u32(buffer_.data + 12);
        if (buffer_.length != static_cast<size_t>(stream_.stored[static_cast<size_t>(i)]) ||
            time != stream_.times[static_cast<size_t>(i)]) {
            return ::testing::AssertionFailure() << "holds GOP of time " << time << ", length "
                                                 << buffer_.length << "; expected GOP " << i;
        }
        return ::testing::AssertionSuccess();
    }
    int64_t start(int i) const { return stream_.starts[static_cast<size_t>(i)]; }

    Stream stream_;
    MemorySource source_;
    std::vector<uint8_t> storage_ = std::vector<uint8_t>(64 * 1024);
    fleet::format::WalkBuffer buffer_{storage_.data(), storage_.size(), 0};
};

TEST_F(Walker, NextVisitsEveryGopThenReportsTheEnd) {
    fleet::format::StreamCursor cursor = at(0);
    for (int i = 0; i <= last(); ++i) {
        ASSERT_EQ(fleet::format::next_gop(cursor, buffer_), fleet::format::kWalkRead) << i;
        EXPECT_TRUE(holds(i));
        EXPECT_EQ(cursor.position, start(i) + stream_.stored[static_cast<size_t>(i)]);
    }
    EXPECT_EQ(fleet::format::next_gop(cursor, buffer_), fleet::format::kWalkEnd);
    EXPECT_EQ(cursor.position, end());
    EXPECT_EQ(fleet::format::next_gop(cursor, buffer_), fleet::format::kWalkEnd);
    EXPECT_EQ(cursor.position, end());
}

TEST_F(Walker, NextRoundsAPositionUpToTheNextBlock) {
    fleet::format::StreamCursor cursor = at(1);
    ASSERT_EQ(fleet::format::next_gop(cursor, buffer_), fleet::format::kWalkRead);
    EXPECT_TRUE(holds(1));
}

TEST_F(Walker, PreviousFromTheEndVisitsEveryGopInReverse) {
    fleet::format::StreamCursor cursor = at(end());
    for (int i = last(); i >= 0; --i) {
        ASSERT_EQ(fleet::format::previous_gop(cursor, buffer_), fleet::format::kWalkRead) << i;
        EXPECT_TRUE(holds(i));
        EXPECT_EQ(cursor.position, start(i));
    }
    EXPECT_EQ(fleet::format::previous_gop(cursor, buffer_), fleet::format::kWalkBeginning);
    EXPECT_EQ(cursor.position, 0);
}

TEST_F(Walker, PreviousReturnsTheGopEndingAtTheStartOfTheNext) {
    for (int i = 1; i <= last(); ++i) {
        fleet::format::StreamCursor cursor = at(start(i));
        ASSERT_EQ(fleet::format::previous_gop(cursor, buffer_), fleet::format::kWalkRead) << i;
        EXPECT_TRUE(holds(i - 1));
        EXPECT_EQ(cursor.position, start(i - 1));
    }
}

TEST_F(Walker, ForwardThenBackwardReturnsTheSameGop) {
    fleet::format::StreamCursor cursor = at(0);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(fleet::format::next_gop(cursor, buffer_), fleet::format::kWalkRead);
    ASSERT_EQ(fleet::format::previous_gop(cursor, buffer_), fleet::format::kWalkRead);
    EXPECT_TRUE(holds(2));
    ASSERT_EQ(fleet::format::next_gop(cursor, buffer_), fleet::format::kWalkRead);
    EXPECT_TRUE(holds(2));
}

TEST(WalkerBeginning, PreviousFromInsideTheFirstGopReachesTheBeginning) {
    Stream stream = fmt_test::build_stream({1400, 100});
    ASSERT_EQ(stream.stored[0], 1536);
    MemorySource source(stream.bytes);
    std::vector<uint8_t> storage(64 * 1024);
    fleet::format::WalkBuffer buffer{storage.data(), storage.size(), 0};
    for (int64_t position : {0, 1, 512, 1000, 1024}) {
        fleet::format::StreamCursor cursor{&source, 0, static_cast<int64_t>(stream.bytes.size()),
                                           position};
        EXPECT_EQ(fleet::format::previous_gop(cursor, buffer), fleet::format::kWalkBeginning)
            << position;
        EXPECT_EQ(cursor.position, 0) << position;
    }
}

TEST_F(Walker, SkipForward) {
    struct Row {
        int64_t from;
        int n;
        int result;
        int gop;  // read, or -1 at the end
    } rows[] = {{0, 1, fleet::format::kWalkRead, 1},    {0, 3, fleet::format::kWalkRead, 3},
                {0, 5, fleet::format::kWalkRead, 5},    {0, 6, fleet::format::kWalkEnd, -1},
                {0, 1000, fleet::format::kWalkEnd, -1}, {1536, 2, fleet::format::kWalkRead, 4},
                {1537, 1, fleet::format::kWalkRead, 4}};
    for (const auto& row : rows) {
        SCOPED_TRACE("from " + std::to_string(row.from) + " skip " + std::to_string(row.n));
        fleet::format::StreamCursor cursor = at(row.from);
        ASSERT_EQ(fleet::format::skip_forward(cursor, row.n, buffer_), row.result);
        if (row.gop >= 0) {
            EXPECT_TRUE(holds(row.gop));
            EXPECT_EQ(cursor.position,
                      start(row.gop) + stream_.stored[static_cast<size_t>(row.gop)]);
        } else {
            EXPECT_EQ(cursor.position, end());
        }
    }
}

TEST_F(Walker, SkipBackward) {
    struct Row {
        int64_t from;
        int n;
        int result;
        int gop;  // read, or -1 at the beginning
    } rows[] = {
        {-1, 1, fleet::format::kWalkRead, 4},       {-1, 5, fleet::format::kWalkRead, 0},
        {-1, 6, fleet::format::kWalkBeginning, -1}, {-1, 1000, fleet::format::kWalkBeginning, -1},
        {4, 1, fleet::format::kWalkRead, 2},        {4, 3, fleet::format::kWalkRead, 0},
        {4, 4, fleet::format::kWalkBeginning, -1}};
    for (const auto& row : rows) {
        SCOPED_TRACE("from " + std::to_string(row.from) + " skip " + std::to_string(row.n));
        fleet::format::StreamCursor cursor =
            at(row.from < 0 ? end() : start(static_cast<int>(row.from)));
        ASSERT_EQ(fleet::format::skip_backward(cursor, row.n, buffer_), row.result);
        if (row.gop >= 0) {
            EXPECT_TRUE(holds(row.gop));
            EXPECT_EQ(cursor.position, start(row.gop));
        } else {
            EXPECT_EQ(cursor.position, 0);
        }
    }
}

TEST_F(Walker, SkipCountsBelowOneAreRefused) {
    for (int n : {0, -1, INT_MIN}) {
        for (bool forward : {true, false}) {
            SCOPED_TRACE(std::string(forward ? "forward " : "backward ") + std::to_string(n));
            fleet::format::StreamCursor cursor = at(start(2));
            int reads = source_.reads();
            int result = forward ? fleet::format::skip_forward(cursor, n, buffer_)
                                 : fleet::format::skip_backward(cursor, n, buffer_);
            EXPECT_EQ(result, fleet::format::kWalkNotOpen);
            EXPECT_EQ(cursor.position, start(2));
            EXPECT_EQ(source_.reads(), reads);
        }
    }
}

TEST_F(Walker, WalkersNeedASourceAndABuffer) {
    using Walk = int (*)(fleet::format::StreamCursor&, fleet::format::WalkBuffer&);
    const Walk walks[] = {fleet::format::next_gop, fleet::format::previous_gop,
                          [](fleet::format::StreamCursor& c, fleet::format::WalkBuffer& b) {
                              return fleet::format::skip_forward(c, 1, b);
                          },
                          [](fleet::format::StreamCursor& c, fleet::format::WalkBuffer& b) {
                              return fleet::format::skip_backward(c, 1, b);
                          }};
    for (size_t w = 0; w < std::size(walks); ++w) {
        fleet::format::StreamCursor no_source{nullptr, 0, end(), 0};
        EXPECT_EQ(walks[w](no_source, buffer_), fleet::format::kWalkNotOpen) << w;
        fleet::format::StreamCursor cursor = at(start(1));
        fleet::format::WalkBuffer no_buffer{nullptr, 1 << 20, 0};
        EXPECT_EQ(walks[w](cursor, no_buffer), fleet::format::kWalkNotOpen) << w;
    }
}

TEST_F(Walker, GopLargerThanTheBufferIsAReadErrorAtItsStart) {
    fleet::format::WalkBuffer small{storage_.data(), 1024, 0};
    fleet::format::StreamCursor cursor = at(start(1));
    EXPECT_EQ(fleet::format::next_gop(cursor, small), fleet::format::kWalkRead);
    EXPECT_EQ(fleet::format::next_gop(cursor, small), fleet::format::kWalkReadError);
    EXPECT_EQ(cursor.position, start(2));
    EXPECT_EQ(fleet::format::next_gop(cursor, small), fleet::format::kWalkReadError);
    EXPECT_EQ(cursor.position, start(2));
    // Passing over it needs no buffer room.
    EXPECT_EQ(fleet::format::skip_forward(cursor, 1, small), fleet::format::kWalkRead);
    buffer_.length = small.length;
    EXPECT_TRUE(holds(3));

    cursor = at(start(3));
    EXPECT_EQ(fleet::format::previous_gop(cursor, small), fleet::format::kWalkReadError);
    EXPECT_EQ(cursor.position, start(2));
}

TEST_F(Walker, FailedReadsAreReadErrors) {
    struct Row {
        const char* name;
        int64_t fail_at;
        bool forward;
        int64_t from, position;
    } rows[] = {
        {"forward: the block that starts the GOP", start(2) + 100, true, start(2), start(2)},
        {"forward: the rest of the GOP", start(2) + 600, true, start(2), start(2)},
        {"forward: a block being scanned", start(3) + 10, true, start(2) + 1, start(3)},
        {"backward: the block with the back-link", start(3) + 4, false, start(3), start(3)},
        {"backward: the GOP it leads to", start(2) + 1500, false, start(3), start(2)},
        {"backward from the end: the last block", end() - 1, false, end(), end() - 512},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        MemorySource source(stream_.bytes);
        source.fail_at(row.fail_at);
        fleet::format::StreamCursor cursor{&source, 0, end(), row.from};
        int result = row.forward ? fleet::format::next_gop(cursor, buffer_)
                                 : fleet::format::previous_gop(cursor, buffer_);
        EXPECT_EQ(result, fleet::format::kWalkReadError);
        EXPECT_EQ(cursor.position, row.position);
    }
}

// The recorded region may start after other data; nothing before `begin` is returned.
TEST_F(Walker, BackLinksDoNotLeadBeforeTheBeginning) {
    fleet::format::StreamCursor cursor{&source_, start(2), end(), end()};
    for (int i = last(); i >= 2; --i) {
        ASSERT_EQ(fleet::format::previous_gop(cursor, buffer_), fleet::format::kWalkRead);
        EXPECT_TRUE(holds(i));
    }
    EXPECT_EQ(fleet::format::previous_gop(cursor, buffer_), fleet::format::kWalkBeginning);
    EXPECT_EQ(cursor.position, start(2));
}

std::vector<uint8_t> block_of(uint8_t fill) {
    return std::vector<uint8_t>(512, fill);
}

// A block with the magic but no total length: a GOP header the recorder never finished.
std::vector<uint8_t> unfinished_block() {
    std::vector<uint8_t> block(512, 0);
    fleet::store_u32(block.data(), fleet::format::kGopMagic);
    fleet::store_u32(block.data() + 12, 4242);
    return block;
}

// Garbage blocks, an unfinished header and padding between GOPs are stepped over.
TEST(WalkerResync, NextFindsGopsAfterBlocksThatStartNone) {
    Stream gops = fmt_test::build_stream({100, 900, 50});
    auto gop = [&](int i) {
        auto from = gops.bytes.begin() + gops.starts[static_cast<size_t>(i)];
        return std::vector<uint8_t>(from, from + gops.stored[static_cast<size_t>(i)]);
    };
    std::vector<uint8_t> garbage_with_magic_inside = block_of(0x37);
    fleet::store_u32(garbage_with_magic_inside.data() + 40, fleet::format::kGopMagic);
    const std::vector<std::vector<uint8_t>> parts = {
        block_of(0x37),     gop(0), block_of(0),   garbage_with_magic_inside, gop(1),
        unfinished_block(), gop(2), block_of(0xFF)};
    std::vector<uint8_t> bytes;
    std::vector<int64_t> starts;
    for (size_t p = 0; p < parts.size(); ++p) {
        if (p == 1 || p == 4 || p == 6) starts.push_back(static_cast<int64_t>(bytes.size()));
        bytes.insert(bytes.end(), parts[p].begin(), parts[p].end());
    }
    MemorySource source(bytes);
    std::vector<uint8_t> storage(64 * 1024);
    fleet::format::WalkBuffer buffer{storage.data(), storage.size(), 0};
    fleet::format::StreamCursor cursor{&source, 0, static_cast<int64_t>(bytes.size()), 0};
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(fleet::format::next_gop(cursor, buffer), fleet::format::kWalkRead) << i;
        EXPECT_EQ(fleet::load_u32(storage.data() + 12), gops.times[static_cast<size_t>(i)]);
        EXPECT_EQ(cursor.position,
                  starts[static_cast<size_t>(i)] + gops.stored[static_cast<size_t>(i)]);
    }
    EXPECT_EQ(fleet::format::next_gop(cursor, buffer), fleet::format::kWalkEnd);
    EXPECT_EQ(cursor.position, static_cast<int64_t>(bytes.size()));

    cursor.position = 0;
    ASSERT_EQ(fleet::format::skip_forward(cursor, 2, buffer), fleet::format::kWalkRead);
    EXPECT_EQ(fleet::load_u32(storage.data() + 12), gops.times[2]);
}

TEST(WalkerResync, UnfinishedHeaderAtTheEndIsNotTheLastGop) {
    Stream stream = fmt_test::build_stream({100, 900});
    const int64_t gop_end = static_cast<int64_t>(stream.bytes.size());
    auto tail = unfinished_block();
    stream.bytes.insert(stream.bytes.end(), tail.begin(), tail.end());
    MemorySource source(stream.bytes);
    std::vector<uint8_t> storage(64 * 1024);
    fleet::format::WalkBuffer buffer{storage.data(), storage.size(), 0};
    fleet::format::StreamCursor cursor{&source, 0, static_cast<int64_t>(stream.bytes.size()),
                                       static_cast<int64_t>(stream.bytes.size())};
    ASSERT_EQ(fleet::format::previous_gop(cursor, buffer), fleet::format::kWalkRead);
    EXPECT_EQ(fleet::load_u32(storage.data() + 12), stream.times[1]);
    EXPECT_EQ(cursor.position, stream.starts[1]);
    ASSERT_EQ(fleet::format::previous_gop(cursor, buffer), fleet::format::kWalkRead);
    EXPECT_EQ(fleet::load_u32(storage.data() + 12), stream.times[0]);
    EXPECT_EQ(fleet::format::previous_gop(cursor, buffer), fleet::format::kWalkBeginning);

    cursor.position = stream.starts[1];
    ASSERT_EQ(fleet::format::next_gop(cursor, buffer), fleet::format::kWalkRead);
    EXPECT_EQ(cursor.position, gop_end);
    EXPECT_EQ(fleet::format::next_gop(cursor, buffer), fleet::format::kWalkEnd);
}

// An end inside the last GOP's padding: the scan back from it still goes block by block.
TEST(WalkerResync, PreviousFromAnEndOffTheBlockGridFindsTheLastGop) {
    Stream stream = fmt_test::build_stream({100, 100});
    const int64_t end = static_cast<int64_t>(stream.bytes.size()) - 100;
    MemorySource source(stream.bytes);
    std::vector<uint8_t> storage(64 * 1024);
    fleet::format::WalkBuffer buffer{storage.data(), storage.size(), 0};
    fleet::format::StreamCursor cursor{&source, 0, end, end};
    for (int i = 1; i >= 0; --i) {
        ASSERT_EQ(fleet::format::previous_gop(cursor, buffer), fleet::format::kWalkRead) << i;
        EXPECT_EQ(fleet::load_u32(storage.data() + 12), stream.times[static_cast<size_t>(i)]);
        EXPECT_EQ(cursor.position, stream.starts[static_cast<size_t>(i)]);
    }
    EXPECT_EQ(fleet::format::previous_gop(cursor, buffer), fleet::format::kWalkBeginning);

    cursor.position = stream.starts[1];
    ASSERT_EQ(fleet::format::next_gop(cursor, buffer), fleet::format::kWalkRead);
    EXPECT_EQ(fleet::format::next_gop(cursor, buffer), fleet::format::kWalkEnd);
    EXPECT_EQ(cursor.position, end);
}

// A damaged header claiming more than the data holds: too large to read, and passing over it
// ends the walk at the end of the data, not where the claimed length would lead.
TEST(WalkerResync, HeaderClaimingMoreThanTheDataHolds) {
    Stream stream = fmt_test::build_stream({100, 100});
    std::vector<uint8_t> damaged(512, 0);
    fleet::store_u32(damaged.data(), fleet::format::kGopMagic);
    fleet::store_u32(damaged.data() + 32, 100000);
    stream.bytes.insert(stream.bytes.begin() + 512, damaged.begin(), damaged.end());
    const int64_t end = static_cast<int64_t>(stream.bytes.size());
    MemorySource source(stream.bytes);
    std::vector<uint8_t> storage(64 * 1024);
    fleet::format::WalkBuffer buffer{storage.data(), storage.size(), 0};
    fleet::format::StreamCursor cursor{&source, 0, end, 512};
    EXPECT_EQ(fleet::format::next_gop(cursor, buffer), fleet::format::kWalkReadError);
    EXPECT_EQ(cursor.position, 512);
    EXPECT_EQ(fleet::format::skip_forward(cursor, 1, buffer), fleet::format::kWalkEnd);
    EXPECT_EQ(cursor.position, end);
    EXPECT_EQ(fleet::format::next_gop(cursor, buffer), fleet::format::kWalkEnd);
    EXPECT_EQ(cursor.position, end);
}

}  // namespace
