// The file-pair copy, fed the GOPs and index records of a dvrsim recording's range as the
// engine's extraction delivers them, read back with dvrtool.
#include "pair_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <nlohmann/json.hpp>

#include <cstring>
#include <fstream>
#include <set>

#include "copied_index.h"
#include "format/gop_header.h"
#include "format/index_format.h"
#include "process.h"
#include "decoded_gops.h"

namespace {

using fleet::format::IndexHeader;
using fleet::format::IndexUnit;
using fleet::test::read_file;
using fleet::test::run_process;
using fleet::test::TempDir;

constexpr int kSeconds = 130;
constexpr int kUnitEvery = 10;  // source units at GOPs 0, 10, ... 120 and the closing one

struct CopyCase {
    const char* name;
    uint32_t first_unit;  // the range: from this source unit ...
    uint32_t end_unit;    // ... to this one
    int skipped_gop;      // of the source, -1 none: a GOP the engine could not read
    bool stored_length;   // GOPs handed over with their padding, as read from the stream
    bool index_kept;      // the engine's units describe the copy
};

void PrintTo(const CopyCase& c, std::ostream* os) {
    *os << c.name;
}

const CopyCase kCases[] = {
    {"engine_index_kept", 2, 13, -1, true, true},
    {"padding_added_by_the_copy", 2, 13, -1, false, true},
    {"gop_left_out_index_remade_every_120_gops", 1, 14, 5, true, false},
};

ExtractJob pair_job(const std::string& base) {
    ExtractJob job{};
    job.copy_file_pair = 1;
    std::snprintf(job.dvr_path, sizeof job.dvr_path, "%s.dvr", base.c_str());
    std::snprintf(job.inx_path, sizeof job.inx_path, "%s.inx", base.c_str());
    return job;
}

IndexUnit source_unit(fleet::format::FilePair& pair, uint32_t n) {
    IndexUnit unit;
    EXPECT_TRUE(fleet::format::read_index_unit(pair.index(), n, unit));
    return unit;
}

// What the copy must hold, built independently of the writer.
struct Expected {
    std::string stream;
    std::vector<IndexUnit> delivered_units;  // relative to the range start
    std::vector<IndexUnit> written_gops;     // time and offset of each GOP of the copy
    std::set<int> source_gops;               // numbers of the GOPs copied
};

std::vector<nlohmann::json> telemetry(const std::string& dvr) {
    const auto run = run_process({DVRTOOL_PATH, "telemetry", dvr, "--json"});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    std::vector<nlohmann::json> rows;
    for (const auto& line : fleet::test::split_lines(run.out))
        rows.push_back(nlohmann::json::parse(line));
    return rows;
}

class PairCopy : public testing::TestWithParam<CopyCase> {
  protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        source_ = extract_test::record_with_dvrsim(
            dir_->path(), {"--channels", "1", "--stream-version", "3", "--seconds",
                           std::to_string(kSeconds), "--unit-every", std::to_string(kUnitEvery)});
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }

    // Feeds the range to a new copy and builds what it must hold.
    Expected copy(const CopyCase& c, ombrel::OutputWriter& writer) {
        extract_test::DecodedGops gops(source_);
        const IndexUnit start = source_unit(gops.pair(), c.first_unit);
        const IndexUnit end = source_unit(gops.pair(), c.end_unit);
        Expected e;
        uint32_t previous_total = 0;
        for (int n = 0; gops.next(); ++n) {
            if (gops.offset() < start.offset || gops.offset() >= end.offset || n == c.skipped_gop)
                continue;
            const size_t length = c.stored_length ? gops.stored_length() : gops.total_length();
            EXPECT_TRUE(writer.write_gop(gops.input(length)));
            std::string bytes(reinterpret_cast<const char*>(gops.data()), gops.stored_length());
            if (!e.written_gops.empty()) {
                // The back-link names the GOP written before, which is the source's own link
                // unless a GOP was left out in between.
                auto header = fleet::format::GopHeader::read(gops.data());
                header.set_previous_length(previous_total);
                header.write(reinterpret_cast<uint8_t*>(bytes.data()));
            }
            e.written_gops.push_back({fleet::format::GopHeader::read(gops.data()).time(), 0,
                                      static_cast<int64_t>(e.stream.size())});
            e.stream += bytes;
            e.source_gops.insert(n);
            previous_total = static_cast<uint32_t>(gops.total_length());
        }
        IndexHeader header = gops.pair().header();
        header.first = 1;
        header.last = c.end_unit - c.first_unit + 1;
        auto head = header.encode();
        EXPECT_TRUE(writer.write_index_record(head.data(), head.size()));
        for (uint32_t n = c.first_unit; n <= c.end_unit; ++n) {
            IndexUnit unit = source_unit(gops.pair(), n);
            unit.offset -= start.offset;
            e.delivered_units.push_back(unit);
            auto bytes = unit.encode();
            EXPECT_TRUE(writer.write_index_record(bytes.data(), bytes.size()));
        }
        return e;
    }

    static TempDir* dir_;
    static extract_test::RecordedPair source_;
};

TempDir* PairCopy::dir_ = nullptr;
extract_test::RecordedPair PairCopy::source_;

std::vector<IndexUnit> remade_units(const Expected& e) {
    std::vector<IndexUnit> units;
    for (size_t i = 0; i < e.written_gops.size(); i += 120) units.push_back(e.written_gops[i]);
    units.push_back({e.written_gops.back().time, 0, static_cast<int64_t>(e.stream.size())});
    return units;
}

std::vector<IndexUnit> units_of(const std::string& inx) {
    EXPECT_EQ(inx.size() % 16, 0u);
    const auto* p = reinterpret_cast<const uint8_t*>(inx.data());
    const IndexHeader header = IndexHeader::decode(p);
    EXPECT_EQ(header.magic, fleet::format::kIndexMagic);
    EXPECT_EQ(header.first, 1u);
    EXPECT_EQ(header.last, inx.size() / 16 - 1);
    std::vector<IndexUnit> units;
    for (size_t at = 16; at + 16 <= inx.size(); at += 16)
        units.push_back(IndexUnit::decode(p + at));
    return units;
}

bool same_units(const std::vector<IndexUnit>& a, const std::vector<IndexUnit>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].time != b[i].time || a[i].tag != b[i].tag || a[i].offset != b[i].offset)
            return false;
    }
    return true;
}

TEST_P(PairCopy, HoldsTheGopsAndAnIndexThatVerifiesAndReplays) {
    const CopyCase& c = GetParam();
    TempDir out;
    const ExtractJob job = pair_job(out.file("copy"));
    std::string error;
    auto writer = ombrel::make_pair_writer(job, error);
    ASSERT_NE(writer, nullptr) << error;
    const Expected e = copy(c, *writer);
    ASSERT_TRUE(writer->finish()) << writer->error();

    EXPECT_TRUE(read_file(job.dvr_path) == e.stream) << "GOPs differ from the ones delivered";
    const auto units = units_of(read_file(job.inx_path));
    EXPECT_TRUE(same_units(units, c.index_kept ? e.delivered_units : remade_units(e)));
    if (!c.index_kept) {
        EXPECT_EQ(units.size(), 3u) << "GOPs 0 and 120 and the closing unit";
    }

    const auto verify = run_process({DVRTOOL_PATH, "verify", job.dvr_path});
    EXPECT_EQ(verify.exit_code, 0) << verify.out << verify.err;

    std::vector<nlohmann::json> expected;
    for (auto row : telemetry(source_.dvr)) {
        if (!e.source_gops.count(row["gop"].get<int>())) continue;
        row.erase("gop");
        expected.push_back(row);
    }
    auto copied = telemetry(job.dvr_path);
    for (auto& row : copied) row.erase("gop");
    EXPECT_EQ(copied.size(), expected.size());
    EXPECT_TRUE(copied == expected) << "the copy replays other telemetry";
}

INSTANTIATE_TEST_SUITE_P(Ranges, PairCopy, testing::ValuesIn(kCases),
                         [](const auto& c) { return std::string(c.param.name); });

// The rules that decide whether the engine's units describe the copy, one broken at a time.
struct IndexRule {
    const char* name;
    void (*spoil)(ombrel::DeliveredIndex&);
    bool describes;
};

const IndexRule kRules[] = {
    {"as_delivered", [](ombrel::DeliveredIndex&) {}, true},
    {"no_header", [](ombrel::DeliveredIndex& d) { d.header_seen = false; }, false},
    {"record_not_16_bytes", [](ombrel::DeliveredIndex& d) { d.malformed = true; }, false},
    {"other_magic", [](ombrel::DeliveredIndex& d) { d.header.magic = 0x1FF; }, false},
    {"last_not_the_unit_count", [](ombrel::DeliveredIndex& d) { d.header.last = 2; }, false},
    {"first_unit_not_at_the_start", [](ombrel::DeliveredIndex& d) { d.units[0].offset = 1024; },
     false},
    {"unit_inside_a_gop", [](ombrel::DeliveredIndex& d) { d.units[1].offset += 512; }, false},
    {"unit_with_another_time", [](ombrel::DeliveredIndex& d) { d.units[1].time += 1; }, false},
    {"end_unit_short_of_the_end", [](ombrel::DeliveredIndex& d) { d.units[2].offset -= 512; },
     false},
    {"only_an_end_unit",
     [](ombrel::DeliveredIndex& d) {
         d.units.erase(d.units.begin(), d.units.end() - 1);
         d.header.last = 1;
     },
     false},
};

TEST(CopiedIndex, DescribesTheCopyOnlyWhenEveryRuleHolds) {
    // GOPs at 0, 1024 and 2048 of a 3072-byte copy.
    const std::vector<ombrel::WrittenGop> gops{{0, 100}, {1024, 101}, {2048, 102}};
    for (const IndexRule& rule : kRules) {
        ombrel::DeliveredIndex index;
        index.header_seen = true;
        index.header.last = 3;
        index.units = {{100, 0, 0}, {102, 0, 2048}, {103, 0, 3072}};
        rule.spoil(index);
        EXPECT_EQ(ombrel::describes_copy(index, gops, 3072), rule.describes) << rule.name;
    }
}

TEST(CopiedIndex, RemadeUnitsFollowTheRecordersCadence) {
    std::vector<ombrel::WrittenGop> gops;
    for (int i = 0; i < 241; ++i) gops.push_back({i * 512, 1000u + static_cast<uint32_t>(i)});
    const auto units = ombrel::recorder_units(gops, 241 * 512);
    ASSERT_EQ(units.size(), 4u);
    EXPECT_EQ(units[1].offset, 120 * 512);
    EXPECT_EQ(units[2].time, 1240u);
    EXPECT_EQ(units[3].time, 1240u);
    EXPECT_EQ(units[3].offset, 241 * 512);
}

// An output that exists stays as it is, and nothing else is made.
TEST(PairCopyCreation, RefusesAnExistingFileAndChangesNothing) {
    for (const char* existing : {".dvr", ".inx"}) {
        TempDir out;
        const ExtractJob job = pair_job(out.file("copy"));
        const std::string kept = out.file(std::string("copy") + existing);
        std::ofstream(kept) << "evidence";
        std::string error;
        EXPECT_EQ(ombrel::make_pair_writer(job, error), nullptr) << existing;
        EXPECT_NE(error, "");
        EXPECT_EQ(read_file(kept), "evidence");
        const std::string other = std::strcmp(existing, ".dvr") == 0 ? job.inx_path : job.dvr_path;
        struct stat st;
        EXPECT_NE(::stat(other.c_str(), &st), 0) << other << " was left behind";
    }
}

TEST(PairCopyCreation, DiscardRemovesBothFiles) {
    TempDir out;
    const ExtractJob job = pair_job(out.file("copy"));
    std::string error;
    auto writer = ombrel::make_pair_writer(job, error);
    ASSERT_NE(writer, nullptr) << error;
    writer->discard();
    struct stat st;
    EXPECT_NE(::stat(job.dvr_path, &st), 0);
    EXPECT_NE(::stat(job.inx_path, &st), 0);
}

}  // namespace
