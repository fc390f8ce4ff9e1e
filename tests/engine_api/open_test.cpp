// Opening file pairs: what is refused, and what an opened recording tells.
#include <cstdio>
#include <cstring>
#include <random>

#include "common/le.h"
#include "engine_host.h"

namespace engine_api {
namespace {

using fleet::test::TempDir;

class EngineOpen : public EngineTest {};

std::string random_bytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string out(n, '\0');
    for (char& c : out) c = static_cast<char>(rng() & 0xFF);
    return out;
}

struct ForeignRow {
    const char* name;
    // Writes the pair (or not) into the directory and names it.
    void (*make)(const TempDir& dir, Recording& out);
    bool may_open;  // random bytes could, by a tiny chance, look like an index
};

const ForeignRow kForeign[] = {
    {"Missing",
     [](const TempDir& dir, Recording& out) {
         out = {dir.file("missing.dvr"), dir.file("missing.inx")};
     },
     false},
    {"IndexMissing",
     [](const TempDir& dir, Recording& out) {
         ASSERT_NO_FATAL_FAILURE(make_recording(dir, {"noindex", 1, 1, 2, {}}, out));
         ASSERT_EQ(std::remove(out.inx.c_str()), 0);
     },
     false},
    {"ZeroLength",
     [](const TempDir& dir, Recording& out) {
         out = {dir.file("empty.dvr"), dir.file("empty.inx")};
         write_bytes(out.dvr, "");
         write_bytes(out.inx, "");
     },
     false},
    {"RandomBytes",
     [](const TempDir& dir, Recording& out) {
         out = {dir.file("x.dvr"), dir.file("x.inx")};
         write_bytes(out.dvr, random_bytes(6144, 1));
         write_bytes(out.inx, random_bytes(4096, 2));
     },
     true},
    {"Directories",
     [](const TempDir& dir, Recording& out) {
         out = {dir.path(), dir.path()};
     },
     false},
};

// Names the row in test listings instead of dumping its bytes.
void PrintTo(const ForeignRow& row, std::ostream* out) {
    *out << row.name;
}

class EngineOpenForeign : public EngineTest, public ::testing::WithParamInterface<ForeignRow> {};

TEST_P(EngineOpenForeign, IsRefusedOrHandledSafely) {
    Recording pair;
    ASSERT_NO_FATAL_FAILURE(GetParam().make(dir_, pair));
    const bool opened = zOpen(KIVRA_SOURCE_FILE, pair.dvr.c_str(), pair.inx.c_str(), 0, 0) != 0;
    if (!opened) {
        EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_NONE);
        EXPECT_EQ(zTellTotalLen(), -1);
        return;
    }
    ASSERT_TRUE(GetParam().may_open) << "opened " << pair.dvr;
    EXPECT_TRUE(command(KIVRA_CMD_PLAY).has_value());
    EXPECT_TRUE(command(KIVRA_CMD_STOP).has_value());
    EXPECT_EQ(command(KIVRA_CMD_CLOSE), std::optional<int32_t>(KIVRA_RESULT_CLOSE_OK));
}

INSTANTIATE_TEST_SUITE_P(Pairs, EngineOpenForeign, ::testing::ValuesIn(kForeign),
                         [](const ::testing::TestParamInfo<ForeignRow>& param) {
                             return std::string(param.param.name);
                         });

TEST_F(EngineOpen, RefusesNullPathsAndUnknownTypes) {
    Recording recording;
    ASSERT_NO_FATAL_FAILURE(make_recording(dir_, {"paths", 1, 1, 2, {}}, recording));
    const char* dvr = recording.dvr.c_str();
    const char* inx = recording.inx.c_str();
    EXPECT_EQ(zOpen(KIVRA_SOURCE_FILE, nullptr, nullptr, 0, 0), 0);
    EXPECT_EQ(zOpen(KIVRA_SOURCE_FILE, dvr, nullptr, 0, 0), 0);
    EXPECT_EQ(zOpen(KIVRA_SOURCE_FILE, nullptr, inx, 0, 0), 0);
    EXPECT_EQ(zOpen(KIVRA_SOURCE_REALTIME, dvr, inx, 0, 0), 0);
    EXPECT_EQ(zOpen(KIVRA_SOURCE_NONE, dvr, inx, 0, 0), 0);
    EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_NONE);
}

TEST_F(EngineOpen, TellsTheRecordingsFacts) {
    Recording recording;
    ASSERT_NO_FATAL_FAILURE(make_recording(dir_, {"facts", 4, 3, 4, {}}, recording));
    nlohmann::json info;
    ASSERT_NO_FATAL_FAILURE(describe(recording, info));
    ASSERT_NO_FATAL_FAILURE(open(recording));

    EXPECT_EQ(zTellStatusType(), KIVRA_STATUS_OPENED);
    EXPECT_EQ(zTellScreenNum(), 4);
    char car[16];
    std::memset(car, 'x', sizeof car);
    EXPECT_EQ(zTellCarId(car), 0);
    EXPECT_STREQ(car, "BUS-0001");
    EXPECT_EQ(std::string(car), info["vehicle_id"].get<std::string>());
    EXPECT_EQ(zTellCarId(nullptr), -1);
    EXPECT_EQ(zTellBegTime(), info["begin_time"].get<int64_t>());
    EXPECT_EQ(zTellEndTime(), info["end_time"].get<int64_t>());
    EXPECT_EQ(zTellTotalLen(), info["length"].get<int64_t>());
    EXPECT_EQ(zTellp(), 0);
    EXPECT_EQ(zTellSampleRate(), info["audio"]["rate"].get<int32_t>());
    EXPECT_EQ(zTellSampleBits(), info["audio"]["bits"].get<int32_t>());

    uint8_t record[16] = {};
    ASSERT_EQ(zTellTimeInxHd(record), 1);
    EXPECT_EQ(fleet::load_u32(record), 0x1738BABEu);
    EXPECT_EQ(zTellTimeInxHd(nullptr), 0);
    EXPECT_EQ(zTellTimeInxUnit(0, record), 0);
    EXPECT_EQ(zTellTimeInxUnit(-1, record), 0);
    EXPECT_EQ(zTellTimeInxUnit(1, nullptr), 0);
    EXPECT_EQ(zTellTimeInxUnit(100000, record), 0);
    ASSERT_EQ(zTellTimeInxUnit(1, record), 1);
    EXPECT_EQ(fleet::load_u32(record), static_cast<uint32_t>(zTellBegTime()));
    EXPECT_EQ(fleet::load_u64(record + 8), 0u);
    EXPECT_EQ(zTellEvtInxHd(record), 0);
    EXPECT_EQ(zTellEvtInxUnit(1, record), 0);
    EXPECT_EQ(zTellQuickInxHd(record), 0);

    EXPECT_EQ(zOpen(KIVRA_SOURCE_FILE, recording.dvr.c_str(), recording.inx.c_str(), 0, 0), 0);
    EXPECT_EQ(zOpen(KIVRA_SOURCE_DISK, nullptr, nullptr, 0, 0), 0);
    EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_FILE);

    EXPECT_EQ(command(KIVRA_CMD_CLOSE), std::optional<int32_t>(KIVRA_RESULT_CLOSE_OK));
    EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_NONE);
    EXPECT_EQ(zTellScreenNum(), -1);
    EXPECT_EQ(zTellTotalLen(), -1);
    EXPECT_EQ(zTellCarId(car), -1);
}

// A disk or card search that has found nothing yet (the suite's device list is empty): the
// type is open without a source behind it.
class EngineOpenSearch : public EngineTest, public ::testing::WithParamInterface<int32_t> {};

TEST_P(EngineOpenSearch, OpensWithoutASource) {
    const int32_t type = GetParam();
    ASSERT_EQ(zOpen(type, nullptr, nullptr, 0, 0), 1);
    EXPECT_EQ(zTellOpenedType(), type);
    EXPECT_EQ(zTellScreenNum(), -1);
    EXPECT_EQ(zTellTotalLen(), -1);
    EXPECT_EQ(zTellp(), -1);
    EXPECT_EQ(zTellBegTime(), 0);
    EXPECT_EQ(zTellEndTime(), 0);
    EXPECT_EQ(zTellCarId(nullptr), -1);
    EXPECT_EQ(zSetFullScreen(0), 0);
    uint8_t record[16];
    EXPECT_EQ(zTellTimeInxHd(record), 0);

    const size_t errors = reports().error_mark();
    EXPECT_EQ(command(KIVRA_CMD_PLAY), std::optional<int32_t>(KIVRA_RESULT_PLAY_FAILED));
    const int32_t rect[4] = {0, 0, kCanvasWidth, kCanvasHeight};
    const std::string jpeg = dir_.file("search.jpg");
    EXPECT_EQ(command(KIVRA_CMD_SNAPSHOT, reinterpret_cast<intptr_t>(rect), 0, 0, jpeg.c_str()),
              std::optional<int32_t>(KIVRA_RESULT_SNAPSHOT_FAILED));
    EXPECT_TRUE(reports().wait_error(errors, KIVRA_ERROR_SNAPSHOT_NO_SCREENS, kCommandLimit));
    EXPECT_EQ(command(KIVRA_CMD_CLOSE), std::optional<int32_t>(KIVRA_RESULT_CLOSE_OK));
    EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_NONE);
}

INSTANTIATE_TEST_SUITE_P(Types, EngineOpenSearch,
                         ::testing::Values(KIVRA_SOURCE_DISK, KIVRA_SOURCE_CARD),
                         [](const ::testing::TestParamInfo<int32_t>& param) {
                             return param.param == KIVRA_SOURCE_DISK ? std::string("Disk")
                                                                     : std::string("Card");
                         });

}  // namespace
}  // namespace engine_api
