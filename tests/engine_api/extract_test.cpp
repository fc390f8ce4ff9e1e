// Extraction through the engine's C interface: a range between two time-index units comes out
// as the recording's own GOPs with their decoded pictures, then the index of that range, then
// the ending; stopping, refusals, damage, a wrapped disk and closing the source meanwhile.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "engine_host.h"
#include "extract/source_copy.h"
#include "format/gop_header.h"
#include "format/index_format.h"
#include "kivra/kivra.h"
#include "process.h"

namespace engine_api {
namespace {

using fleet::format::IndexHeader;
using fleet::format::IndexUnit;
using fleet::test::TempDir;
using nlohmann::json;

constexpr Millis kExtractLimit{30000};

struct ExtractReport {
    int32_t kind = 0;
    int32_t percent = 0;
    std::vector<uint8_t> data;
    bool decoded = false;  // a GOP's FrameSet holds a decoded picture of every present channel
};

bool ends_extraction(int32_t kind) {
    return kind == KIVRA_EXTRACT_FINISHED || kind == KIVRA_EXTRACT_STOPPED ||
           kind == KIVRA_EXTRACT_FAILED || kind == KIVRA_EXTRACT_CANNOT_OPEN;
}

bool every_channel_decoded(const FrameSet& set) {
    int present = 0;
    for (int c = 0; c < KIVRA_MAX_CHANNELS; ++c) {
        if (set.present[c] == 0) continue;
        ++present;
        if (set.frames_per_channel <= 0 || set.picture_size[c][0] <= 0) return false;
    }
    return present > 0;
}

// What ExtractDataProc reported, with a hook that runs on the extraction thread after each GOP
// is kept.
class ExtractLog {
  public:
    static ExtractLog& instance() {
        static ExtractLog log;
        return log;
    }

    void reset(std::function<void(size_t gops)> on_gop = nullptr) {
        std::lock_guard<std::mutex> guard(lock_);
        reports_.clear();
        on_gop_ = std::move(on_gop);
    }

    // The ending kind, waiting up to the limit for it.
    std::optional<int32_t> wait_end() {
        std::unique_lock<std::mutex> guard(lock_);
        std::optional<int32_t> end;
        changed_.wait_for(guard, kExtractLimit, [&] {
            for (const auto& r : reports_) {
                if (ends_extraction(r.kind)) end = r.kind;
            }
            return end.has_value();
        });
        return end;
    }

    std::vector<ExtractReport> reports() {
        std::lock_guard<std::mutex> guard(lock_);
        return reports_;
    }

    static void proc(int32_t kind, int32_t percent, const void* data, int32_t length,
                     const void* frame_set) {
        instance().keep(kind, percent, data, length, static_cast<const FrameSet*>(frame_set));
    }

  private:
    void keep(int32_t kind, int32_t percent, const void* data, int32_t length,
              const FrameSet* set) {
        ExtractReport report{kind, percent, {}, set != nullptr && every_channel_decoded(*set)};
        if (data != nullptr && length > 0) {
            const auto* bytes = static_cast<const uint8_t*>(data);
            report.data.assign(bytes, bytes + length);
        }
        std::function<void(size_t)> hook;
        size_t gops = 0;
        {
            std::lock_guard<std::mutex> guard(lock_);
            reports_.push_back(std::move(report));
            for (const auto& r : reports_) gops += r.kind == KIVRA_EXTRACT_GOP ? 1 : 0;
            if (kind == KIVRA_EXTRACT_GOP) hook = on_gop_;
        }
        changed_.notify_all();
        if (hook) hook(gops);
    }

    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<ExtractReport> reports_;
    std::function<void(size_t)> on_gop_;
};

ExtractLog& extract_log() {
    return ExtractLog::instance();
}

int32_t start_extract(int64_t start, int64_t end) {
    return zStartExtract(static_cast<uint32_t>(start), static_cast<int32_t>(start >> 32),
                         static_cast<uint32_t>(end), static_cast<int32_t>(end >> 32));
}

IndexUnit unit_of_open_source(uint32_t n) {
    uint8_t record[16] = {};
    EXPECT_EQ(zTellTimeInxUnit(static_cast<int32_t>(n), record), 1) << "unit " << n;
    return IndexUnit::decode(record);
}

// The GOPs `dvrtool gops` lists whose offsets lie in [start, end), with their stored length.
struct ListedGop {
    int64_t offset;
    int64_t stored;
};

std::vector<ListedGop> listed_gops(const std::vector<std::string>& source, int64_t start,
                                   int64_t end) {
    std::vector<std::string> argv = {DVRTOOL_PATH, "gops"};
    argv.insert(argv.end(), source.begin(), source.end());
    argv.push_back("--json");
    auto listed = fleet::test::run_process(argv);
    EXPECT_EQ(listed.exit_code, 0) << listed.err;
    std::vector<ListedGop> gops;
    std::istringstream lines(listed.out);
    for (std::string line; std::getline(lines, line);) {
        const json gop = json::parse(line);
        const int64_t offset = gop["offset"].get<int64_t>();
        if (offset >= start && offset < end) gops.push_back({offset, gop["stored"].get<int64_t>()});
    }
    return gops;
}

std::vector<uint8_t> bytes_at(const std::string& path, int64_t offset, int64_t length) {
    std::ifstream file(path, std::ios::binary);
    file.seekg(offset);
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(length));
    EXPECT_TRUE(file.good()) << path << " at " << offset;
    return bytes;
}

std::vector<ExtractReport> of_kind(const std::vector<ExtractReport>& reports, int32_t kind) {
    std::vector<ExtractReport> out;
    for (const auto& r : reports) {
        if (r.kind == kind) out.push_back(r);
    }
    return out;
}

// The order every extraction keeps: GOPs and read errors, then the index records, then the
// ending alone at the end.
void expect_order(const std::vector<ExtractReport>& reports) {
    ASSERT_FALSE(reports.empty());
    EXPECT_TRUE(ends_extraction(reports.back().kind));
    bool in_index = false;
    for (size_t i = 0; i + 1 < reports.size(); ++i) {
        const int32_t kind = reports[i].kind;
        EXPECT_FALSE(ends_extraction(kind)) << "an ending before the last report, at " << i;
        if (kind == KIVRA_EXTRACT_INDEX) in_index = true;
        if (in_index) {
            EXPECT_EQ(kind, KIVRA_EXTRACT_INDEX) << "a GOP after the index, at " << i;
        }
    }
}

// The index of the copied range: the header (first 1, last = the count) and the source's
// units first..first+count-1 along the ring, offsets from the range start.
void expect_index(const std::vector<ExtractReport>& reports, uint32_t first, uint32_t count,
                  int64_t start) {
    const auto index = of_kind(reports, KIVRA_EXTRACT_INDEX);
    ASSERT_EQ(index.size(), size_t{count} + 1);
    ASSERT_EQ(index[0].data.size(), 16u);
    const IndexHeader header = IndexHeader::decode(index[0].data.data());
    EXPECT_EQ(header.magic, KIVRA_INDEX_MAGIC);
    EXPECT_EQ(header.first, 1u);
    EXPECT_EQ(header.last, count);
    uint32_t n = first;
    for (uint32_t j = 0; j < count; ++j, n = fleet::format::next_unit_number(n)) {
        const ExtractReport& r = index[j + 1];
        ASSERT_EQ(r.data.size(), 16u);
        const IndexUnit copied = IndexUnit::decode(r.data.data());
        const IndexUnit source = unit_of_open_source(n);
        EXPECT_EQ(copied.time, source.time) << "unit " << j;
        EXPECT_EQ(copied.offset, source.offset - start) << "unit " << j;
        EXPECT_EQ(r.percent, static_cast<int32_t>(j * 100 / (count - 1))) << "unit " << j;
    }
}

// GOPs delivered exactly as listed: same count, the stored bytes of each, pictures decoded,
// percents rising to 100.
void expect_gops(const std::vector<ExtractReport>& reports, const std::vector<ListedGop>& listed,
                 const std::function<std::vector<uint8_t>(const ListedGop&)>& read) {
    const auto gops = of_kind(reports, KIVRA_EXTRACT_GOP);
    ASSERT_EQ(gops.size(), listed.size());
    int32_t previous = 0;
    for (size_t i = 0; i < gops.size(); ++i) {
        EXPECT_TRUE(gops[i].data == read(listed[i])) << "GOP " << i << " differs";
        EXPECT_TRUE(gops[i].decoded) << "GOP " << i << " has no pictures";
        EXPECT_GT(gops[i].percent, previous) << "GOP " << i;
        previous = gops[i].percent;
    }
    ASSERT_FALSE(gops.empty());
    EXPECT_EQ(gops.back().percent, 100);
}

class ExtractTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        extract_log().reset();
        set_extract_sink(&ExtractLog::proc);
    }
    void TearDown() override {
        // Whatever a failed test left running ends here: closing the source waits for it.
        zStopExtract();
        EngineTest::TearDown();
        set_extract_sink(nullptr);
    }

    // Twelve GOPs with a unit every third: units 1..4 at GOPs 0, 3, 6, 9, unit 5 the end.
    void open_pair() {
        ASSERT_NO_FATAL_FAILURE(
            make_recording(dir_, {"pair", 4, 12, 4, {"--unit-every", "3"}}, recording_));
        ASSERT_NO_FATAL_FAILURE(open(recording_));
    }

    std::vector<uint8_t> pair_bytes(const ListedGop& gop) {
        return bytes_at(recording_.dvr, gop.offset, gop.stored);
    }

    Recording recording_;
};

TEST_F(ExtractTest, FilePairRangeDeliversItsGopsThenItsIndex) {
    ASSERT_NO_FATAL_FAILURE(open_pair());
    const int64_t start = unit_of_open_source(2).offset;
    const int64_t end = unit_of_open_source(4).offset;
    ASSERT_EQ(start_extract(start, end), 0);
    EXPECT_EQ(extract_log().wait_end(), std::optional<int32_t>(KIVRA_EXTRACT_FINISHED));

    const auto reports = extract_log().reports();
    ASSERT_NO_FATAL_FAILURE(expect_order(reports));
    const auto listed = listed_gops({recording_.dvr}, start, end);
    EXPECT_EQ(listed.size(), 6u);  // GOPs 3..8
    expect_gops(reports, listed, [&](const ListedGop& g) { return pair_bytes(g); });
    expect_index(reports, 2, 3, start);
    EXPECT_TRUE(of_kind(reports, KIVRA_EXTRACT_READ_ERROR).empty());
    EXPECT_EQ(zTellp(), 0) << "the extraction moved the playing source";
}

struct RefusedRange {
    const char* name;
    uint32_t start_unit;
    uint32_t end_unit;
    int64_t end_shift;  // added to the end unit's offset
};

void PrintTo(const RefusedRange& r, std::ostream* os) {
    *os << r.name;
}

class ExtractRefused : public ExtractTest, public testing::WithParamInterface<RefusedRange> {};

TEST_P(ExtractRefused, FailsWithNothingDelivered) {
    const RefusedRange& r = GetParam();
    ASSERT_NO_FATAL_FAILURE(open_pair());
    const int64_t start = unit_of_open_source(r.start_unit).offset;
    const int64_t end = unit_of_open_source(r.end_unit).offset + r.end_shift;
    ASSERT_EQ(start_extract(start, end), 0);
    EXPECT_EQ(extract_log().wait_end(), std::optional<int32_t>(KIVRA_EXTRACT_FAILED));
    EXPECT_EQ(extract_log().reports().size(), 1u) << "something came before the failure";
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, ExtractRefused,
    testing::Values(RefusedRange{"StartEqualsEnd", 3, 3, 0}, RefusedRange{"StartAfterEnd", 4, 2, 0},
                    RefusedRange{"EndIsNoUnitsOffset", 1, 3, fleet::format::kBlockSize},
                    RefusedRange{"EndBeyondTheRecording", 1, 5, fleet::format::kBlockSize}),
    [](const testing::TestParamInfo<RefusedRange>& range) { return range.param.name; });

TEST_F(ExtractTest, StopEndsAfterTheGopInProgressAndStillDeliversTheIndex) {
    ASSERT_NO_FATAL_FAILURE(open_pair());
    extract_log().reset([](size_t gops) {
        if (gops == 1) {
            EXPECT_EQ(zStopExtract(), 0);
        }
    });
    const int64_t start = unit_of_open_source(1).offset;
    ASSERT_EQ(start_extract(start, unit_of_open_source(5).offset), 0);
    EXPECT_EQ(extract_log().wait_end(), std::optional<int32_t>(KIVRA_EXTRACT_STOPPED));
    const auto reports = extract_log().reports();
    ASSERT_NO_FATAL_FAILURE(expect_order(reports));
    EXPECT_EQ(of_kind(reports, KIVRA_EXTRACT_GOP).size(), 1u);
    expect_index(reports, 1, 5, start);
}

TEST_F(ExtractTest, SecondStartIsRefusedWhileOneRunsAndTakenAfterItsEnd) {
    ASSERT_NO_FATAL_FAILURE(open_pair());
    const int64_t start = unit_of_open_source(1).offset;
    const int64_t end = unit_of_open_source(2).offset;
    std::optional<int32_t> second;
    extract_log().reset([&](size_t gops) {
        if (gops == 1) second = start_extract(start, end);
    });
    ASSERT_EQ(start_extract(start, end), 0);
    EXPECT_EQ(extract_log().wait_end(), std::optional<int32_t>(KIVRA_EXTRACT_FINISHED));
    EXPECT_EQ(second, std::optional<int32_t>(-1));

    extract_log().reset();
    ASSERT_EQ(start_extract(start, end), 0);
    EXPECT_EQ(extract_log().wait_end(), std::optional<int32_t>(KIVRA_EXTRACT_FINISHED));
    EXPECT_EQ(of_kind(extract_log().reports(), KIVRA_EXTRACT_GOP).size(), 3u);
}

// The copy opens the pair by its paths again: with the stream file gone it cannot, while the
// playing source keeps the file it opened.
TEST_F(ExtractTest, CopyThatCannotBeOpenedEndsTheExtraction) {
    ASSERT_NO_FATAL_FAILURE(open_pair());
    ASSERT_EQ(std::remove(recording_.dvr.c_str()), 0);
    ASSERT_EQ(start_extract(unit_of_open_source(1).offset, unit_of_open_source(2).offset), 0);
    EXPECT_EQ(extract_log().wait_end(), std::optional<int32_t>(KIVRA_EXTRACT_CANNOT_OPEN));
    EXPECT_EQ(extract_log().reports().size(), 1u);
}

TEST_F(ExtractTest, NothingOpenIsRefused) {
    EXPECT_EQ(start_extract(0, 1 << 20), -1);
    EXPECT_EQ(zStopExtract(), 0);
    EXPECT_TRUE(extract_log().reports().empty());
}

// GOP 4 claims a length beyond the engine's 2 MiB buffer, so reading it fails: the failure is
// reported, GOP 4 left out, and the extraction goes on with GOP 5.
TEST_F(ExtractTest, OversizedGopIsReportedAndSkipped) {
    ASSERT_NO_FATAL_FAILURE(open_pair());
    const int64_t start = unit_of_open_source(2).offset;
    const int64_t end = unit_of_open_source(4).offset;
    auto listed = listed_gops({recording_.dvr}, start, end);
    ASSERT_EQ(listed.size(), 6u);
    const ListedGop damaged = listed[1];
    listed.erase(listed.begin() + 1);
    {
        std::fstream file(recording_.dvr, std::ios::binary | std::ios::in | std::ios::out);
        file.seekp(damaged.offset + 32);  // the GOP header's total length
        const uint8_t three_mib[4] = {0x00, 0x00, 0x30, 0x00};
        file.write(reinterpret_cast<const char*>(three_mib), sizeof three_mib);
        ASSERT_TRUE(file.good());
    }
    ASSERT_EQ(start_extract(start, end), 0);
    EXPECT_EQ(extract_log().wait_end(), std::optional<int32_t>(KIVRA_EXTRACT_FINISHED));
    const auto reports = extract_log().reports();
    ASSERT_NO_FATAL_FAILURE(expect_order(reports));
    EXPECT_EQ(of_kind(reports, KIVRA_EXTRACT_READ_ERROR).size(), 1u);
    expect_gops(reports, listed, [&](const ListedGop& g) { return pair_bytes(g); });
    expect_index(reports, 2, 3, start);
}

// The engine waits for the extraction before the source closes: the ending comes first and
// nothing after the close.
TEST_F(ExtractTest, ClosingTheSourceEndsARunningExtraction) {
    ASSERT_NO_FATAL_FAILURE(
        make_recording(dir_, {"long", 4, 60, 4, {"--unit-every", "60"}}, recording_));
    ASSERT_NO_FATAL_FAILURE(open(recording_));
    std::mutex lock;
    std::condition_variable first_gop;
    bool started = false;
    extract_log().reset([&](size_t gops) {
        if (gops != 1) return;
        std::lock_guard<std::mutex> guard(lock);
        started = true;
        first_gop.notify_all();
    });
    ASSERT_EQ(start_extract(0, unit_of_open_source(2).offset), 0);
    {
        std::unique_lock<std::mutex> guard(lock);
        ASSERT_TRUE(first_gop.wait_for(guard, kExtractLimit, [&] { return started; }));
    }
    EXPECT_EQ(command(KIVRA_CMD_CLOSE), std::optional<int32_t>(KIVRA_RESULT_CLOSE_OK));
    const auto at_close = extract_log().reports();
    ASSERT_FALSE(at_close.empty());
    const int32_t ending = at_close.back().kind;
    EXPECT_TRUE(ending == KIVRA_EXTRACT_STOPPED || ending == KIVRA_EXTRACT_FINISHED) << ending;
    ASSERT_NO_FATAL_FAILURE(expect_order(at_close));
    EXPECT_EQ(extract_log().reports().size(), at_close.size());
}

struct WrappedMedium {
    const char* kind;  // dvrsim's command and dvrtool's option
    int32_t type;
    bool physical_from_partition;  // a disk's unit offsets count from its data partition
};

void PrintTo(const WrappedMedium& m, std::ostream* os) {
    *os << m.kind;
}

class ExtractWrapped : public ExtractTest, public testing::WithParamInterface<WrappedMedium> {};

// A wrapped ring whose surviving units run 0xFFFFD, 0xFFFFE, 0xFFFFF, 1, 2, ...: a range from
// 0xFFFFE to 3 crosses the last unit number (on the card also the seam between the laps).
TEST_P(ExtractWrapped, RangeAcrossTheLastUnitNumber) {
    const WrappedMedium& m = GetParam();
    const std::string image = dir_.file("wrapped.img");
    auto made = fleet::test::run_process({DVRSIM_PATH, m.kind, "--out", image, "--fps", "2",
                                          "--ring-size", "1M", "--seconds", "70", "--first-unit",
                                          "1048570", "--unit-every", "7"});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    const json truth = json::parse(fleet::test::read_file(image + ".truth.json"));
    ASSERT_TRUE(truth["wrapped"].get<bool>());
    ASSERT_EQ(truth["oldest_unit"].get<uint32_t>(), 0xFFFFDu) << "the image is not the case";

    const size_t mark = reports().disk_mark();
    ASSERT_EQ(zOpen(m.type, image.c_str(), nullptr, 0, 0), 1);
    ASSERT_TRUE(reports().wait_disk(mark, KIVRA_DISK_OPENED, kCommandLimit));

    const int64_t start = unit_of_open_source(0xFFFFE).offset;
    const int64_t end = unit_of_open_source(3).offset;
    ASSERT_LT(start, end);
    ASSERT_EQ(start_extract(start, end), 0);
    EXPECT_EQ(extract_log().wait_end(), std::optional<int32_t>(KIVRA_EXTRACT_FINISHED));
    EXPECT_EQ(reports().disks_since(mark).size(), 1u) << "the extraction made disk events";

    const auto reports = extract_log().reports();
    ASSERT_NO_FATAL_FAILURE(expect_order(reports));
    const auto listed = listed_gops({std::string("--") + m.kind, image}, start, end);
    EXPECT_EQ(listed.size(), 28u);  // four units of seven GOPs
    std::map<int64_t, int64_t> physical;
    for (const json& g : truth["gops"]) {
        physical[g["logical"].get<int64_t>()] = g["physical"].get<int64_t>();
    }
    const int64_t base = m.physical_from_partition ? truth["data_offset"].get<int64_t>() : 0;
    expect_gops(reports, listed, [&](const ListedGop& g) {
        return bytes_at(image, base + physical.at(g.offset), g.stored);
    });
    expect_index(reports, 0xFFFFE, 5, start);
}

INSTANTIATE_TEST_SUITE_P(Media, ExtractWrapped,
                         testing::Values(WrappedMedium{"disk", KIVRA_SOURCE_DISK, true},
                                         WrappedMedium{"card", KIVRA_SOURCE_CARD, false}),
                         [](const testing::TestParamInfo<WrappedMedium>& medium) {
                             return std::string(medium.param.kind);
                         });

// The copy of a disk reuses the ring the open source found, so it must be of that very medium:
// an image laid out otherwise is refused instead of being read with the wrong ring.
TEST(ExtractSourceCopy, FollowsTheOpenRingOnlyOnTheSameMedium) {
    TempDir dir;
    auto make = [&](const std::string& name, const std::string& ring) {
        const std::string image = dir.file(name);
        auto made = fleet::test::run_process(
            {DVRSIM_PATH, "disk", "--out", image, "--ring-size", ring, "--seconds", "20"});
        EXPECT_EQ(made.exit_code, 0) << made.err;
        return image;
    };
    const std::string image = make("a.img", "1M");
    const std::string other = make("b.img", "2M");
    auto found = fleet::format::find_medium_at(fleet::format::MediumKind::Disk, image);
    ASSERT_EQ(found.verdict, fleet::format::MediumFound::Usable) << found.why;
    kivra::RingSource open(KIVRA_ERROR_DISK_OFFSET);
    ASSERT_TRUE(open.open(std::move(found.medium)));

    auto copy = kivra::copier_of(open, fleet::format::MediumKind::Disk, image)();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->length(), open.length());
    EXPECT_EQ(copy->tell(), 0);
    uint8_t mine[16], theirs[16];
    ASSERT_TRUE(copy->time_index_header(mine) && open.time_index_header(theirs));
    EXPECT_EQ(std::memcmp(mine, theirs, sizeof mine), 0);
    EXPECT_EQ(copy->probe().channel_count, open.probe().channel_count);

    EXPECT_EQ(kivra::copier_of(open, fleet::format::MediumKind::Disk, other)(), nullptr);
    EXPECT_EQ(kivra::copier_of(open, fleet::format::MediumKind::Card, image)(), nullptr);
}

}  // namespace
}  // namespace engine_api
