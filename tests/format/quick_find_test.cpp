// The quick-index finder over records built byte by byte: decoding, each search's threshold
// in both unit systems with its boundaries, the row texts and the records read for a search.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "find_fakes.h"
#include "format/index_find.h"

namespace find_test {
namespace {

constexpr uint32_t kLast = ff::kLastUnitNumber;
constexpr ff::FindUnits kMetric{0, 0};
constexpr ff::FindUnits kImperial{1, 1};

TEST(QuickDecode, ReadsEveryFieldTheFinderUses) {
    const ff::QuickFields f = ff::decode_quick_record(QuickBytes()
                                                          .unit(0xFFFFF)
                                                          .speed(300)
                                                          .temperature(0x01F6)  // low byte -10
                                                          .g(-128, 127, -1)
                                                          .tyres({{100, 100}, {90, 186}, {80, 185}})
                                                          .position("2230.1500S", "11345.0000W")
                                                          .record());
    EXPECT_EQ(f.time_unit, 0xFFFFFu);
    EXPECT_EQ(f.speed_kmh, 300);
    EXPECT_EQ(f.temperature_c, -10);
    EXPECT_EQ(f.g, (std::array<int, 3>{-128, 127, -1}));
    const std::vector<ff::QuickTyre> tyres = {{100, 60}, {90, std::nullopt}, {80, 145}};
    EXPECT_EQ(f.tyres, tyres);
    ASSERT_TRUE(f.position);
    EXPECT_DOUBLE_EQ(f.position->latitude, -(22 + 30.15 / 60));
    EXPECT_DOUBLE_EQ(f.position->longitude, -(113 + 45.0 / 60));
}

// A count of 255 would run through the texts and past the record: 34 entries fit.
TEST(QuickDecode, TheTyreCountIsClampedToTheRecordsRoom) {
    std::vector<TyreBytes> all;
    for (int i = 0; i < 34; ++i) all.push_back({static_cast<uint8_t>(i), 50});
    QuickBytes q;
    q.tyres(all).position("0130.0000N", "00230.0000E");
    for (uint8_t count : {uint8_t{34}, uint8_t{35}, uint8_t{255}}) {
        const ff::QuickFields f = ff::decode_quick_record(q.tyre_count(count).record());
        ASSERT_EQ(f.tyres.size(), 34u) << int{count};
        EXPECT_EQ(f.tyres.back(), (ff::QuickTyre{33, 10}));
        EXPECT_EQ(f.position, (ff::QuickPosition{1.5, 2.5}));
    }
    EXPECT_EQ(ff::decode_quick_record(q.tyre_count(2).record()).tyres.size(), 2u);
}

struct PositionCase {
    const char* latitude;
    const char* longitude;
    std::optional<ff::QuickPosition> position;
};

TEST(QuickDecode, PositionsAreValidOnlyAsWhole) {
    const PositionCase cases[] = {
        {"2230.0000N", "11415.0000E", ff::QuickPosition{22.5, 114.25}},
        {"0000.0000S", "00000.0000W", ff::QuickPosition{0, 0}},
        {"8959.9999N", "17959.9999E", ff::QuickPosition{89 + 59.9999 / 60, 179 + 59.9999 / 60}},
        {"", "", std::nullopt},  // no fix: nothing written
        {"2230.0000N", "", std::nullopt},
        {"2230.0000X", "11415.0000E", std::nullopt},
        {"2230,0000N", "11415.0000E", std::nullopt},
        {"22 0.0000N", "11415.0000E", std::nullopt},
        {"2230.0000N", "11415.000 E", std::nullopt},
        {"2230.0000N", "1141.50000E", std::nullopt},
        {"2230.0000N", "11415.0000N", std::nullopt},
        {"2230.0000E", "11415.0000E", std::nullopt},
        // Only places on the globe: minutes below 60, degrees up to 90 and 180.
        {"9000.0000S", "18000.0000W", ff::QuickPosition{-90, -180}},
        {"2260.0000N", "11415.0000E", std::nullopt},
        {"2230.0000N", "11460.0000E", std::nullopt},
        {"9000.0001N", "11415.0000E", std::nullopt},
        {"9824.1500S", "11345.0000W", std::nullopt},
        {"2230.0000N", "18000.0001E", std::nullopt},
        {"2230.0000N", "99900.0000E", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto f =
            ff::decode_quick_record(QuickBytes().position(c.latitude, c.longitude).record());
        EXPECT_EQ(f.position, c.position) << c.latitude << " " << c.longitude;
    }
}

struct SearchCase {
    const char* name;
    ff::QuickSearch search;
    ff::FindUnits units;
    std::array<double, 4> values;
    std::vector<QuickBytes> matching, not_matching;
};

void PrintTo(const SearchCase& c, std::ostream* os) {
    *os << c.name;
}

class QuickSearches : public testing::TestWithParam<SearchCase> {};

TEST_P(QuickSearches, MatchOnlyPastTheThreshold) {
    const SearchCase& c = GetParam();
    const auto filter = ff::make_quick_filter({c.search, c.values, c.units});
    ASSERT_TRUE(filter);
    ASSERT_FALSE(c.matching.empty());
    ASSERT_FALSE(c.not_matching.empty());
    for (size_t i = 0; i < c.matching.size(); ++i) {
        const auto entry = ff::quick_entry_of(1, c.matching[i].record());
        EXPECT_TRUE(ff::quick_matches(*filter, entry)) << "matching record " << i;
    }
    for (size_t i = 0; i < c.not_matching.size(); ++i) {
        const auto entry = ff::quick_entry_of(1, c.not_matching[i].record());
        EXPECT_FALSE(ff::quick_matches(*filter, entry)) << "record not matching " << i;
    }
}

uint16_t temperature_word(int celsius) {
    return static_cast<uint8_t>(static_cast<int8_t>(celsius));
}
QuickBytes speed(uint16_t kmh) {
    return QuickBytes().speed(kmh);
}
QuickBytes temperature(int celsius) {
    return QuickBytes().temperature(temperature_word(celsius));
}
QuickBytes g(int8_t x, int8_t y, int8_t z) {
    return QuickBytes().g(x, y, z);
}
QuickBytes tyres(const std::vector<TyreBytes>& t) {
    return QuickBytes().tyres(t);
}
QuickBytes at(const char* latitude, const char* longitude) {
    return QuickBytes().position(latitude, longitude);
}

using S = ff::QuickSearch;
const SearchCase kSearches[] = {
    {"speed_kmh", S::SpeedOver, kMetric, {100}, {speed(101), speed(65535)}, {speed(100), speed(0)}},
    // 100 mile/h x 1.608 = 160.8: over 161 km/h.
    {"speed_mph", S::SpeedOver, kImperial, {100}, {speed(162)}, {speed(161), speed(160)}},
    // 5 x 1.608 = 8.04 rounds down, 6 x 1.608 = 9.648 up.
    {"speed_mph_rounds_down", S::SpeedOver, kImperial, {5}, {speed(9)}, {speed(8)}},
    {"speed_mph_rounds_up", S::SpeedOver, kImperial, {6}, {speed(11)}, {speed(10)}},
    // 1 g is stored 63.5: 63 is under it, 64 over it, either way.
    {"g_any_axis_either_way",
     S::GOver,
     kMetric,
     {1.0},
     {g(64, 0, 0), g(0, -64, 0), g(0, 0, 127)},
     {g(63, -63, 0), g(0, 0, 0)}},
    // 127 is exactly 2 g, not over it; -128 is under -2 g.
    {"g_at_the_top_of_the_range", S::GOver, kMetric, {2.0}, {g(0, 0, -128)}, {g(127, 127, -127)}},
    {"g_at_the_bottom_of_the_range",
     S::GOver,
     kMetric,
     {0.1},
     {g(7, 0, 0), g(0, -7, 0)},
     {g(6, -6, 6)}},
    {"temperature_c",
     S::TemperatureOver,
     kMetric,
     {30},
     {temperature(31), temperature(127)},
     {temperature(30), temperature(-128)}},
    {"temperature_c_negative",
     S::TemperatureOver,
     kMetric,
     {-5},
     {temperature(-4)},
     {temperature(-5)}},
    // 86 F = 30 C.
    {"temperature_f", S::TemperatureOver, kImperial, {86}, {temperature(31)}, {temperature(30)}},
    // 20 F = -6.67 C rounds to -7 (half away from zero, not towards).
    {"temperature_f_negative_rounds_away",
     S::TemperatureOver,
     kImperial,
     {20},
     {temperature(-6)},
     {temperature(-7)}},
    // 33 F = 0.56 C rounds to 1.
    {"temperature_f_rounds_up",
     S::TemperatureOver,
     kImperial,
     {33},
     {temperature(2)},
     {temperature(1)}},
    // Tyre bytes are degrees + 40: 60 C is 100; sensor errors (above 185) never match.
    {"tyre_temperature_c",
     S::TyreTemperatureOver,
     kMetric,
     {60},
     {tyres({{0, 101}}), tyres({{0, 0}, {0, 185}}), tyres({{0, 200}, {0, 150}})},
     {tyres({{0, 100}}), tyres({{0, 186}, {0, 255}}), tyres({})}},
    {"tyre_temperature_c_negative",
     S::TyreTemperatureOver,
     kMetric,
     {-30},
     {tyres({{0, 11}})},
     {tyres({{0, 10}}), tyres({{0, 186}})}},
    // 140 F = 60 C; 0 F = -17.78 C + 40 = 22.2: over 22.
    {"tyre_temperature_f",
     S::TyreTemperatureOver,
     kImperial,
     {140},
     {tyres({{0, 101}})},
     {tyres({{0, 100}})}},
    {"tyre_temperature_f_below_zero",
     S::TyreTemperatureOver,
     kImperial,
     {0},
     {tyres({{0, 23}})},
     {tyres({{0, 22}}), tyres({{0, 190}})}},
    {"pressure_over",
     S::PressureOver,
     kImperial,
     {100},
     {tyres({{101, 0}}), tyres({{50, 0}, {255, 200}})},
     {tyres({{100, 255}}), tyres({})}},
    {"pressure_under",
     S::PressureUnder,
     kMetric,
     {90},
     {tyres({{89, 0}}), tyres({{100, 0}, {0, 0}})},
     {tyres({{90, 0}, {200, 0}}), tyres({})}},
    // 114 +- 0.5 and 22.5 +- 0.25, the edges included.
    {"position_box",
     S::PositionBox,
     kMetric,
     {114, 0.5, 22.5, 0.25},
     {at("2230.0000N", "11400.0000E"), at("2215.0000N", "11330.0000E"),
      at("2245.0000N", "11430.0000E")},
     {at("2245.0001N", "11400.0000E"), at("2230.0000N", "11329.9999E"),
      at("2230.0000S", "11400.0000E"), at("", "")}},
    {"position_box_south_west",
     S::PositionBox,
     kMetric,
     {-43.25, 1, -22.9, 0.1},
     {at("2254.0000S", "04315.0000W")},
     {at("2254.0000N", "04315.0000W"), at("2254.0000S", "04315.0000E")}},
    // A box around 0, 0 does not catch the records without a position.
    {"position_box_invalid_never",
     S::PositionBox,
     kMetric,
     {0, 1, 0, 1},
     {at("0000.0000N", "00000.0000E")},
     {at("", ""), at("0000.0000N", "")}},
};

INSTANTIATE_TEST_SUITE_P(Thresholds, QuickSearches, testing::ValuesIn(kSearches),
                         [](const auto& c) { return std::string(c.param.name); });

TEST(QuickSearchRefusals, GOutsideItsRangeRunsNoSearch) {
    for (double v : {0.0, 0.09, 2.01, 2.5, -1.0}) {
        EXPECT_FALSE(ff::make_quick_filter({S::GOver, {v}, kMetric})) << v;
    }
    for (double v : {0.1, 1.0, 2.0}) EXPECT_TRUE(ff::make_quick_filter({S::GOver, {v}, kMetric}));
}

// The texts of a row as the operator reads them.
struct TextCase {
    const char* name;
    QuickBytes record;
    ff::FindUnits units;
    std::array<std::string, 8> texts;
};

void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.name;
}

class QuickTexts : public testing::TestWithParam<TextCase> {};

TEST_P(QuickTexts, AsTheRowShowsThem) {
    FakeIndexReader reader;
    reader.time_units[7] = {1710032645, 0, 123};  // 2024/03/10 01:04:05
    const ff::QuickFields fields = ff::decode_quick_record(GetParam().record.record());
    EXPECT_EQ(ff::quick_row_texts(fields, reader, GetParam().units), GetParam().texts);
}

const TextCase kTexts[] = {
    {"metric",
     QuickBytes()
         .unit(7)
         .speed(100)
         .temperature(25)
         .g(127, -128, 64)
         .tyres({{100, 100}, {95, 200}})
         .position("2230.0000N", "11415.0000E"),
     kMetric,
     {"7", "2024/03/10 01:04:05", "100", "2.00/-2.02/1.01", "25", "114.250000/22.500000", "2",
      " 1:100/60 2:95/error"}},
    // 100 km/h = 62.2 mile/h; -29 C = -20.2 F; 60 C = 140 F; -40 C = -40 F.
    {"imperial",
     QuickBytes()
         .unit(7)
         .speed(100)
         .temperature(temperature_word(-29))
         .g(0, 0, -1)
         .tyres({{100, 100}, {30, 0}})
         .position("0530.0000S", "00815.0000E"),
     kImperial,
     {"7", "2024/03/10 01:04:05", "62", "0.00/0.00/-0.02", "-20", "  8.250000/-5.500000", "2",
      " 1:100/140 2:30/-40"}},
    // 161 km/h = 100.1 mile/h; -18 C = -0.4 F shows 0; -13 C = 8.6 F shows 9.
    {"imperial_rounding",
     QuickBytes()
         .unit(7)
         .speed(161)
         .temperature(temperature_word(-18))
         .tyres({{1, 27}})
         .position("0000.0000N", "00000.0000W"),
     kImperial,
     {"7", "2024/03/10 01:04:05", "100", "0.00/0.00/0.00", "0", "  0.000000/ 0.000000", "1",
      " 1:1/9"}},
    {"no_time_unit_no_position_no_tyres",
     QuickBytes().unit(8).temperature(temperature_word(-10)),
     kMetric,
     {"8", "-", "0", "0.00/0.00/0.00", "-10", "-", "0", ""}},
    {"west_and_south",
     QuickBytes().unit(8).speed(5).tyres({{0, 186}}).position("8959.9999S", "17959.9999W"),
     kMetric,
     {"8", "-", "5", "0.00/0.00/0.00", "0", "-179.999998/-89.999998", "1", " 1:0/error"}},
};

INSTANTIATE_TEST_SUITE_P(Rows, QuickTexts, testing::ValuesIn(kTexts),
                         [](const auto& c) { return std::string(c.param.name); });

// Quick records 0xFFFFD..3 around the ring's end; the time index has recorded 0xFFFFF..2,
// so 0xFFFFD, 0xFFFFE and 3 name units written over or not yet written.
class QuickEntries : public testing::Test {
  protected:
    void SetUp() override {
        reader_.time = header(kLast, 2);
        reader_.quick_head = quick_header(kLast - 2, 3);
        uint32_t n = kLast - 2;
        for (int i = 0; i < 6; ++i, n = ff::next_unit_number(n)) {
            reader_.quick[n] = QuickBytes().unit(n).speed(static_cast<uint16_t>(10 * i)).record();
        }
        reader_.quick[4] = QuickBytes().unit(1).speed(200).record();  // past the header's last
    }

    std::vector<uint32_t> records(const std::vector<ff::QuickEntry>& entries) {
        std::vector<uint32_t> out;
        for (const auto& e : entries) out.push_back(e.record);
        return out;
    }

    FakeIndexReader reader_;
};

TEST_F(QuickEntries, OnlyThoseOfRecordedUnitsAlongTheRing) {
    const auto entries = ff::read_quick_entries(reader_);
    ASSERT_TRUE(entries);
    EXPECT_EQ(records(*entries), (std::vector<uint32_t>{kLast, 1, 2}));
    EXPECT_EQ((*entries)[0], ff::quick_entry_of(kLast, reader_.quick[kLast]));

    // A record whose own number is another unit's goes by the unit it names.
    reader_.quick[kLast - 1] = QuickBytes().unit(2).record();
    reader_.quick.erase(1);
    EXPECT_EQ(records(*ff::read_quick_entries(reader_)),
              (std::vector<uint32_t>{kLast - 1, kLast, 2}));
}

TEST_F(QuickEntries, SearchesReturnRowsInIndexOrder) {
    const auto entries = ff::read_quick_entries(reader_);
    ASSERT_TRUE(entries);
    const auto filter = ff::make_quick_filter({S::SpeedOver, {25}, kMetric});
    const auto rows = ff::search_quick_entries(*entries, *filter);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], &(*entries)[1]);
    EXPECT_EQ(rows[1], &(*entries)[2]);
    EXPECT_EQ(rows[1]->speed_kmh, 40);
}

// A row's texts need the tyres, which the entry only sums up: the record is read again, and
// where it has gone or now names another unit the row keeps the entry's values.
TEST_F(QuickEntries, ARowReadsItsWholeRecordAgain) {
    reader_.quick[2] = QuickBytes()
                           .unit(2)
                           .speed(40)
                           .tyres({{100, 100}, {90, 186}})
                           .position("2230.1500S", "11345.0000W")
                           .record();
    const auto entries = ff::read_quick_entries(reader_);
    ASSERT_TRUE(entries);
    const ff::QuickEntry& last = entries->back();
    ASSERT_EQ(last.record, 2u);
    const ff::QuickFields whole = ff::decode_quick_record(reader_.quick[2]);
    EXPECT_EQ(ff::quick_row_fields(reader_, last), whole);

    ff::QuickFields without_tyres = whole;
    without_tyres.tyres = {};
    reader_.quick[2] = QuickBytes().unit(7).speed(99).record();
    EXPECT_EQ(ff::quick_row_fields(reader_, last), without_tyres);
    reader_.quick.erase(2);
    EXPECT_EQ(ff::quick_row_fields(reader_, last), without_tyres);
}

TEST_F(QuickEntries, NothingWithoutTheHeadersAndNothingWhenStopped) {
    reader_.quick_head.reset();
    EXPECT_FALSE(ff::read_quick_entries(reader_));
    reader_.quick_head = quick_header(kLast - 2, 3);
    reader_.time.reset();
    EXPECT_FALSE(ff::read_quick_entries(reader_));
}

TEST(QuickEntriesProgress, AskedAlongTheWayAndObeyed) {
    FakeIndexReader reader;
    constexpr uint32_t kCount = 10000;
    reader.time = header(1, kCount);
    reader.quick_head = quick_header(1, kCount);
    for (uint32_t n = 1; n <= kCount; ++n) reader.quick[n] = QuickBytes().unit(n).record();
    std::vector<double> shares;
    const auto all = ff::read_quick_entries(reader, [&shares](double done) {
        shares.push_back(done);
        return true;
    });
    ASSERT_TRUE(all);
    EXPECT_EQ(all->size(), kCount);
    ASSERT_GE(shares.size(), 2u);
    EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end()));
    EXPECT_GT(shares.front(), 0.0);
    EXPECT_LE(shares.back(), 1.0);

    int asked = 0;
    EXPECT_FALSE(ff::read_quick_entries(reader, [&asked](double) { return ++asked < 2; }));
    EXPECT_EQ(asked, 2);
}

}  // namespace
}  // namespace find_test
