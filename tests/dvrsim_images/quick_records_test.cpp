// Quick records and index units of disk and card images as a host reads them through the
// format's ring reader, held against the truth: the decoded fields, tyre sensor errors, count
// bytes beyond the record's room, event types and logical offsets; and the truth against the
// frames the recorder wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "common/le.h"
#include "format/ring_recording.h"
#include "image_reading.h"

namespace {

using fleet::test::MadeImage;
using nlohmann::json;
namespace format = fleet::format;

constexpr uint32_t kRecordingStart = 1773475200;  // dvrsim's default --start
constexpr size_t kTyreRoom = 34;                  // entries between offset 16 and the position
constexpr int kHighestTemperatureByte = 185;

struct QuickCase {
    const char* name;
    const char* kind;
    std::vector<std::string> args;
};

void PrintTo(const QuickCase& c, std::ostream* os) {
    *os << c.name;
}

const std::vector<QuickCase> kCases{
    // 34 tyres fill the record and the count byte says 200; wrapped, positions south and west.
    {"disk-34-tyres-count-200",
     "disk",
     {"--ring-size", "2M", "--seconds", "250", "--tyre-layout", "6,14,14", "--quick-tyre-count",
      "200", "--origin", "-33.5,-70.25"}},
    // A count below the tyres stored: readers take three.
    {"card-count-3-of-6",
     "card",
     {"--seconds", "80", "--stream-version", "2", "--channels", "4", "--fps", "2",
      "--quick-tyre-count", "3", "--unit-every", "5", "--seed", "9"}},
    // A count above the six stored: the entries after them read as zero bytes.
    {"card-count-40-of-6",
     "card",
     {"--seconds", "70", "--quick-tyre-count", "40", "--event-every", "10", "--seed", "5"}},
    {"disk-plain", "disk", {"--seconds", "90", "--event-every", "20", "--seed", "3"}},
};

const MadeImage& made(const QuickCase& c) {
    return fleet::test::made_once(c.name, c.kind, c.args);
}

format::MediumKind kind_of(const json& truth) {
    return truth["kind"] == "disk" ? format::MediumKind::Disk : format::MediumKind::Card;
}

std::string text_at(const format::QuickRecord& q, size_t at, size_t width) {
    return {reinterpret_cast<const char*>(q.data() + at), width};
}

// The record's bytes, decoded here, say what the truth says.
void expect_record_bytes(const format::QuickRecord& q, const json& r) {
    EXPECT_EQ(fleet::load_u32(q.data()), r["time_unit"].get<uint32_t>());
    EXPECT_EQ(fleet::load_u16(q.data() + 4), r["speed"].get<int>());
    EXPECT_EQ(static_cast<int8_t>(q[6]), r["temperature"].get<int>());
    for (size_t axis = 0; axis < 3; ++axis) {
        EXPECT_EQ(static_cast<int8_t>(q[8 + axis]), r["g"][axis].get<int>());
    }
    EXPECT_EQ(q[12], r["tyre_count"].get<int>());
    const json& tyres = r["tyres"];
    ASSERT_EQ(tyres.size(), std::min<size_t>(q[12], kTyreRoom));
    for (size_t i = 0; i < tyres.size(); ++i) {
        const json& t = tyres[i];
        const uint8_t temperature = q[17 + 2 * i];
        EXPECT_EQ(q[16 + 2 * i], t["pressure"].get<int>()) << "tyre " << i;
        EXPECT_EQ(temperature, t["temperature_byte"].get<int>()) << "tyre " << i;
        const bool error = temperature > kHighestTemperatureByte;
        EXPECT_EQ(t["error"].get<bool>(), error) << "tyre " << i;
        if (error) {
            EXPECT_TRUE(t["temperature"].is_null()) << "tyre " << i;
        } else {
            EXPECT_EQ(t["temperature"].get<int>(), temperature - 40) << "tyre " << i;
        }
    }
    // Nothing is stored past the tyres the record holds.
    const size_t stored = r["stored_tyres"].get<size_t>();
    for (size_t i = std::max(stored, tyres.size()); i < kTyreRoom; ++i) {
        EXPECT_EQ(q[16 + 2 * i], 0) << "tyre " << i;
        EXPECT_EQ(q[17 + 2 * i], 0) << "tyre " << i;
    }
    for (const auto& [key, at, width] :
         {std::tuple{"latitude", size_t{84}, size_t{10}}, {"longitude", size_t{96}, size_t{11}}}) {
        const std::string stored_text = text_at(q, at, width);
        if (r[key].is_null()) {
            EXPECT_EQ(stored_text, std::string(width, '\0')) << key;
        } else {
            EXPECT_EQ(stored_text, r[key].get<std::string>()) << key;
        }
    }
}

class QuickImage : public testing::TestWithParam<QuickCase> {};

// Through the ring reader, as the viewer and dvrtool read them: every listed time unit with its
// logical offset and event type, every event unit, and the quick record beside each time unit.
TEST_P(QuickImage, ReadThroughTheRingAsTheTruthSays) {
    const MadeImage& m = made(GetParam());
    const json& t = m.truth;
    format::RingRecording ring;
    ASSERT_TRUE(ring.open(kind_of(t), m.path)) << m.path;

    for (const char* list : {"time_units", "event_units"}) {
        const bool time = std::string(list) == "time_units";
        for (const json& u : t[list]) {
            SCOPED_TRACE(std::string(list) + " " + u.dump());
            format::IndexUnit unit;
            const int64_t n = u["n"].get<int64_t>();
            ASSERT_TRUE(time ? ring.time_unit(n, unit) : ring.event_unit(n, unit));
            EXPECT_EQ(unit.time, u["time"].get<uint32_t>());
            EXPECT_EQ(unit.offset, u["logical"].get<int64_t>());
            EXPECT_EQ(static_cast<int>(unit.tag >> 20), u["event_type"].get<int>());
            if (!time) {
                EXPECT_EQ(unit.tag & 0xFFFFF, u["time_unit"].get<uint32_t>());
            }
        }
    }

    const json& records = t["quick"]["records"];
    const json& units = t["time_units"];
    ASSERT_EQ(records.size(), units.size());
    ASSERT_FALSE(records.empty());
    for (size_t i = 0; i < records.size(); ++i) {
        const json& r = records[i];
        SCOPED_TRACE("quick record " + r.dump());
        EXPECT_EQ(r["n"], units[i]["n"]);
        format::QuickRecord q;
        ASSERT_TRUE(ring.quick_unit(r["n"].get<int64_t>(), q));
        expect_record_bytes(q, r);
    }
}

// The truth's records hold the vehicle of their unit's GOP at its first frame; the count byte is
// the option's, or the tyres stored; a sensor error replaces one temperature only.
TEST_P(QuickImage, RecordsHoldTheFirstFrameOfTheirGop) {
    const MadeImage& m = made(GetParam());
    const json& t = m.truth;
    std::map<int64_t, size_t> play_index;
    for (size_t i = 0; i < t["gops"].size(); ++i) {
        play_index[t["gops"][i]["physical"].get<int64_t>()] = i;
    }
    const size_t frames = m.lines.size() / t["gops"].size();
    const json& records = t["quick"]["records"];
    const json& units = t["time_units"];
    int checked = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        if (!units[i]["valid"].get<bool>()) continue;
        const json& r = records[i];
        const json& frame = m.lines.at(play_index.at(units[i]["physical"].get<int64_t>()) * frames);
        SCOPED_TRACE("record " + r.dump() + "\nframe " + frame.dump());
        EXPECT_EQ(r["speed"].get<int>(), std::lround(frame["speed"].get<double>()));
        EXPECT_EQ(r["temperature"], frame["temperature"]);
        EXPECT_EQ(r["g"], frame["gsensor"]);
        const json& tyres = frame["tyres"];
        const size_t stored = std::min(tyres.size(), kTyreRoom);
        EXPECT_EQ(r["stored_tyres"].get<size_t>(), stored);
        const json count = t["quick_tyre_count"].is_null() ? json(stored) : t["quick_tyre_count"];
        EXPECT_EQ(r["tyre_count"], count);
        int errors = 0;
        for (size_t k = 0; k < r["tyres"].size(); ++k) {
            const json& tyre = r["tyres"][k];
            if (k >= stored) {
                EXPECT_EQ(tyre["pressure"], 0);
                EXPECT_EQ(tyre["temperature_byte"], 0);
                continue;
            }
            EXPECT_EQ(tyre["pressure"].get<int>(), std::lround(tyres[k]["pressure"].get<double>()));
            if (tyre["error"].get<bool>()) {
                ++errors;
            } else {
                EXPECT_EQ(tyre["temperature"], tyres[k]["temperature"]);
            }
        }
        EXPECT_LE(errors, 1);
        if (frame["position"].is_null()) {
            EXPECT_TRUE(r["latitude"].is_null());
            EXPECT_TRUE(r["longitude"].is_null());
        } else {
            EXPECT_EQ(r["latitude"].get<std::string>() + r["longitude"].get<std::string>(),
                      frame["position"].get<std::string>());
        }
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

// One unit in every seven, counted from the recording's first, has a tyre sensor error: the
// same remainder throughout, every such unit, no other.
TEST_P(QuickImage, SensorErrorsComeInOneUnitOfEverySeven) {
    const json& t = made(GetParam()).truth;
    const json& records = t["quick"]["records"];
    const json& units = t["time_units"];
    const uint32_t unit_every = t["unit_every"].get<uint32_t>();
    std::map<uint32_t, std::vector<int>> errors_by_remainder;  // error counts of the records
    for (size_t i = 0; i < records.size(); ++i) {
        const uint32_t sequence = (units[i]["time"].get<uint32_t>() - kRecordingStart) / unit_every;
        const json& tyres = records[i]["tyres"];
        const int errors = static_cast<int>(std::count_if(
            tyres.begin(), tyres.end(), [](const json& tyre) { return tyre["error"] == true; }));
        errors_by_remainder[sequence % 7].push_back(errors);
    }
    ASSERT_GE(records.size(), 7u);
    std::set<uint32_t> failing;
    for (const auto& [remainder, counts] : errors_by_remainder) {
        if (std::count(counts.begin(), counts.end(), 0) == std::ssize(counts)) continue;
        failing.insert(remainder);
        EXPECT_TRUE(std::all_of(counts.begin(), counts.end(), [](int n) { return n == 1; }))
            << "remainder " << remainder;
    }
    EXPECT_EQ(failing.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Images, QuickImage, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<QuickCase>& param) {
                             std::string name = param.param.name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
