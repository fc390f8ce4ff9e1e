// dvrsim disk and card images read back the plain way and held against their truth: index
// records, GOPs, frames and quick records where the truth puts them, the ring's wrap and its
// stale older lap, the device tables and their decoys.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "common/le.h"
#include "format/card_layout.h"
#include "format/frame_set.h"
#include "format/gop_parser.h"
#include "format/mbr.h"
#include "image_reading.h"
#include "process.h"
#include "report/telemetry_json.h"

namespace {

using fleet::test::ImageBytes;
using fleet::test::MadeImage;
using fleet::test::physical_origin;
using fleet::test::TempDir;
using nlohmann::json;
namespace format = fleet::format;

constexpr uint32_t kRecordingStart = 1773475200;  // dvrsim's default --start
constexpr int64_t kDiskReserve = 0xA00000;

struct ImageCase {
    const char* name;
    const char* kind;
    std::vector<std::string> args;
};

void PrintTo(const ImageCase& c, std::ostream* os) {
    *os << c.name;
}

const MadeImage& made(const ImageCase& c) {
    return fleet::test::made_once(c.name, c.kind, c.args);
}

// A 2 MiB ring holds about 100 one-second GOPs, so 250 seconds go round it twice.
const ImageCase kDiskWrapped{"disk-wrapped", "disk", {"--ring-size", "2M", "--seconds", "250"}};
const ImageCase kCardWrapped{"card-wrapped",
                             "card",
                             {"--ring-size", "2M", "--seconds", "250", "--unit-every", "4",
                              "--event-every", "7", "--base", "0x4000"}};
// A three-unit vehicle's 34 tyres fill the quick record; positions south and west.
const ImageCase kDiskUnwrapped{"disk-unwrapped",
                               "disk",
                               {"--seconds", "45", "--event-every", "9", "--tyre-layout", "6,14,14",
                                "--origin", "-33.5,-70.25"}};
const ImageCase kCardOtherStream{
    "card-other-stream",
    "card",
    {"--seconds", "30", "--channels", "4", "--stream-version", "2", "--fps", "4", "--seed", "9"}};
// 32 units from 0xFFFF0: the numbers run past the end of the unit ring.
const ImageCase kUnitsCross{
    "units-cross",
    "disk",
    {"--ring-size", "2M", "--seconds", "160", "--unit-every", "5", "--first-unit", "0xFFFF0"}};
const ImageCase kStaleHeader{
    "stale-header", "disk", {"--ring-size", "2M", "--seconds", "250", "--stale-header"}};
// Units so far apart that the newest lap holds the oldest unit that survives.
const ImageCase kOneRun{
    "one-run", "disk", {"--ring-size", "2M", "--seconds", "300", "--unit-every", "70"}};

const std::vector<ImageCase> kAllCases{kDiskWrapped, kCardWrapped, kDiskUnwrapped, kCardOtherStream,
                                       kUnitsCross,  kStaleHeader, kOneRun};

int64_t i64(const json& j) {
    return j.get<int64_t>();
}

format::IndexHeader header_of(const json& j) {
    return {format::kIndexMagic, j["first"].get<uint32_t>(), j["last"].get<uint32_t>(),
            j["wrapped"].get<uint32_t>()};
}

void expect_same_header(const format::IndexHeader& read, const format::IndexHeader& truth) {
    EXPECT_EQ(read.magic, format::kIndexMagic);
    EXPECT_EQ(read.first, truth.first);
    EXPECT_EQ(read.last, truth.last);
    EXPECT_EQ(read.wrapped, truth.wrapped);
}

// The records of `units` read back as the truth lists them, numbered along the ring from the
// header's first to its last.
void expect_units_as_listed(ImageBytes& image, int64_t area, const json& units,
                            const format::IndexHeader& header) {
    if (header.last == 0) {
        EXPECT_TRUE(units.empty());
        return;
    }
    ASSERT_FALSE(units.empty());
    EXPECT_EQ(units.front()["n"].get<uint32_t>(), header.first);
    EXPECT_EQ(units.back()["n"].get<uint32_t>(), header.last);
    EXPECT_EQ(units.size(), format::units_between(header.first, header.last));
    for (size_t i = 0; i < units.size(); ++i) {
        const json& u = units[i];
        const uint32_t n = u["n"].get<uint32_t>();
        if (i > 0) {
            EXPECT_EQ(n, format::next_unit_number(units[i - 1]["n"].get<uint32_t>()));
        }
        const format::IndexUnit read = image.unit_at(area, n);
        EXPECT_EQ(read.time, u["time"].get<uint32_t>()) << "unit " << n;
        EXPECT_EQ(read.tag, u["tag"].get<uint32_t>()) << "unit " << n;
        EXPECT_EQ(read.offset, i64(u["physical"])) << "unit " << n;
        EXPECT_EQ(u["event_type"].get<uint32_t>(), read.tag >> 20) << "unit " << n;
        if (u.contains("time_unit")) {
            EXPECT_EQ(u["time_unit"].get<uint32_t>(), read.tag & 0xFFFFF) << "unit " << n;
        }
    }
}

void expect_index_records_as_truth(const MadeImage& m) {
    const json& t = m.truth;
    ImageBytes image(m.path);
    ASSERT_TRUE(image.ok());
    const int64_t time_area = i64(t["index_areas"]["time"]);
    const int64_t event_area = i64(t["index_areas"]["event"]);
    const int64_t quick_area = i64(t["index_areas"]["quick"]);

    const format::IndexHeader time_header = header_of(t["header"]);
    expect_same_header(image.header_at(time_area), time_header);
    expect_same_header(image.header_at(event_area), header_of(t["event_header"]));
    EXPECT_EQ(time_header.wrapped, t["wrapped"].get<bool>() ? 1u : 0u);
    expect_units_as_listed(image, time_area, t["time_units"], time_header);
    expect_units_as_listed(image, event_area, t["event_units"], header_of(t["event_header"]));

    // The quick index: its header record, then one record per time unit that names it.
    const auto quick_header = image.read(quick_area, format::kQuickRecordSize);
    ASSERT_EQ(quick_header.size(), format::kQuickRecordSize);
    expect_same_header(format::IndexHeader::decode(quick_header.data()), time_header);
    EXPECT_TRUE(std::all_of(quick_header.begin() + format::kIndexRecordSize, quick_header.end(),
                            [](uint8_t b) { return b == 0; }));
    for (const json& u : t["time_units"]) {
        const int64_t n = i64(u["n"]);
        const auto record = image.read(quick_area + n * int64_t{format::kQuickRecordSize}, 4);
        ASSERT_EQ(record.size(), 4u);
        EXPECT_EQ(fleet::load_u32(record.data()), n);
    }
}

void expect_gops_as_truth(const MadeImage& m) {
    const json& t = m.truth;
    const json& gops = t["gops"];
    ImageBytes image(m.path);
    ASSERT_FALSE(gops.empty());
    const int64_t origin = physical_origin(t), start = i64(t["start"]);
    const int64_t ring_begin = i64(t["ring_begin"]), ring_end = i64(t["ring_end"]);
    const int64_t space_end = t["kind"] == "disk" ? i64(t["data_length"]) : i64(t["device_size"]);
    EXPECT_EQ(i64(gops.front()["physical"]), start);
    EXPECT_EQ(i64(gops.front()["logical"]), 0);
    EXPECT_EQ(gops.front()["time"], t["begin_time"]);
    EXPECT_EQ(gops.back()["time"], t["end_time"]);
    const json& last = gops.back();
    EXPECT_EQ(i64(last["physical"]) + i64(last["stored_length"]), i64(t["end_of_data"]));
    EXPECT_EQ(i64(last["logical"]) + i64(last["stored_length"]), i64(t["length"]));

    int wraps = 0;
    for (size_t i = 0; i < gops.size(); ++i) {
        const json& g = gops[i];
        const int64_t physical = i64(g["physical"]), stored = i64(g["stored_length"]);
        SCOPED_TRACE("GOP " + std::to_string(i) + " at " + std::to_string(physical));
        const auto header = image.gop_at(origin + physical);
        ASSERT_TRUE(header.has_value());
        EXPECT_EQ(header->time(), g["time"].get<uint32_t>());
        EXPECT_EQ(header->total_length(), g["length"].get<uint32_t>());
        EXPECT_EQ(stored, format::round_up_block(i64(g["length"])));
        EXPECT_EQ(physical % format::kBlockSize, 0);
        EXPECT_GE(physical, ring_begin);
        EXPECT_LT(physical, ring_end);  // a GOP starts inside the ring
        EXPECT_LE(physical + stored, space_end);
        if (i == 0) continue;
        const json& before = gops[i - 1];
        EXPECT_EQ(g["time"].get<uint32_t>(), before["time"].get<uint32_t>() + 1);
        EXPECT_EQ(header->previous_length(), before["length"].get<uint32_t>());
        if (physical == i64(before["physical"]) + i64(before["stored_length"])) {
            EXPECT_EQ(i64(g["logical"]), i64(before["logical"]) + i64(before["stored_length"]));
        } else {
            // The one place play goes back to the ring's start: the seam.
            ++wraps;
            EXPECT_EQ(physical, ring_begin);
            EXPECT_EQ(i64(g["logical"]), ring_end - start);
            EXPECT_EQ(i64(before["physical"]) + i64(before["stored_length"]), i64(t["seam"]));
        }
    }
    EXPECT_EQ(wraps, t["runs"].get<int>() - 1);
}

void expect_valid_units_at_played_gops(const MadeImage& m) {
    const json& t = m.truth;
    std::map<int64_t, json> played;  // by physical offset
    for (const json& g : t["gops"]) played[i64(g["physical"])] = g;
    int valid = 0;
    for (const char* list : {"time_units", "event_units"}) {
        for (const json& u : t[list]) {
            const auto found = played.find(i64(u["physical"]));
            const bool points_at_played =
                found != played.end() && found->second["time"] == u["time"];
            EXPECT_EQ(u["valid"].get<bool>(), points_at_played) << list << " " << u.dump();
            if (!points_at_played) continue;
            ++valid;
            EXPECT_EQ(u["logical"], found->second["logical"]);
        }
    }
    EXPECT_GT(valid, 0);
    for (const json& u : t["time_units"]) {
        if (!u["valid"].get<bool>()) continue;
        EXPECT_EQ(t["oldest_unit"], u["n"]);
        EXPECT_EQ(u["physical"], t["start"]);
        break;
    }
}

// Units follow the cadence the options asked for; an event's tag carries its type, cycling
// 1..15 with the event's number, and the number of the time unit at or before it; a time unit
// at the GOP of an event carries the type too.
void expect_cadence_and_tags(const MadeImage& m) {
    const json& t = m.truth;
    const json& units = t["time_units"];
    const json& events = t["event_units"];
    const uint32_t unit_every = t["unit_every"].get<uint32_t>();
    const uint32_t event_every = t["event_every"].get<uint32_t>();
    std::map<uint32_t, int> event_type_at;  // by time
    for (size_t i = 0; i < events.size(); ++i) {
        const json& e = events[i];
        const uint32_t tag = e["tag"].get<uint32_t>(), time = e["time"].get<uint32_t>();
        const uint32_t n = e["n"].get<uint32_t>();
        EXPECT_EQ(static_cast<int>(tag >> 20), static_cast<int>((n - 1) % 15) + 1) << e.dump();
        EXPECT_EQ((time - kRecordingStart) % event_every, 0u) << e.dump();
        if (i > 0) {
            EXPECT_EQ(time, events[i - 1]["time"].get<uint32_t>() + event_every);
        }
        event_type_at[time] = static_cast<int>(tag >> 20);
        const uint32_t at_or_before = time - (time - kRecordingStart) % unit_every;
        for (const json& u : units) {
            if (u["time"].get<uint32_t>() == at_or_before) {
                EXPECT_EQ(tag & 0xFFFFF, u["n"]);
            }
        }
    }
    for (size_t i = 0; i < units.size(); ++i) {
        const uint32_t time = units[i]["time"].get<uint32_t>();
        if (i > 0) {
            EXPECT_EQ(time, units[i - 1]["time"].get<uint32_t>() + unit_every);
        }
        const auto event = event_type_at.find(time);
        const uint32_t type = event == event_type_at.end() ? 0 : event->second;
        EXPECT_EQ(units[i]["tag"].get<uint32_t>(), type << 20) << units[i].dump();
    }
}

json without_channels(json frame) {
    frame.erase("channels");
    return frame;
}

void expect_lines_are_played_frames(const MadeImage& m) {
    const json& gops = m.truth["gops"];
    ImageBytes image(m.path);
    const int64_t origin = physical_origin(m.truth);
    format::FrameSetStorage storage;
    size_t line = 0;
    for (size_t i = 0; i < gops.size(); ++i) {
        SCOPED_TRACE("GOP " + std::to_string(i));
        const auto bytes = image.read(origin + i64(gops[i]["physical"]),
                                      static_cast<size_t>(i64(gops[i]["length"])));
        ASSERT_EQ(format::parse_gop(bytes.data(), bytes.size(), nullptr, storage.get()),
                  format::kParseOk);
        for (int k = 0; k < storage->frames_per_channel; ++k, ++line) {
            ASSERT_LT(line, m.lines.size());
            const auto play_index = static_cast<int64_t>(i);
            const json reported = json::parse(
                fleet::to_json(fleet::telemetry_of_frame(storage.get(), play_index, k)).dump());
            EXPECT_EQ(without_channels(reported), without_channels(m.lines[line]));
        }
    }
    EXPECT_EQ(line, m.lines.size());
}

class EveryImage : public testing::TestWithParam<ImageCase> {};

TEST_P(EveryImage, ReadsBackAsItsTruthSays) {
    const MadeImage& m = made(GetParam());
    {
        SCOPED_TRACE("index records");
        expect_index_records_as_truth(m);
    }
    {
        SCOPED_TRACE("GOPs");
        expect_gops_as_truth(m);
    }
    {
        SCOPED_TRACE("cadence and tags");
        expect_cadence_and_tags(m);
    }
    {
        SCOPED_TRACE("valid units");
        expect_valid_units_at_played_gops(m);
    }
    {
        SCOPED_TRACE("truth lines");
        expect_lines_are_played_frames(m);
    }
}

INSTANTIATE_TEST_SUITE_P(Images, EveryImage, testing::ValuesIn(kAllCases),
                         [](const testing::TestParamInfo<ImageCase>& param) {
                             std::string name = param.param.name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// Between the end of the data and the oldest played GOP lie intact GOPs of the lap before,
// older than anything played.
TEST(WrappedImages, KeepTheOlderLapAfterTheEndOfTheData) {
    const MadeImage& m = made(kDiskWrapped);
    const json& t = m.truth;
    ASSERT_EQ(t["runs"], 2);
    ASSERT_GE(t["laps"].get<int>(), 1);
    ImageBytes image(m.path);
    const int64_t origin = physical_origin(t);
    int stale = 0;
    for (int64_t at = i64(t["end_of_data"]); at < i64(t["start"]); at += format::kBlockSize) {
        if (const auto header = image.gop_at(origin + at)) {
            EXPECT_LT(header->time(), t["begin_time"].get<uint32_t>());
            EXPECT_GE(header->time(), kRecordingStart);
            ++stale;
        }
    }
    EXPECT_GT(stale, 0);
}

TEST(WrappedImages, ADiskLapEndsInTheReserveAndAnImageWithoutOlderUnitsPlaysOneRun) {
    const json& t = made(kDiskWrapped).truth;
    EXPECT_EQ(i64(t["ring_end"]), i64(t["data_length"]) - kDiskReserve);
    EXPECT_GT(i64(t["seam"]), i64(t["ring_end"]));  // the last GOP of the lap ran into it
    EXPECT_LE(i64(t["seam"]), i64(t["data_length"]));

    const json& one = made(kOneRun).truth;
    ASSERT_TRUE(one["wrapped"].get<bool>());
    EXPECT_EQ(one["runs"], 1);
    EXPECT_LT(i64(one["start"]), i64(one["end_of_data"]));
    EXPECT_EQ(i64(one["length"]), i64(one["end_of_data"]) - i64(one["start"]));
}

TEST(WrappedImages, UnitNumbersGoOnFromTheEndOfTheRingAtOne) {
    const json& t = made(kUnitsCross).truth;
    const json& units = t["time_units"];
    EXPECT_GT(t["header"]["first"].get<uint32_t>(), t["header"]["last"].get<uint32_t>());
    bool crossed = false;
    for (size_t i = 1; i < units.size(); ++i) {
        crossed |= units[i - 1]["n"] == format::kLastUnitNumber && units[i]["n"] == 1;
    }
    EXPECT_TRUE(crossed);
    // Numbers that reach the end of the ring get index files for all of them.
    EXPECT_EQ(i64(t["index_files"]["timeindex"]), 0x1000000);
    EXPECT_EQ(i64(t["index_files"]["quickindex"]), 0x8000000);
}

TEST(WrappedImages, AStaleHeaderKeepsTheFirstUnitOverAnOverwrittenGop) {
    const MadeImage& m = made(kStaleHeader);
    const json& t = m.truth;
    EXPECT_EQ(t["header"]["first"], 1);
    EXPECT_EQ(t["event_header"]["first"], 1);
    EXPECT_GT(t["oldest_unit"].get<uint32_t>(), 1u);
    const json& first = t["time_units"][0];
    EXPECT_FALSE(first["valid"].get<bool>());
    ImageBytes image(m.path);
    const auto there = image.gop_at(physical_origin(t) + i64(first["physical"]));
    ASSERT_TRUE(there.has_value());  // unit 1's GOP was at the ring's start, now written over
    EXPECT_GT(there->time(), first["time"].get<uint32_t>());
}

TEST(CardImages, MarkedSectorGivesTheBaseAndDataWrapsToItsStart) {
    const MadeImage& m = made(kCardWrapped);
    const json& t = m.truth;
    ImageBytes image(m.path);
    const auto sector = image.read(format::kCardMarkOffset, format::kSectorSize);
    ASSERT_EQ(sector.size(), format::kSectorSize);
    const auto layout = format::parse_card_sector(sector.data(), image.size());
    ASSERT_TRUE(layout.has_value());
    EXPECT_EQ(layout->base, i64(t["base"]));
    EXPECT_EQ(layout->time_index(), i64(t["index_areas"]["time"]));
    EXPECT_EQ(layout->event_index(), i64(t["index_areas"]["event"]));
    EXPECT_EQ(layout->quick_index(), i64(t["index_areas"]["quick"]));
    EXPECT_EQ(layout->data_start(), i64(t["data_offset"]));
    EXPECT_EQ(i64(t["ring_begin"]), layout->data_start());
    EXPECT_EQ(i64(t["ring_end"]), image.size());
    // The GOP after the seam did not fit before the device's end, so it went to D.
    const json& gops = t["gops"];
    bool wrapped_to_d = false;
    for (size_t i = 1; i < gops.size(); ++i) {
        if (i64(gops[i]["physical"]) != layout->data_start()) continue;
        wrapped_to_d = true;
        EXPECT_GT(i64(t["seam"]) + i64(gops[i]["stored_length"]), image.size());
    }
    EXPECT_TRUE(wrapped_to_d);
}

TEST(DiskImages, PartitionTableHoldsTheIndexVolumeAndTheDataPartitionToTheEnd) {
    const MadeImage& m = made(kDiskWrapped);
    const json& t = m.truth;
    ImageBytes image(m.path);
    const auto sector = image.read(0, format::kSectorSize);
    const auto table = format::parse_mbr(sector.data());
    ASSERT_TRUE(table.has_value());
    const format::MbrPartition& index = (*table)[0];
    const format::MbrPartition& data = (*table)[1];
    EXPECT_EQ(index.type, 0x0C);
    EXPECT_EQ(index.offset(), i64(t["index_partition"]["offset"]));
    EXPECT_EQ(index.length(), i64(t["index_partition"]["length"]));
    EXPECT_FALSE(data.empty());
    EXPECT_EQ(data.offset(), i64(t["data_offset"]));
    EXPECT_EQ(data.offset() % (1 << 20), 0);
    EXPECT_EQ(data.offset() + data.length(), image.size());
    EXPECT_TRUE((*table)[2].empty() && (*table)[3].empty());
}

TEST(DiskImages, AGibibyteImageTakesLittleRoom) {
    TempDir dir;
    const std::string path = dir.file("big.img");
    const auto run =
        fleet::test::run_dvrsim_image("disk", path, {"--size", "1G", "--seconds", "20"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, int64_t{1} << 30);
    EXPECT_LT(int64_t{st.st_blocks} * 512, (int64_t{1} << 30) / 64);
}

// The degrees of a quick record's "DDMM.MMMMN" or "DDDMM.MMMME" text, south and west negative.
double quick_degrees(const std::string& text) {
    const size_t point = text.find('.');
    if (point == std::string::npos || point < 2) return NAN;
    const double degrees = std::stod(text.substr(0, point - 2));
    const double minutes = std::stod(text.substr(point - 2, text.size() - point + 1));
    const double value = degrees + minutes / 60;
    return text.back() == 'S' || text.back() == 'W' ? -value : value;
}

// Every unit, with a GOP or without, has the recording's vehicle in its quick record: near its
// origin, with the tyres of its layout (34 for a three-unit vehicle).
TEST(DiskImages, SparseUnitsSpreadOverTheWholeRingWithGopsOnlyAtTheEndsAndTheSeam) {
    TempDir dir;
    const std::string path = dir.file("sparse.img");
    constexpr int kUnits = 3000, kNewestLap = kUnits / 3;
    const auto run =
        fleet::test::run_dvrsim_image("disk", path,
                                      {"--size", "64G", "--sparse-units", "3000", "--origin",
                                       "-33.5,-70.25", "--tyre-layout", "6,14,14"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const MadeImage m = fleet::test::load_made_image(path);
    const json& t = m.truth;
    EXPECT_TRUE(t["sparse"].get<bool>());
    EXPECT_TRUE(t["gops"].empty());
    EXPECT_TRUE(m.lines.empty());
    EXPECT_EQ(t["time_unit_count"], kUnits);
    EXPECT_EQ(t["header"]["first"], 1);
    EXPECT_EQ(t["header"]["last"], kUnits);
    EXPECT_EQ(t["header"]["wrapped"], 1);

    ImageBytes image(path);
    const int64_t origin = physical_origin(t), area = i64(t["index_areas"]["time"]);
    expect_same_header(image.header_at(area), header_of(t["header"]));
    auto unit = [&](int n) { return image.unit_at(area, n); };
    auto gop_of = [&](int n) { return image.gop_at(origin + unit(n).offset); };
    const int64_t spacing = unit(2).offset - unit(1).offset;
    EXPECT_GT(spacing, 0);
    for (int n = 1; n < kUnits; ++n) {
        EXPECT_EQ(unit(n).time + 10, unit(n + 1).time);
        const int64_t step = unit(n + 1).offset - unit(n).offset;
        if (step != spacing) {  // the seam: from the ring's last slot to its start
            EXPECT_EQ(n, kUnits - kNewestLap);
            EXPECT_EQ(unit(n + 1).offset, 0);
        }
    }
    EXPECT_EQ(unit(1).offset, i64(t["start"]));
    for (int n : {1, 100, kUnits - kNewestLap, kUnits - kNewestLap + 1, kUnits}) {
        const auto header = gop_of(n);
        ASSERT_TRUE(header.has_value()) << "unit " << n;
        EXPECT_EQ(header->time(), unit(n).time);
    }
    const auto before_seam = gop_of(kUnits - kNewestLap);
    EXPECT_EQ(
        unit(kUnits - kNewestLap).offset + format::round_up_block(before_seam->total_length()),
        i64(t["seam"]));
    EXPECT_FALSE(gop_of(kUnits / 2).has_value());  // the middle of the ring holds no GOPs

    for (int n : {2, kUnits / 2, kUnits}) {
        SCOPED_TRACE("unit " + std::to_string(n));
        const auto q =
            image.read(i64(t["index_areas"]["quick"]) + n * int64_t{format::kQuickRecordSize},
                       format::kQuickRecordSize);
        ASSERT_EQ(q.size(), format::kQuickRecordSize);
        EXPECT_EQ(fleet::load_u32(q.data()), static_cast<uint32_t>(n));
        EXPECT_EQ(q[12], 34);
        const std::string latitude(reinterpret_cast<const char*>(q.data() + 84), 10);
        const std::string longitude(reinterpret_cast<const char*>(q.data() + 96), 11);
        // An hour of driving at most since the origin: well within a degree of it.
        EXPECT_NEAR(quick_degrees(latitude), -33.5, 1.0) << latitude;
        EXPECT_NEAR(quick_degrees(longitude), -70.25, 1.0) << longitude;
    }
}

TEST(Images, TheSameOptionsMakeTheSameImage) {
    TempDir dir;
    const std::vector<std::string> args{"--seconds", "20", "--seed", "5"};
    ASSERT_EQ(fleet::test::run_dvrsim_image("card", dir.file("a"), args).exit_code, 0);
    ASSERT_EQ(fleet::test::run_dvrsim_image("card", dir.file("b"), args).exit_code, 0);
    using fleet::test::read_file;
    for (const char* suffix : {"", ".truth.json", ".truth.jsonl"}) {
        EXPECT_TRUE(read_file(dir.file("a") + suffix) == read_file(dir.file("b") + suffix))
            << suffix;
    }
}

}  // namespace
