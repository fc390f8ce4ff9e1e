// Damaged recordings: whatever the bytes, every command answers, play reaches an end, and
// the damage that stops a GOP from being read or parsed is reported.
#include <filesystem>

#include "engine_host.h"

namespace engine_api {
namespace {

using fleet::test::TempDir;

// The (2, value) report a row's damage must produce, if any.
enum class Report { none, read_error, parse_failure };

struct DamageRow {
    const char* name;
    void (*make)(const TempDir& dir, Recording& out);
    int32_t screens;  // what zTellScreenNum answers: -1 when no GOP parses
    Report report;
};

void simulated(const TempDir& dir, const char* damage, Recording& out) {
    ASSERT_NO_FATAL_FAILURE(make_recording(dir, {damage, 4, 3, 4, {"--damage", damage}}, out));
}

const DamageRow kDamage[] = {
    {"Garbage", [](const TempDir& d, Recording& r) { simulated(d, "garbage", r); }, 4,
     Report::none},
    {"CorruptHeader", [](const TempDir& d, Recording& r) { simulated(d, "corrupt-header", r); }, 4,
     Report::parse_failure},
    {"Truncate", [](const TempDir& d, Recording& r) { simulated(d, "truncate", r); }, 4,
     Report::read_error},
    {"ZeroLengthMagic",
     [](const TempDir& d, Recording& r) { simulated(d, "zero-length-magic", r); }, 4, Report::none},
    {"BrokenPictures", [](const TempDir& d, Recording& r) { simulated(d, "broken-pictures", r); },
     4, Report::none},
    {"Undecodable", [](const TempDir& d, Recording& r) { simulated(d, "undecodable", r); }, 4,
     Report::none},
    {"StreamCutTo1000Bytes",
     [](const TempDir& d, Recording& r) {
         ASSERT_NO_FATAL_FAILURE(make_recording(d, {"cut", 4, 3, 4, {}}, r));
         std::filesystem::resize_file(r.dvr, 1000);
     },
     -1, Report::read_error},
    {"StreamAllZeros",
     [](const TempDir& d, Recording& r) {
         ASSERT_NO_FATAL_FAILURE(make_recording(d, {"zeros", 4, 3, 4, {}}, r));
         const auto size = std::filesystem::file_size(r.dvr);
         write_bytes(r.dvr, std::string(size, '\0'));
     },
     -1, Report::none},
};

// Names the row in test listings instead of dumping its bytes.
void PrintTo(const DamageRow& row, std::ostream* out) {
    *out << row.name;
}

class EngineDamage : public EngineTest, public ::testing::WithParamInterface<DamageRow> {};

TEST_P(EngineDamage, PlaysToAnEndAndAnswersEveryCommand) {
    const DamageRow& row = GetParam();
    Recording recording;
    ASSERT_NO_FATAL_FAILURE(row.make(dir_, recording));
    // Every row keeps an intact index, and opening reads only the index.
    ASSERT_NO_FATAL_FAILURE(open(recording));
    EXPECT_EQ(zTellScreenNum(), row.screens);

    const size_t plays = reports().play_mark();
    EXPECT_EQ(command(KIVRA_CMD_PLAY), std::optional<int32_t>(KIVRA_RESULT_PLAY_OK));
    EXPECT_TRUE(reports().wait_play(
        plays, [](const PlayEvent& e) { return e.code == KIVRA_EVENT_END_OF_DATA; }, kEndLimit))
        << "no end of data";
    EXPECT_EQ(command(KIVRA_CMD_STOP), std::optional<int32_t>(KIVRA_RESULT_STOP_OK));
    EXPECT_EQ(command(KIVRA_CMD_CLOSE), std::optional<int32_t>(KIVRA_RESULT_CLOSE_OK));

    // Pictures that did not decode are drawn black, never reported as drawing failures.
    for (const PlayEvent& e : reports().plays_since(plays)) {
        EXPECT_NE(e.code, KIVRA_EVENT_DRAW_FAILED);
    }
    if (row.report == Report::read_error) {
        // One report for the whole unreadable stretch, not one per block of it.
        int read_errors = 0;
        for (const PlayEvent& e : reports().plays_since(plays)) {
            read_errors += e.code == KIVRA_EVENT_READ_FAILED && e.value == KIVRA_READ_FAILED_SOURCE;
        }
        EXPECT_EQ(read_errors, 1);
    } else if (row.report == Report::parse_failure) {
        EXPECT_TRUE(reports().saw_play(plays, KIVRA_EVENT_READ_FAILED, 1)) << "no (2, 1) report";
    }
}

INSTANTIATE_TEST_SUITE_P(Recordings, EngineDamage, ::testing::ValuesIn(kDamage),
                         [](const ::testing::TestParamInfo<DamageRow>& param) {
                             return std::string(param.param.name);
                         });

}  // namespace
}  // namespace engine_api
