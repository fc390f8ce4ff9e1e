#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/le.h"
#include "format/file_pair.h"
#include "format/file_pair_writer.h"
#include "format/gop_builder.h"
#include "format/gop_header.h"
#include "format/index_format.h"
#include "format/stream_walker.h"
#include "format_test_support.h"

namespace {

namespace fs = std::filesystem;
using fleet::format::IndexHeader;
using fleet::format::IndexUnit;
using fmt_test::MemorySource;

std::vector<uint8_t> read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

fleet::format::IndexUnit unit_at(const std::vector<uint8_t>& index, size_t n) {
    return fleet::format::IndexUnit::decode(index.data() + n * fleet::format::kIndexRecordSize);
}

class TempDir : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("format_test_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

TEST(IndexRecords, EncodeLittleEndianAndDecodeBack) {
    fleet::format::IndexHeader header{fleet::format::kIndexMagic, 1, 4, 0};
    const std::array<uint8_t, 16> header_bytes = {0xBE, 0xBA, 0x38, 0x17, 1, 0, 0, 0,
                                                  4,    0,    0,    0,    0, 0, 0, 0};
    EXPECT_EQ(header.encode(), header_bytes);
    fleet::format::IndexHeader back = fleet::format::IndexHeader::decode(header_bytes.data());
    EXPECT_EQ(back.magic, fleet::format::kIndexMagic);
    EXPECT_EQ(back.last, 4u);

    fleet::format::IndexUnit unit{0x11223344, 7, 0x0102030405060708};
    const std::array<uint8_t, 16> unit_bytes = {0x44, 0x33, 0x22, 0x11, 7, 0, 0, 0,
                                                8,    7,    6,    5,    4, 3, 2, 1};
    EXPECT_EQ(unit.encode(), unit_bytes);
    fleet::format::IndexUnit negative{1, 0, -512};
    EXPECT_EQ(fleet::format::IndexUnit::decode(negative.encode().data()).offset, -512);
}

TEST(IndexRecords, UnitsAndQuickRecordsAreNumberedFromOne) {
    std::vector<uint8_t> bytes(4 * fleet::format::kQuickRecordSize);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i % 251);
    MemorySource source(bytes);

    fleet::format::IndexUnit unit;
    ASSERT_TRUE(fleet::format::read_index_unit(source, 3, unit));
    EXPECT_EQ(unit.time, fleet::load_u32(bytes.data() + 48));
    EXPECT_EQ(unit.offset, static_cast<int64_t>(fleet::load_u64(bytes.data() + 56)));

    fleet::format::QuickRecord quick;
    ASSERT_TRUE(fleet::format::read_quick_record(source, 2, quick));
    EXPECT_TRUE(std::equal(quick.begin(), quick.end(), bytes.begin() + 256));

    fleet::format::IndexHeader header;
    ASSERT_TRUE(fleet::format::read_index_header(source, header));
    EXPECT_EQ(header.magic, fleet::load_u32(bytes.data()));
}

// Numbers below one and offsets that would overflow fail without a read.
TEST(IndexRecords, ReadsOutsideTheFileFail) {
    MemorySource source(std::vector<uint8_t>(4 * fleet::format::kQuickRecordSize));
    fleet::format::IndexUnit unit;
    fleet::format::QuickRecord quick;
    for (int64_t n : {int64_t{0}, int64_t{-1}, INT64_MIN, INT64_MAX, INT64_MAX / 16 + 1}) {
        SCOPED_TRACE(n);
        EXPECT_FALSE(fleet::format::read_index_unit(source, n, unit));
        EXPECT_FALSE(fleet::format::read_quick_record(source, n, quick));
    }
    EXPECT_EQ(source.reads(), 0);
    EXPECT_TRUE(fleet::format::read_index_unit(source, 31, unit));
    EXPECT_FALSE(fleet::format::read_index_unit(source, 32, unit));
    EXPECT_TRUE(fleet::format::read_quick_record(source, 3, quick));
    EXPECT_FALSE(fleet::format::read_quick_record(source, 4, quick));

    MemorySource short_source(std::vector<uint8_t>(15));
    fleet::format::IndexHeader header;
    EXPECT_FALSE(fleet::format::read_index_header(short_source, header));
}

TEST(UnitRing, RunsFromOneToTheLastNumberAndWraps) {
    EXPECT_EQ(fleet::format::next_unit_number(1), 2u);
    EXPECT_EQ(fleet::format::next_unit_number(0xFFFFE), 0xFFFFFu);
    EXPECT_EQ(fleet::format::next_unit_number(0xFFFFF), 1u);
    EXPECT_EQ(fleet::format::previous_unit_number(2), 1u);
    EXPECT_EQ(fleet::format::previous_unit_number(1), 0xFFFFFu);

    struct Row {
        uint32_t first, last, units;
    } rows[] = {{1, 1, 1},       {1, 4, 4},       {0xFFFF0, 5, 21},
                {0xFFFFF, 1, 2}, {5, 4, 0xFFFFF}, {1, 0xFFFFF, 0xFFFFF},
                {0, 4, 0},       {4, 0, 0},       {1, 0x100000, 0}};
    for (const auto& row : rows) {
        EXPECT_EQ(fleet::format::units_between(row.first, row.last), row.units)
            << std::hex << row.first << ".." << row.last;
    }
}

// A unit for GOP 0 and every 120th GOP after it, each pointing at its GOP, then the closing
// unit with the stream length.
TEST_F(TempDir, WriterIndexesEveryHundredTwentiethGop) {
    fleet::format::FilePairWriter writer;
    ASSERT_TRUE(writer.create(path("rec.dvr"), path("rec.inx")));
    std::vector<int64_t> offsets;
    int64_t expected_length = 0;
    for (int i = 0; i < 250; ++i) {
        fleet::format::GopPlan plan;
        plan.time = 5000 + static_cast<uint32_t>(i);
        plan.frames = {fmt_test::frame(0, true, std::vector<uint8_t>(100 + 500 * (i % 3), 1))};
        auto gop = fleet::format::build_gop(plan);
        offsets.push_back(writer.stream_length());
        ASSERT_TRUE(writer.append_gop(gop.data(), gop.size(), plan.time));
        expected_length += fleet::format::round_up_block(static_cast<int64_t>(gop.size()));
    }
    EXPECT_EQ(writer.gop_count(), 250);
    ASSERT_TRUE(writer.finish());
    ASSERT_EQ(writer.stream_length(), expected_length);
    EXPECT_EQ(static_cast<int64_t>(fs::file_size(path("rec.dvr"))), expected_length);

    auto index = read_file(path("rec.inx"));
    ASSERT_EQ(index.size(), 5 * fleet::format::kIndexRecordSize);
    fleet::format::IndexHeader header = fleet::format::IndexHeader::decode(index.data());
    EXPECT_EQ(header.magic, fleet::format::kIndexMagic);
    EXPECT_EQ(header.first, 1u);
    EXPECT_EQ(header.last, 4u);
    EXPECT_EQ(header.wrapped, 0u);
    const int gops[] = {0, 120, 240};
    for (size_t n = 1; n <= 3; ++n) {
        fleet::format::IndexUnit unit = unit_at(index, n);
        int g = gops[n - 1];
        EXPECT_EQ(unit.time, 5000u + static_cast<uint32_t>(g)) << n;
        EXPECT_EQ(unit.tag, 0u) << n;
        EXPECT_EQ(unit.offset, offsets[static_cast<size_t>(g)]) << n;
    }
    fleet::format::IndexUnit closing = unit_at(index, 4);
    EXPECT_EQ(closing.time, 5249u);
    EXPECT_EQ(closing.offset, expected_length);

    fleet::format::FilePair pair;
    ASSERT_EQ(pair.open(path("rec.dvr"), path("rec.inx")), "");
    EXPECT_EQ(pair.begin_time(), 5000u);
    EXPECT_EQ(pair.end_time(), 5249u);
    EXPECT_EQ(pair.length(), expected_length);
    std::vector<uint8_t> storage(fleet::format::kWalkBufferSize);
    fleet::format::WalkBuffer buffer{storage.data(), storage.size(), 0};
    fleet::format::StreamCursor cursor = pair.cursor();
    int read = 0;
    while (fleet::format::next_gop(cursor, buffer) == fleet::format::kWalkRead) {
        EXPECT_EQ(fleet::load_u32(storage.data() + 12), 5000u + static_cast<uint32_t>(read));
        ++read;
    }
    EXPECT_EQ(read, 250);
    ASSERT_EQ(fleet::format::previous_gop(cursor, buffer), fleet::format::kWalkRead);
    EXPECT_EQ(fleet::load_u32(storage.data() + 12), 5249u);
}

// Another cadence, and a GOP with a tag gets a unit of its own whether or not one is due.
TEST_F(TempDir, WriterFollowsItsCadenceAndGivesTaggedGopsAUnit) {
    fleet::format::TimeIndexWriter index;
    ASSERT_TRUE(index.create(path("tags.inx")));
    index.set_unit_every(4);
    const uint32_t tags[] = {0, 0, 0x300000, 0, 0x100000, 0, 0, 0, 0};
    for (uint32_t gop = 0; gop < std::size(tags); ++gop) {
        ASSERT_TRUE(index.add_gop(100 + gop, 512 * int64_t{gop}, tags[gop]));
    }
    ASSERT_TRUE(index.finish(108, 512 * 9));
    const auto bytes = read_file(path("tags.inx"));
    ASSERT_EQ(bytes.size(), 6 * fleet::format::kIndexRecordSize);
    EXPECT_EQ(IndexHeader::decode(bytes.data()).last, 5u);
    const IndexUnit expected[] = {
        {100, 0, 0}, {102, 0x300000, 1024}, {104, 0x100000, 2048}, {108, 0, 4096}};
    for (size_t n = 1; n <= std::size(expected); ++n) {
        const IndexUnit unit = unit_at(bytes, n);
        EXPECT_EQ(unit.time, expected[n - 1].time) << n;
        EXPECT_EQ(unit.tag, expected[n - 1].tag) << n;
        EXPECT_EQ(unit.offset, expected[n - 1].offset) << n;
    }
    EXPECT_EQ(unit_at(bytes, 5).offset, 512 * 9);
}

// The closing unit always counts, so an empty recording still says last = 1.
TEST_F(TempDir, FinishWithoutGopsWritesOnlyTheClosingUnit) {
    for (bool min_last_one : {true, false}) {
        SCOPED_TRACE(min_last_one ? "min_last_one" : "plain");
        fleet::format::FilePairWriter writer;
        ASSERT_TRUE(writer.create(path("empty.dvr"), path("empty.inx")));
        ASSERT_TRUE(writer.finish(min_last_one));
        EXPECT_EQ(fs::file_size(path("empty.dvr")), 0u);
        auto index = read_file(path("empty.inx"));
        ASSERT_EQ(index.size(), 2 * fleet::format::kIndexRecordSize);
        fleet::format::IndexHeader header = fleet::format::IndexHeader::decode(index.data());
        EXPECT_EQ(header.first, 1u);
        EXPECT_EQ(header.last, 1u);
        fleet::format::IndexUnit closing = unit_at(index, 1);
        EXPECT_EQ(closing.time, 0u);
        EXPECT_EQ(closing.offset, 0);
    }
}

TEST_F(TempDir, WritersRefuseWorkBeforeCreate) {
    fleet::format::TimeIndexWriter index;
    EXPECT_FALSE(index.add_gop(1, 0));
    EXPECT_FALSE(index.finish(1, 0));
    fleet::format::FilePairWriter pair;
    const uint8_t gop[40] = {};
    EXPECT_FALSE(pair.append_gop(gop, sizeof gop, 1));
    EXPECT_FALSE(pair.finish());
    EXPECT_FALSE(pair.create(path("missing/rec.dvr"), path("missing/rec.inx")));
}

TEST_F(TempDir, FilePairOpenExplainsWhatIsWrong) {
    fleet::format::FilePairWriter writer;
    ASSERT_TRUE(writer.create(path("ok.dvr"), path("ok.inx")));
    auto gop = fleet::format::build_gop(fleet::format::GopPlan{});
    ASSERT_TRUE(writer.append_gop(gop.data(), gop.size(), 77));
    ASSERT_TRUE(writer.finish());
    const auto good_index = read_file(path("ok.inx"));
    ASSERT_EQ(good_index.size(), 48u);

    auto header_only = [](uint32_t last) {
        auto bytes = fleet::format::IndexHeader{fleet::format::kIndexMagic, 1, last, 0}.encode();
        return std::vector<uint8_t>(bytes.begin(), bytes.end());
    };
    auto last_too_far = good_index;
    auto far = fleet::format::IndexHeader{fleet::format::kIndexMagic, 1, 5, 0}.encode();
    std::copy(far.begin(), far.end(), last_too_far.begin());
    auto negative_last = good_index;
    auto unit = fleet::format::IndexUnit{77, 0, -1}.encode();
    std::copy(unit.begin(), unit.end(), negative_last.begin() + 32);
    struct Row {
        const char* name;
        std::vector<uint8_t> index;  // written to bad.inx
        std::string dvr, inx;
        std::string reason;  // expected start of the reason; empty = opens
    } rows[] = {
        {"both present", good_index, "ok.dvr", "bad.inx", ""},
        {"stream missing", good_index, "none.dvr", "bad.inx", "cannot open " + path("none.dvr")},
        {"index missing", good_index, "ok.dvr", "none.inx", "cannot open " + path("none.inx")},
        {"index is a directory", good_index, "ok.dvr", ".", "cannot open " + path(".")},
        {"index shorter than its header", std::vector<uint8_t>(8, 0), "ok.dvr", "bad.inx",
         path("bad.inx") + ": index header cannot be read"},
        {"index without units", header_only(1), "ok.dvr", "bad.inx",
         path("bad.inx") + ": first index unit 1 cannot be read"},
        {"last unit past the end", last_too_far, "ok.dvr", "bad.inx",
         path("bad.inx") + ": last index unit 5 cannot be read"},
        {"negative end offset", negative_last, "ok.dvr", "bad.inx",
         path("bad.inx") + ": last index unit has a negative offset"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        write_file(path("bad.inx"), row.index);
        fleet::format::FilePair pair;
        std::string reason = pair.open(path(row.dvr), path(row.inx));
        if (row.reason.empty()) {
            EXPECT_EQ(reason, "");
            EXPECT_TRUE(pair.is_open());
            EXPECT_EQ(pair.begin_time(), 77u);
            EXPECT_EQ(pair.length(), 512);
        } else {
            EXPECT_EQ(reason.substr(0, row.reason.size()), row.reason) << reason;
            EXPECT_FALSE(pair.is_open());
            EXPECT_EQ(pair.length(), 0);
        }
    }
}

TEST(FilePairPaths, IndexPathReplacesTheExtension) {
    struct Row {
        const char* dvr;
        const char* inx;
    } rows[] = {{"a/b/rec.dvr", "a/b/rec.inx"},
                {"rec", "rec.inx"},
                {"dir.v2/rec", "dir.v2/rec.inx"},
                {"rec.tar.dvr", "rec.tar.inx"},
                {"/abs/ch1.DVR", "/abs/ch1.inx"}};
    for (const auto& row : rows) {
        EXPECT_EQ(fleet::format::FilePair::index_path_for(row.dvr), row.inx) << row.dvr;
    }
}

TEST_F(TempDir, FileSourceReadsExactlyOrFails) {
    write_file(path("ten"), {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    fleet::format::FileByteSource source;
    EXPECT_EQ(source.size(), -1);
    uint8_t out[4] = {};
    EXPECT_FALSE(source.read_at(0, out, 1));
    ASSERT_TRUE(source.open(path("ten")));
    EXPECT_EQ(source.size(), 10);
    ASSERT_TRUE(source.read_at(6, out, 4));
    EXPECT_EQ(out[0], 6);
    EXPECT_EQ(out[3], 9);
    EXPECT_FALSE(source.read_at(7, out, 4));
    EXPECT_FALSE(source.read_at(-1, out, 1));
    EXPECT_FALSE(source.open(path(".")));
    EXPECT_FALSE(source.is_open());
}

}  // namespace
