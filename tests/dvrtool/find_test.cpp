// dvrtool find over dvrsim's recorder images and a file pair: every view's rows equal the
// ones derived here from the truth the simulator wrote, each quick search in both unit systems.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "format/byte_source.h"
#include "format/index_format.h"
#include "process.h"
#include "run_dvrtool.h"

namespace dvrtool_test {
namespace {

using fleet::test::ProcessResult;
using fleet::test::read_file;
using fleet::test::run_process;
using fleet::test::split_lines;
using fleet::test::TempDir;
using nlohmann::json;

constexpr uint32_t kHour = 3600;
constexpr uint32_t kStartHour = 1710032400;  // 2024-03-10 01:00:00 UTC

const char* const kStatus[15] = {
    "NO EVENT", "POWER ON",         "POWER OFF",        "ALARM IN",  "",       "VLOSS",
    "REC_STOP", "TIME_ADJUST_BACK", "TIME_ADJUST_JUMP", "RELAY OUT", "FORMAT", "CAR SPEED",
    "TPMS",     "G-SENSOR",         "OVER HEAT"};

std::string status_of(int type) {
    return type < 15 ? kStatus[type] : std::to_string(type);
}

std::string utc(uint32_t t, const char* format) {
    const std::time_t seconds = t;
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, format, &parts);
    return text;
}
std::string dashed(uint32_t t) {
    return utc(t, "%Y-%m-%d %H:%M:%S");
}
std::string slashed(uint32_t t) {
    return utc(t, "%Y/%m/%d %H:%M:%S");
}

// A unit as the views list it, from the truth or from an index file.
struct Unit {
    uint32_t n = 0;
    uint32_t time = 0;
    uint32_t tag = 0;
    int64_t offset = 0;
    int type() const { return static_cast<int>(tag >> 20 & 0xF); }
};

Unit unit_of(const json& u) {
    return {u["n"], u["time"], u["tag"], u["logical"]};
}

json unit_json(const Unit& u, uint32_t time_unit, std::optional<uint32_t> event) {
    json j{{"unit", time_unit}};
    if (event) j["event"] = *event;
    j["time"] = dashed(u.time);
    j["offset"] = u.offset;
    j["event_type"] = u.type();
    j["status"] = status_of(u.type());
    return j;
}

std::string unit_line(const Unit& u) {
    return slashed(u.time) + "\t" + std::to_string(u.offset) + "\t" + status_of(u.type());
}

// Less than an hour, across one hour's start: the first unit, the first at or after that
// hour, and the units with events.
std::vector<Unit> time_view(const std::vector<Unit>& units) {
    std::vector<Unit> out;
    bool hour_listed = false;
    for (const Unit& u : units) {
        const bool hour = !hour_listed && u.time >= kStartHour;
        hour_listed |= hour;
        if (out.empty() || hour || u.type() != 0) out.push_back(u);
    }
    EXPECT_TRUE(hour_listed);
    EXPECT_LT(units.back().time, kStartHour + kHour);
    return out;
}

// What the recorder stored in a quick record: the vehicle at its unit's GOP's first frame.
struct Tyre {
    int pressure = 0;
    std::optional<int> temperature;  // nothing: a sensor error
};
struct Vehicle {
    Unit unit;
    int speed = 0;  // km/h
    int temperature = 0;
    std::array<int, 3> g{};
    std::vector<Tyre> tyres;
    std::optional<std::pair<double, double>> position;  // longitude, latitude
};

int whole_of_tenths(double v) {
    return (static_cast<int>(std::lround(v * 10)) + 5) / 10;
}

double degrees(const std::string& text, size_t digits) {
    const double d = std::stoi(text.substr(0, digits)) + std::stod(text.substr(digits, 7)) / 60;
    return text.back() == 'S' || text.back() == 'W' ? -d : d;
}

Vehicle vehicle_of(const Unit& unit, const json& frame) {
    Vehicle v{unit,
              whole_of_tenths(frame["speed"]),
              frame["temperature"],
              frame["gsensor"].get<std::array<int, 3>>(),
              {},
              std::nullopt};
    for (const json& t : frame["tyres"]) {
        const int stored = std::clamp(t["temperature"].get<int>() + 40, 0, 255);
        v.tyres.push_back({whole_of_tenths(t["pressure"]),
                           stored > 185 ? std::nullopt : std::optional(stored - 40)});
    }
    if (frame["position"].is_string()) {
        const std::string text = frame["position"];  // "DDMM.MMMMHDDDMM.MMMMH"
        v.position = {degrees(text.substr(10, 11), 3), degrees(text.substr(0, 10), 2)};
    }
    return v;
}

int rounded(double v) {
    return static_cast<int>(std::lround(v));
}

struct Units {
    const char* name;
    bool imperial;
    int speed(int kmh) const { return imperial ? rounded(kmh * 0.622) : kmh; }
    int temperature(int c) const { return imperial ? rounded(c * 9.0 / 5 + 32) : c; }
};
constexpr Units kMetric{"metric", false};
constexpr Units kImperial{"imperial", true};

json quick_json(const Vehicle& v, const Units& units) {
    json tyres = json::array();
    for (const Tyre& t : v.tyres) {
        tyres.push_back({{"pressure", t.pressure},
                         {"temperature", t.temperature ? json(units.temperature(*t.temperature))
                                                       : json(nullptr)}});
    }
    return {{"unit", v.unit.n},
            {"record", v.unit.n},
            {"time", dashed(v.unit.time)},
            {"speed", units.speed(v.speed)},
            {"g", {v.g[0] * 2.0 / 127, v.g[1] * 2.0 / 127, v.g[2] * 2.0 / 127}},
            {"temperature", units.temperature(v.temperature)},
            {"position",
             v.position ? json{{"longitude", v.position->first}, {"latitude", v.position->second}}
                        : json(nullptr)},
            {"tyres", tyres}};
}

std::string quick_line(const Vehicle& v, const Units& units) {
    char text[256];
    std::string line = std::to_string(v.unit.n) + "\t" + slashed(v.unit.time) + "\t" +
                       std::to_string(units.speed(v.speed)) + "\t";
    std::snprintf(text, sizeof text, "%.2f/%.2f/%.2f", v.g[0] * 2.0 / 127, v.g[1] * 2.0 / 127,
                  v.g[2] * 2.0 / 127);
    line += std::string(text) + "\t" + std::to_string(units.temperature(v.temperature)) + "\t";
    if (v.position) {
        std::snprintf(text, sizeof text, "%10f/%9f", v.position->first, v.position->second);
        line += text;
    } else {
        line += "-";
    }
    line += "\t" + std::to_string(v.tyres.size()) + "\t";
    for (size_t i = 0; i < v.tyres.size(); ++i) {
        const Tyre& t = v.tyres[i];
        line += " " + std::to_string(i + 1) + ":" + std::to_string(t.pressure) + "/" +
                (t.temperature ? std::to_string(units.temperature(*t.temperature)) : "error");
    }
    return line;
}

// One quick search: its option and value in a unit system, and which vehicles it finds.
struct Search {
    std::string option;
    std::string value;
    std::function<bool(const Vehicle&)> matches;
};

template <typename Field>
std::vector<int> sorted_values(const std::vector<Vehicle>& vehicles, Field field) {
    std::vector<int> out;
    for (const Vehicle& v : vehicles) field(v, out);
    std::sort(out.begin(), out.end());
    return out;
}

int median(const std::vector<int>& values) {
    return values.at(values.size() / 2);
}

bool any_tyre(const Vehicle& v, const std::function<bool(const Tyre&)>& test) {
    return std::any_of(v.tyres.begin(), v.tyres.end(), test);
}

// Thresholds from the middle of what was recorded, so that each search finds some records
// and leaves others.
std::vector<Search> searches(const std::vector<Vehicle>& vehicles, const Units& units) {
    const int speed = median(
        sorted_values(vehicles, [](const Vehicle& v, auto& out) { out.push_back(v.speed); }));
    const int temperature = sorted_values(vehicles, [](const Vehicle& v, auto& out) {
                                out.push_back(v.temperature);
                            }).front();
    const std::vector<int> tyre_temperatures =
        sorted_values(vehicles, [](const Vehicle& v, auto& out) {
            for (const Tyre& t : v.tyres) {
                if (t.temperature) out.push_back(*t.temperature);
            }
        });
    // Each vehicle's highest and lowest tyre pressure.
    const std::vector<int> highest = sorted_values(vehicles, [](const Vehicle& v, auto& out) {
        int most = 0;
        for (const Tyre& t : v.tyres) most = std::max(most, t.pressure);
        out.push_back(most);
    });
    const std::vector<int> lowest = sorted_values(vehicles, [](const Vehicle& v, auto& out) {
        int least = 255;
        for (const Tyre& t : v.tyres) least = std::min(least, t.pressure);
        out.push_back(least);
    });
    // The largest axis of the middle record, in hundredths of g.
    const int g = median(sorted_values(vehicles, [](const Vehicle& v, auto& out) {
        int most = 0;
        for (int axis : v.g) most = std::max(most, std::abs(axis));
        out.push_back(rounded(most * 200.0 / 127));
    }));

    std::vector<Search> out;
    // Speeds: X mile/h is X x 1.608 km/h, rounded.
    const int speed_x = units.imperial ? rounded(speed / 1.608) : speed;
    const int speed_kmh = units.imperial ? rounded(speed_x * 1.608) : speed_x;
    out.push_back({"--speed-over", std::to_string(speed_x),
                   [speed_kmh](const Vehicle& v) { return v.speed > speed_kmh; }});

    const double g_x = std::clamp(g, 10, 200) / 100.0;
    char g_text[16];
    std::snprintf(g_text, sizeof g_text, "%.2f", g_x);
    out.push_back({"--g-over", g_text, [g_x](const Vehicle& v) {
                       return std::any_of(v.g.begin(), v.g.end(), [g_x](int a) {
                           return a * 2.0 / 127 > g_x || a * 2.0 / 127 < -g_x;
                       });
                   }});

    // Temperatures: X Fahrenheit is (X - 32) x 5 / 9 Celsius, rounded.
    const int temperature_x = units.temperature(temperature);
    const int temperature_c =
        units.imperial ? rounded((temperature_x - 32) * 5.0 / 9) : temperature_x;
    out.push_back({"--temperature-over", std::to_string(temperature_x),
                   [temperature_c](const Vehicle& v) { return v.temperature > temperature_c; }});

    const int tyre_x = units.temperature(median(tyre_temperatures));
    const int tyre_stored = units.imperial ? rounded((tyre_x - 32) * 5.0 / 9 + 40) : tyre_x + 40;
    out.push_back(
        {"--tyre-temperature-over", std::to_string(tyre_x), [tyre_stored](const Vehicle& v) {
             return any_tyre(v, [tyre_stored](const Tyre& t) {
                 return t.temperature && *t.temperature + 40 > tyre_stored;
             });
         }});

    const int pressure = highest.front();
    out.push_back({"--pressure-over", std::to_string(pressure), [pressure](const Vehicle& v) {
                       return any_tyre(v,
                                       [pressure](const Tyre& t) { return t.pressure > pressure; });
                   }});
    const int low = lowest.back();
    out.push_back({"--pressure-under", std::to_string(low), [low](const Vehicle& v) {
                       return any_tyre(v, [low](const Tyre& t) { return t.pressure < low; });
                   }});

    // A box around the first position, as wide as a third of the track's span.
    std::vector<std::pair<double, double>> positions;
    for (const Vehicle& v : vehicles) {
        if (v.position) positions.push_back(*v.position);
    }
    const auto [lon, lat] = positions.front();
    double lon_span = 0, lat_span = 0;
    for (const auto& [x, y] : positions) {
        lon_span = std::max(lon_span, std::abs(x - lon));
        lat_span = std::max(lat_span, std::abs(y - lat));
    }
    char box[128];
    std::snprintf(box, sizeof box, "%.6f,%.6f,%.6f,%.6f", lon, lon_span / 3, lat, lat_span / 3);
    double l = 0, dl = 0, b = 0, db = 0;
    std::sscanf(box, "%lf,%lf,%lf,%lf", &l, &dl, &b, &db);
    out.push_back({"--position", box, [=](const Vehicle& v) {
                       if (!v.position) return false;
                       const auto [x, y] = *v.position;
                       return l - dl <= x && x <= l + dl && b - db <= y && y <= b + db;
                   }});
    return out;
}

struct FindImage {
    const char* name;
    const char* kind;
    std::vector<std::string> options;
    bool over_the_ring_end;  // the recorded units run over 0xFFFFF to 1
};

void PrintTo(const FindImage& c, std::ostream* os) {
    *os << c.name;
}

// The disk has a unit exactly on the hour and one a second after it with no fix; the card's
// ring has wrapped over units running across 0xFFFFF, none of them on the hour. Events come
// often enough for every type, 15 and the unnamed 4 included.
const FindImage kImages[] = {
    {"disk",
     "disk",
     {"--seconds", "90", "--unit-every", "5", "--event-every", "2", "--start",
      std::to_string(kStartHour - 40)},
     false},
    {"card_wrapped",
     "card",
     {"--ring-size", "1100K", "--seconds", "150", "--unit-every", "2", "--event-every", "3",
      "--first-unit", "0xFFFC3", "--start", std::to_string(kStartHour - 121)},
     true},
};

class FindOnImage : public testing::TestWithParam<FindImage> {
  protected:
    void SetUp() override {
        const FindImage& c = GetParam();
        image_ = dir_.file(std::string(c.name) + ".img");
        std::vector<std::string> args = {DVRSIM_PATH, c.kind, "--out", image_};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const ProcessResult made = run_process(args);
        ASSERT_EQ(made.exit_code, 0) << made.err;
        truth_ = json::parse(read_file(image_ + ".truth.json"));
        for (const json& u : truth_["time_units"]) {
            if (u["n"] == truth_["oldest_unit"]) units_.clear();
            units_.push_back(unit_of(u));
        }
        ASSERT_EQ(units_.front().n, truth_["oldest_unit"]);
        ASSERT_EQ(units_.front().n > units_.back().n, c.over_the_ring_end);
        std::map<int64_t, int> gop_at;
        for (size_t g = 0; g < truth_["gops"].size(); ++g) {
            gop_at[truth_["gops"][g]["logical"]] = static_cast<int>(g);
        }
        std::map<int, json> first_frames;
        for (const auto& line : split_lines(read_file(image_ + ".truth.jsonl"))) {
            const json frame = json::parse(line);
            if (frame["frame"] == 0) first_frames[frame["gop"]] = frame;
        }
        for (const Unit& u : units_) {
            vehicles_.push_back(vehicle_of(u, first_frames.at(gop_at.at(u.offset))));
        }
    }

    std::string find(std::vector<std::string> extra) {
        std::vector<std::string> args = {"find", std::string("--") + GetParam().kind, image_};
        args.insert(args.end(), extra.begin(), extra.end());
        const ProcessResult r = dvrtool(args);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(r.err, "");
        return r.out;
    }

    TempDir dir_;
    std::string image_;
    json truth_;
    std::vector<Unit> units_;  // from the oldest still recorded to the last
    std::vector<Vehicle> vehicles_;
};

TEST_P(FindOnImage, TimeViewListsTheFirstTheHourAndTheEvents) {
    const std::vector<Unit> listed = time_view(units_);
    std::vector<json> rows;
    std::string lines;
    for (const Unit& u : listed) {
        rows.push_back(unit_json(u, u.n, std::nullopt));
        lines += unit_line(u) + "\n";
    }
    EXPECT_EQ(json_lines(find({"--view", "time", "--json"})), rows);
    EXPECT_EQ(find({"--view", "time"}), lines);
}

TEST_P(FindOnImage, EventViewListsTheEventsOfRecordedUnits) {
    std::vector<json> rows;
    std::string lines;
    std::vector<int> types;
    for (const json& e : truth_["event_units"]) {
        const Unit u = unit_of(e);
        const uint32_t time_unit = u.tag & 0xFFFFF;
        if (std::none_of(units_.begin(), units_.end(),
                         [time_unit](const Unit& t) { return t.n == time_unit; })) {
            continue;
        }
        rows.push_back(unit_json(u, time_unit, u.n));
        lines += unit_line(u) + "\n";
        types.push_back(u.type());
    }
    // Type 15 has no name and shows its number; type 4's name is empty.
    EXPECT_NE(std::find(types.begin(), types.end(), 15), types.end());
    EXPECT_NE(std::find(types.begin(), types.end(), 4), types.end());
    EXPECT_EQ(json_lines(find({"--view", "event", "--json"})), rows);
    EXPECT_EQ(find({"--view", "event"}), lines);
}

TEST_P(FindOnImage, QuickViewFindsWhatEachSearchShouldInBothUnitSystems) {
    ASSERT_GT(vehicles_.size(), 10u);
    ASSERT_TRUE(std::any_of(vehicles_.begin(), vehicles_.end(),
                            [](const Vehicle& v) { return !v.position; }));
    for (const Units& units : {kMetric, kImperial}) {
        for (const Search& s : searches(vehicles_, units)) {
            SCOPED_TRACE(std::string(units.name) + " " + s.option + " " + s.value);
            std::vector<json> rows;
            std::string lines;
            for (const Vehicle& v : vehicles_) {
                if (!s.matches(v)) continue;
                rows.push_back(quick_json(v, units));
                lines += quick_line(v, units) + "\n";
            }
            // A search that finds all or nothing would not tell its threshold apart.
            EXPECT_GT(rows.size(), 0u);
            EXPECT_LT(rows.size(), vehicles_.size());
            std::vector<std::string> args = {"--view", "quick", s.option, s.value};
            if (units.imperial) args.push_back("--imperial");
            EXPECT_EQ(find(args), lines);
            args.push_back("--json");
            EXPECT_EQ(json_lines(find(args)), rows);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Images, FindOnImage, testing::ValuesIn(kImages),
                         [](const auto& image) { return std::string(image.param.name); });

// A file pair has a time index only: its event view is empty and it has no quick view.
TEST(FindOnFilePair, TimeViewOnlyAndEmptyEvents) {
    TempDir dir;
    const std::string base = dir.file("pair");
    const ProcessResult made =
        run_process({DVRSIM_PATH, "record", "--out", base, "--channels", "1", "--stream-version",
                     "3", "--seconds", "12", "--start", std::to_string(kStartHour - 5)});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    fleet::format::FileByteSource inx;
    ASSERT_TRUE(inx.open(base + ".inx"));
    fleet::format::IndexHeader header;
    ASSERT_TRUE(fleet::format::read_index_header(inx, header));
    std::vector<Unit> units;
    for (uint32_t n = header.first; n <= header.last; ++n) {
        fleet::format::IndexUnit u;
        ASSERT_TRUE(fleet::format::read_index_unit(inx, n, u));
        units.push_back({n, u.time, u.tag, u.offset});
    }
    std::vector<json> rows;
    for (const Unit& u : time_view(units)) rows.push_back(unit_json(u, u.n, std::nullopt));
    ASSERT_GE(rows.size(), 2u);

    ProcessResult r = dvrtool({"find", base + ".dvr", "--view", "time", "--json"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(json_lines(r.out), rows);

    r = dvrtool({"find", base + ".dvr", "--view", "event"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "");

    r = dvrtool({"find", base + ".dvr", "--view", "quick", "--speed-over", "10"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "dvrtool: " + base + ".dvr has no quick index: only a disk or card keeps one\n");
}

TEST(FindUsage, RefusedBeforeAnythingIsRead) {
    const std::vector<std::vector<std::string>> refused = {
        {},
        {"--view", "hour"},
        {"--view", "quick"},
        {"--view", "quick", "--speed-over", "10", "--pressure-over", "9"},
        {"--view", "quick", "--speed-over", "10", "--speed-over", "20"},
        {"--view", "time", "--speed-over", "10"},
        {"--view", "event", "--position", "1,1,1,1"},
        {"--view", "quick", "--g-over", "2.5"},
        {"--view", "quick", "--g-over", "0.09"},
        {"--view", "quick", "--speed-over", "1.5"},
        {"--view", "quick", "--temperature-over", "warm"},
        {"--view", "quick", "--position", "1,2,3"},
        {"--view", "quick", "--position", "1,2,3,4,5"},
    };
    for (const auto& options : refused) {
        std::vector<std::string> args = {"find", "/nonexistent.dvr"};
        args.insert(args.end(), options.begin(), options.end());
        const ProcessResult r = dvrtool(args);
        std::string shown;
        for (const auto& o : options) shown += o + " ";
        EXPECT_EQ(r.exit_code, 2) << shown << r.err;
        EXPECT_EQ(r.err.rfind("dvrtool: find: ", 0), 0u) << r.err;
    }
}

}  // namespace
}  // namespace dvrtool_test
