// The time index of a file pair made by `dvrsim record`, read back with the format's readers:
// units on the cadence asked for, event types in their tags, and a recording of more than an
// hour with units across all of it.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "format/file_pair.h"
#include "format/gop_header.h"
#include "format/index_format.h"
#include "process.h"

namespace {

using fleet::test::run_process;
using fleet::test::TempDir;
namespace format = fleet::format;

constexpr uint32_t kRecordingStart = 1773475200;  // dvrsim's default --start: 08:00:00 UTC

// One CIF channel, one frame a second, no sound: the smallest recording.
fleet::test::ProcessResult record_pair(const std::string& base, int seconds,
                                       const std::vector<std::string>& extra) {
    std::vector<std::string> argv{DVRSIM_PATH,
                                  "record",
                                  "--out",
                                  base,
                                  "--channels",
                                  "1",
                                  "--stream-version",
                                  "3",
                                  "--fps",
                                  "1",
                                  "--no-audio",
                                  "--seconds",
                                  std::to_string(seconds)};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return run_process(argv);
}

// The time of the GOP that starts at `offset` in the stream, if one does.
std::optional<uint32_t> gop_time_at(format::FilePair& pair, int64_t offset) {
    uint8_t block[format::kBlockSize];
    if (!pair.stream().read_at(offset, block, sizeof block)) return std::nullopt;
    if (!format::is_gop_start(block, sizeof block)) return std::nullopt;
    const auto header = format::read_gop_header(block, sizeof block);
    if (!header) return std::nullopt;
    return header->time();
}

// A unit as the test expects it: the second of its GOP and the event type in its tag.
struct PairUnit {
    uint32_t second = 0;
    uint32_t type = 0;
};

struct PairCase {
    const char* name;
    std::vector<std::string> args;
    int seconds;
    std::vector<PairUnit> units;  // before the closing unit
};

void PrintTo(const PairCase& c, std::ostream* os) {
    *os << c.name;
}

// Units every ten seconds with events on each but the first, types 1..15 and round again.
std::vector<PairUnit> every_ten_seconds() {
    const uint32_t types[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 1, 2, 3, 4};
    std::vector<PairUnit> units;
    for (uint32_t i = 0; i < std::size(types); ++i) units.push_back({10 * i, types[i]});
    return units;
}

const PairCase kCases[] = {
    {"no_events_unless_asked", {}, 250, {{0, 0}, {120, 0}, {240, 0}}},
    // An event off the cadence gets a unit of its own.
    {"events_on_and_off_the_cadence",
     {"--unit-every", "4", "--event-every", "6"},
     30,
     {{0, 0}, {4, 0}, {6, 1}, {8, 0}, {12, 2}, {16, 0}, {18, 3}, {20, 0}, {24, 4}, {28, 0}}},
    {"event_types_cycle", {"--unit-every", "120", "--event-every", "10"}, 200, every_ten_seconds()},
};

class PairIndex : public testing::TestWithParam<PairCase> {};

// Each unit names its GOP's time and offset, with the event type in tag bits 20..23; the
// closing unit marks the end of the data.
TEST_P(PairIndex, UnitsCarryTheirGopsAndEventTypes) {
    const PairCase& c = GetParam();
    TempDir dir;
    const std::string base = dir.file(c.name);
    const auto made = record_pair(base, c.seconds, c.args);
    ASSERT_EQ(made.exit_code, 0) << made.err;

    format::FilePair pair;
    ASSERT_EQ(pair.open(base + ".dvr", base + ".inx"), "");
    EXPECT_EQ(pair.header().first, 1u);
    ASSERT_EQ(pair.header().last, c.units.size() + 1);
    EXPECT_EQ(pair.begin_time(), kRecordingStart);
    EXPECT_EQ(pair.end_time(), kRecordingStart + static_cast<uint32_t>(c.seconds) - 1);
    for (uint32_t n = 1; n <= c.units.size(); ++n) {
        const PairUnit& expected = c.units[n - 1];
        SCOPED_TRACE("unit " + std::to_string(n) + " at second " + std::to_string(expected.second));
        format::IndexUnit unit;
        ASSERT_TRUE(format::read_index_unit(pair.index(), n, unit));
        EXPECT_EQ(unit.time, kRecordingStart + expected.second);
        EXPECT_EQ(unit.tag, expected.type << 20);
        EXPECT_EQ(gop_time_at(pair, unit.offset), unit.time);
    }
    format::IndexUnit closing;
    ASSERT_TRUE(format::read_index_unit(pair.index(), c.units.size() + 1, closing));
    EXPECT_EQ(closing.tag, 0u);
    EXPECT_EQ(closing.offset, pair.stream_file_size());
}

INSTANTIATE_TEST_SUITE_P(Recordings, PairIndex, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<PairCase>& param) {
                             return std::string(param.param.name);
                         });

// 65 minutes at the recorder's cadence of a unit every 120 GOPs: 33 units from 08:00:00 to
// 09:04:00, one of them on the hour at 09:00:00, then the closing unit.
TEST(PairIndex, ARecordingOfOverAnHourHasUnitsAcrossIt) {
    TempDir dir;
    const std::string base = dir.file("long");
    const auto made = record_pair(base, 3900, {});
    ASSERT_EQ(made.exit_code, 0) << made.err;

    format::FilePair pair;
    ASSERT_EQ(pair.open(base + ".dvr", base + ".inx"), "");
    EXPECT_EQ(pair.end_time() - pair.begin_time(), 3899u);
    ASSERT_EQ(pair.header().last, 34u);
    std::vector<uint32_t> times;
    for (uint32_t n = 1; n <= 33; ++n) {
        format::IndexUnit unit;
        ASSERT_TRUE(format::read_index_unit(pair.index(), n, unit)) << n;
        EXPECT_EQ(gop_time_at(pair, unit.offset), unit.time) << n;
        times.push_back(unit.time - kRecordingStart);
    }
    EXPECT_EQ(times.front(), 0u);
    EXPECT_EQ(times.back(), 3840u);
    EXPECT_EQ(times[30], 3600u);
    for (size_t i = 1; i < times.size(); ++i) EXPECT_EQ(times[i], times[i - 1] + 120) << i;
}

TEST(PairIndex, BadCadencesAreRefused) {
    TempDir dir;
    const struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{"--unit-every", "0"}, "--unit-every"},         {{"--unit-every", "3601"}, "--unit-every"},
        {{"--event-every", "0"}, "--event-every"},       {{"--event-every", "x"}, "--event-every"},
        {{"--quick-tyre-count", "5"}, "unknown option"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const auto run = record_pair(dir.file("refused"), 2, c.args);
        EXPECT_EQ(run.exit_code, 2);
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    }
}

}  // namespace
