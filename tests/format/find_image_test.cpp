// The finder over dvrsim's recorder images, read through the format's own ring: its listings,
// date search and quick records equal what the simulator's truth says was written.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "format/index_find.h"
#include "format/ring_index_reader.h"
#include "format/ring_recording.h"
#include "process.h"

namespace {

namespace ff = fleet::format;
using fleet::test::read_file;
using fleet::test::run_process;
using fleet::test::split_lines;
using fleet::test::TempDir;
using nlohmann::json;

constexpr uint32_t kHour = 3600;
constexpr uint32_t kStartHour = 1710032400;  // 2024-03-10 01:00:00

struct Image {
    const char* name;
    const char* kind;
    std::vector<std::string> options;
    bool events_written_over;  // some events name time units no longer recorded
    bool unit_without_fix;     // some unit's vehicle had no position
};

void PrintTo(const Image& c, std::ostream* os) {
    *os << c.name;
}

// The units still recorded run over 0xFFFFF to 1; the ring holds about the last 50
// of 150 seconds, which begin 125 seconds before an hour: the listing crosses it.
const Image kImages[] = {
    {"disk_wrapped",
     "disk",
     {"--ring-size", "1100K", "--seconds", "150", "--unit-every", "2", "--event-every", "7",
      "--first-unit", "0xFFFC3", "--stale-header", "--start", std::to_string(kStartHour - 125)},
     true,
     true},
    {"card_wrapped",
     "card",
     {"--ring-size", "1100K", "--seconds", "150", "--unit-every", "3", "--first-unit", "0xFFFD7",
      "--start", std::to_string(kStartHour - 120)},
     false,
     true},
    // Every quick record's count byte claims 200 tyres: 34 are read, those past the six stored
    // as zero bytes.
    {"card_tyre_count_over_room",
     "card",
     {"--ring-size", "1100K", "--seconds", "150", "--unit-every", "3", "--first-unit", "0xFFFD7",
      "--start", std::to_string(kStartHour - 120), "--quick-tyre-count", "200"},
     false,
     true},
};

class FinderOnImage : public testing::TestWithParam<Image> {
  protected:
    const json& quick_truth(uint32_t n) const;

    void SetUp() override {
        const Image& image = GetParam();
        path_ = dir_.file(std::string(image.name) + ".img");
        std::vector<std::string> args = {DVRSIM_PATH, image.kind, "--out", path_};
        args.insert(args.end(), image.options.begin(), image.options.end());
        const auto made = run_process(args);
        ASSERT_EQ(made.exit_code, 0) << made.err;
        truth_ = json::parse(read_file(path_ + ".truth.json"));
        for (const auto& line : split_lines(read_file(path_ + ".truth.jsonl"))) {
            const json frame = json::parse(line);
            if (frame["frame"] == 0) first_frames_[frame["gop"]] = frame;
        }
        for (const auto& u : truth_["time_units"]) {
            if (u["n"] == truth_["oldest_unit"]) recorded_.clear();
            recorded_.push_back(u);
        }
        ASSERT_EQ(recorded_.front()["n"], truth_["oldest_unit"]);
        // The case covers what it is made for: units over 0xFFFFF and across an hour.
        ASSERT_GT(recorded_.front()["n"].get<uint32_t>(), recorded_.back()["n"].get<uint32_t>());
        ASSERT_LT(recorded_.front()["time"].get<uint32_t>(), kStartHour);
        ASSERT_GT(recorded_.back()["time"].get<uint32_t>(), kStartHour);
        const auto kind =
            std::string(image.kind) == "disk" ? ff::MediumKind::Disk : ff::MediumKind::Card;
        auto opened = ring_.open(kind, path_);
        ASSERT_TRUE(opened) << opened.error().message;
    }

    TempDir dir_;
    std::string path_;
    json truth_;
    std::vector<json> recorded_;        // the time units from the oldest still recorded to the last
    std::map<int, json> first_frames_;  // by GOP in play order
    ff::RingRecording ring_;
};

int type_of(const json& unit) {
    return static_cast<int>(unit["tag"].get<uint32_t>() >> 20 & 0xF);
}

ff::UnitRow row_of(const json& unit) {
    return {unit["n"], unit["time"], unit["logical"], type_of(unit)};
}

std::vector<ff::UnitRow> rows_of(bool (*list)(ff::IndexReader&, const ff::UnitSink&),
                                 ff::IndexReader& reader) {
    std::vector<ff::UnitRow> rows;
    EXPECT_TRUE(list(reader, [&rows](const ff::UnitRow& row) {
        rows.push_back(row);
        return true;
    }));
    return rows;
}

// Less than an hour is recorded, across one hour's start: the first unit, the first at or
// after that hour, and the units with events.
TEST_P(FinderOnImage, TimeListingIsTheFirstTheHourAndTheEvents) {
    std::vector<ff::UnitRow> expected;
    bool hour_listed = false;
    for (const json& u : recorded_) {
        const bool first = expected.empty();
        const bool hour = !hour_listed && u["time"].get<uint32_t>() >= kStartHour;
        hour_listed |= hour;
        if (first || hour || type_of(u) != 0) expected.push_back(row_of(u));
    }
    ASSERT_TRUE(hour_listed);
    ASSERT_LT(recorded_.back()["time"].get<uint32_t>(), kStartHour + kHour);
    ff::RingIndexReader reader(ring_);
    EXPECT_EQ(rows_of(ff::list_time_units, reader), expected);
}

TEST_P(FinderOnImage, EventListingHasTheEventsOfRecordedUnits) {
    std::vector<uint32_t> numbers;
    for (const json& u : recorded_) numbers.push_back(u["n"]);
    std::vector<ff::UnitRow> expected;
    size_t left_out = 0;
    for (const json& e : truth_["event_units"]) {
        const uint32_t time_unit = e["tag"].get<uint32_t>() & 0xFFFFF;
        if (std::find(numbers.begin(), numbers.end(), time_unit) == numbers.end()) {
            ++left_out;
            continue;
        }
        expected.push_back(row_of(e));
    }
    ASSERT_FALSE(expected.empty());
    ff::RingIndexReader reader(ring_);
    EXPECT_EQ(rows_of(ff::list_event_units, reader), expected);
    EXPECT_EQ(left_out > 0, GetParam().events_written_over);
}

TEST_P(FinderOnImage, DateSearchLandsOnEachUnit) {
    ff::RingIndexReader reader(ring_);
    for (size_t i = 0; i < recorded_.size(); ++i) {
        const uint32_t time = recorded_[i]["time"];
        const int64_t offset = recorded_[i]["logical"];
        EXPECT_EQ(ff::find_time(reader, time), offset) << time;
        const bool last = i + 1 == recorded_.size();
        EXPECT_EQ(ff::find_time(reader, time + 1), last ? std::nullopt : std::optional(offset));
    }
    EXPECT_EQ(ff::find_time(reader, recorded_.front()["time"].get<uint32_t>() - 1), std::nullopt);
}

// What the recorder stored for a unit: the vehicle at the first frame of the unit's GOP.
ff::QuickFields fields_of(const json& frame, uint32_t unit) {
    ff::QuickFields f;
    f.time_unit = unit;
    const auto whole = [](double tenths_value) {
        return (static_cast<int>(std::lround(tenths_value * 10)) + 5) / 10;
    };
    f.speed_kmh = whole(frame["speed"].get<double>());
    f.temperature_c = frame["temperature"];
    f.g = frame["gsensor"].get<std::array<int, 3>>();
    for (const json& t : frame["tyres"]) {
        const int stored = t["temperature"].get<int>() + 40;
        f.tyres.push_back({whole(t["pressure"].get<double>()),
                           stored > 185 ? std::nullopt : std::optional(stored - 40)});
    }
    if (frame["position"].is_string()) {
        const std::string text = frame["position"];  // "DDMM.MMMMHDDDMM.MMMMH"
        const auto degrees = [](const std::string& t, size_t digits) {
            const double d = std::stoi(t.substr(0, digits)) + std::stod(t.substr(digits, 7)) / 60;
            return t.back() == 'S' || t.back() == 'W' ? -d : d;
        };
        f.position =
            ff::QuickPosition{degrees(text.substr(0, 10), 2), degrees(text.substr(10, 11), 3)};
    }
    return f;
}

// The image truth's quick record number n.
const json& FinderOnImage::quick_truth(uint32_t n) const {
    for (const json& record : truth_["quick"]["records"]) {
        if (record["n"].get<uint32_t>() == n) return record;
    }
    ADD_FAILURE() << "no quick record " << n << " in the truth";
    static const json none = json::object({{"tyres", json::array()}});
    return none;
}

TEST_P(FinderOnImage, QuickEntriesAreTheRecordedUnitsVehicle) {
    std::map<int64_t, int> gop_at;
    for (size_t g = 0; g < truth_["gops"].size(); ++g) {
        gop_at[truth_["gops"][g]["logical"]] = static_cast<int>(g);
    }
    ff::RingIndexReader reader(ring_);
    const auto entries = ff::read_quick_entries(reader);
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), recorded_.size());
    bool without_position = false;
    for (size_t i = 0; i < recorded_.size(); ++i) {
        const uint32_t n = recorded_[i]["n"];
        EXPECT_EQ((*entries)[i].record, n);
        const ff::QuickFields fields = ff::quick_row_fields(reader, (*entries)[i]);
        const json& frame = first_frames_.at(gop_at.at(recorded_[i]["logical"]));
        ff::QuickFields expected = fields_of(frame, n);
        // Now and then a tyre sensor reports an error in the quick record only: the GOP still
        // has the reading. Such a tyre reads as an error, every other one as the GOP has it.
        const json& stored = quick_truth(n);
        ff::QuickTyres tyres;
        for (size_t t = 0; t < expected.tyres.size(); ++t) {
            ff::QuickTyre tyre = expected.tyres[t];
            if (stored["tyres"][t]["error"].get<bool>()) tyre.temperature_c.reset();
            tyres.push_back(tyre);
        }
        // Entries a count byte claims beyond the vehicle's tyres are read as the record holds
        // them, up to its room.
        for (size_t t = expected.tyres.size(); t < stored["tyres"].size(); ++t) {
            const json& entry = stored["tyres"][t];
            tyres.push_back({entry["pressure"].get<int>(),
                             entry["error"].get<bool>()
                                 ? std::nullopt
                                 : std::optional<int>(entry["temperature"].get<int>())});
        }
        if (stored.value("tyre_count", 0) > 34) {
            EXPECT_EQ(tyres.size(), 34u) << "unit " << n;
        }
        expected.tyres = tyres;
        // Positions to the last bits of a double: the truth's decimal minutes may be divided
        // otherwise.
        ASSERT_EQ(fields.position.has_value(), expected.position.has_value()) << "unit " << n;
        if (expected.position) {
            EXPECT_NEAR(fields.position->latitude, expected.position->latitude, 1e-12);
            EXPECT_NEAR(fields.position->longitude, expected.position->longitude, 1e-12);
            expected.position = fields.position;
        }
        EXPECT_EQ(fields, expected) << "unit " << n;
        without_position |= !expected.position;
        EXPECT_EQ(ff::quick_row_offset(reader, n), recorded_[i]["logical"].get<int64_t>());
        const auto texts = ff::quick_row_texts(fields, reader, {});
        EXPECT_EQ(texts[0], std::to_string(n));
        EXPECT_EQ(texts[1], ff::unit_time_text(recorded_[i]["time"]));
    }
    EXPECT_EQ(without_position, GetParam().unit_without_fix);
}

INSTANTIATE_TEST_SUITE_P(Images, FinderOnImage, testing::ValuesIn(kImages),
                         [](const auto& image) { return std::string(image.param.name); });

}  // namespace
