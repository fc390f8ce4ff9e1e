// The tyre display: layout lists, which records a unit reads, unit alerts, the older four-tyre
// data, records short of the layout, units and rounding of the texts.
#include "model/tyre_panel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace velmora::test {
namespace {

constexpr TyreUnits kMetric{0, 0};
constexpr const char* kCelsius = "\u2103";
constexpr const char* kFahrenheit = "\u2109";

TyreRecordBytes record(float psi, int32_t celsius, int32_t status) {
    TyreRecordBytes bytes{};
    const int32_t reserved = 0x7f7f7f7f;  // never read
    std::memcpy(bytes.data(), &reserved, 4);
    std::memcpy(bytes.data() + 4, &psi, 4);
    std::memcpy(bytes.data() + 8, &celsius, 4);
    std::memcpy(bytes.data() + 12, &status, 4);
    return bytes;
}

// n normal records; record i reads (100 + i) psi and (20 + i) C, so each one is recognisable.
std::vector<TyreRecordBytes> numbered_records(int n) {
    std::vector<TyreRecordBytes> records;
    for (int i = 0; i < n; ++i)
        records.push_back(record(100.0f + static_cast<float>(i), 20 + i, kTyreNormal));
    return records;
}

std::vector<int> visible_positions(const TyrePanelState& state) {
    std::vector<int> positions;
    for (int p = 0; p < kTyrePositions; ++p) {
        if (state.tyres[p].visible) positions.push_back(p);
    }
    return positions;
}

std::vector<int> as_vector(std::span<const int> positions) {
    return {positions.begin(), positions.end()};
}

std::array<int32_t, kTyreSummaryCount> summary(int type1, int type2, int type3, int flag1 = 1,
                                               int flag2 = 1, int flag3 = 1) {
    return {type1, type2, type3, flag1, flag2, flag3};
}

TEST(TyreRecordTest, ReadsLittleEndianFields) {
    // 35.0f is 0x420c0000; -5 and 4 as 32-bit little-endian words.
    const TyreRecordBytes bytes{0xff, 0xff, 0xff, 0xff, 0x00, 0x00, 0x0c, 0x42,
                                0xfb, 0xff, 0xff, 0xff, 0x04, 0x00, 0x00, 0x00};
    const TyreReading reading = read_tyre_record(bytes);
    EXPECT_EQ(reading.pressure_psi, 35.0f);
    EXPECT_EQ(reading.temperature_c, -5);
    EXPECT_EQ(reading.status, 4);
}

TEST(TyreLayoutTest, ListsByUnitAndType) {
    const struct {
        int unit;
        int type;
        std::vector<int> positions;
    } cases[] = {
        {1, 1, {0, 3, 8, 11}},
        {1, 2, {0, 3, 8, 9, 10, 11}},
        {1, 3, {0, 3, 4, 7, 8, 11}},
        {1, 4, {0, 3, 4, 7, 8, 9, 10, 11}},
        {1, 5, {0, 3, 4, 5, 6, 7, 8, 11}},
        {1, 6, {0, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
        {1, 7, {}},
        {1, 0, {}},
        {1, -1, {}},
        {2, 1, {4, 7}},
        {2, 2, {4, 5, 6, 7}},
        {2, 3, {4, 7, 8, 11}},
        {2, 4, {4, 5, 6, 7, 8, 11}},
        {2, 5, {4, 7, 8, 9, 10, 11}},
        {2, 6, {4, 5, 6, 7, 8, 9, 10, 11}},
        {2, 7, {0, 3, 4, 7, 8, 11}},
        {2, 8, {0, 3, 4, 5, 6, 7, 8, 11}},
        {2, 9, {0, 3, 4, 7, 8, 9, 10, 11}},
        {2, 10, {0, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
        {2, 11, {0, 1, 2, 3, 4, 7, 8, 11}},
        {2, 12, {0, 1, 2, 3, 4, 5, 6, 7, 8, 11}},
        {2, 13, {0, 1, 2, 3, 4, 7, 8, 9, 10, 11}},
        {2, 14, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
        {2, 15, {}},
        {3, 1, {4, 7}},
        {3, 14, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
        {3, 0, {}},
        {0, 1, {}},
        {4, 1, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(as_vector(unit_layout(c.unit, c.type)), c.positions)
            << "unit " << c.unit << " type " << c.type;
    }
}

TEST(TyreTextTest, UnitsAndRounding) {
    const struct {
        int32_t celsius;
        int unit;
        std::string text;
    } temperatures[] = {
        {24, 0, std::string("24") + kCelsius},      {-5, 0, std::string("-5") + kCelsius},
        {37, 1, std::string("99") + kFahrenheit},  // 98.6
        {-5, 1, std::string("23") + kFahrenheit},   {-18, 1, std::string("0") + kFahrenheit},
        {-23, 1, std::string("-9") + kFahrenheit},  // -9.4
        {-40, 1, std::string("-40") + kFahrenheit},
    };
    for (const auto& c : temperatures) {
        EXPECT_EQ(tyre_temperature_text(c.celsius, c.unit), c.text) << c.celsius;
    }
    const struct {
        float psi;
        int unit;
        std::string text;
    } pressures[] = {
        {35.0f, 1, "241kpa"},  // 241.3
        {35.0f, 0, "35psi"},  {35.5f, 0, "36psi"},   {-2.5f, 0, "-3psi"},
        {0.0f, 1, "0kpa"},    {110.2f, 1, "760kpa"},  // 759.8
    };
    for (const auto& c : pressures) {
        EXPECT_EQ(tyre_pressure_text(c.psi, c.unit), c.text) << c.psi;
    }
}

TEST(TyrePanelTest, ResetShowsEmptyIconsOutsideTheCab) {
    TyrePanel panel;
    panel.update(summary(6, 14, 14, 2, 1, 1), numbered_records(34), kMetric);
    ASSERT_TRUE(panel.select_unit(2, true));
    panel.reset();
    const TyrePanelState& state = panel.state();
    EXPECT_EQ(state.current_unit, 1);
    EXPECT_EQ(state.outline_unit, 1);
    EXPECT_EQ(state.unit_alert, (std::array<bool, 3>{}));
    EXPECT_EQ(state.layout_types, (std::array<int, 3>{}));
    EXPECT_EQ(state.repeater, 0);
    for (int p = 0; p < kTyrePositions; ++p) {
        const bool cab = p == 1 || p == 2;
        EXPECT_EQ(state.tyres[p], (TyreSlot{cab ? kNoTyreIcon : 0, !cab, "", ""})) << p;
    }
    EXPECT_EQ(TyrePanel().state(), state);
}

TEST(TyrePanelTest, UnitOneShowsItsLayoutInRecordOrder) {
    TyrePanel panel;
    auto records = numbered_records(6);
    records[2] = record(35.0f, -5, 3);
    panel.update(summary(3, 0, 0), records, kMetric);
    const TyrePanelState& state = panel.state();
    EXPECT_EQ(visible_positions(state), (std::vector<int>{0, 3, 4, 7, 8, 11}));
    EXPECT_EQ(state.tyres[0], (TyreSlot{1, true, std::string("20") + kCelsius, "100psi"}));
    EXPECT_EQ(state.tyres[4], (TyreSlot{3, true, std::string("-5") + kCelsius, "35psi"}));
    EXPECT_EQ(state.tyres[11], (TyreSlot{1, true, std::string("25") + kCelsius, "105psi"}));
    EXPECT_EQ(state.tyres[5].line1, "");
    EXPECT_EQ(state.layout_types, (std::array<int, 3>{3, 0, 0}));
    EXPECT_EQ(state.unit_alert, (std::array<bool, 3>{true, false, false}));
    EXPECT_EQ(state.repeater, 1);
}

TEST(TyrePanelTest, UnitTwoReadsItsRecordsAfterUnitOnes) {
    TyrePanel panel;
    const auto records = numbered_records(8);  // unit 1 type 1: 4 records, unit 2 type 2: 4
    const TyreUnits units{1, 1};
    panel.update(summary(1, 2, 0, 1, 0, 1), records, units);
    EXPECT_EQ(visible_positions(panel.state()), (std::vector<int>{0, 3, 8, 11}));
    EXPECT_EQ(panel.state().repeater, 1);

    EXPECT_FALSE(panel.select_unit(2, false)) << "paused";
    EXPECT_FALSE(panel.select_unit(3, true)) << "unit 3 absent";
    EXPECT_EQ(panel.state().current_unit, 1);
    ASSERT_TRUE(panel.select_unit(2, true));
    EXPECT_EQ(panel.state().outline_unit, 2);
    // The unit-1 tyres stay until the next update lays unit 2 out.
    EXPECT_EQ(visible_positions(panel.state()), (std::vector<int>{0, 3, 8, 11}));

    panel.update(summary(1, 2, 0, 1, 0, 1), records, units);
    const TyrePanelState& state = panel.state();
    EXPECT_EQ(visible_positions(state), (std::vector<int>{4, 5, 6, 7}));
    // Records 4..7: 24..27 C (75..81 F) and 104..107 psi (717..738 kPa).
    EXPECT_EQ(state.tyres[4].line1, std::string("75") + kFahrenheit);
    EXPECT_EQ(state.tyres[4].line2, "717kpa");
    EXPECT_EQ(state.tyres[7].line1, std::string("81") + kFahrenheit);
    EXPECT_EQ(state.tyres[7].line2, "738kpa");
    EXPECT_EQ(state.tyres[0].line1, "");
    EXPECT_EQ(state.repeater, 0);  // unit 2's flag
    EXPECT_EQ(state.unit_alert, (std::array<bool, 3>{false, true, false}));
}

TEST(TyrePanelTest, UnitAlertsByTyreStatusAndByUnitFlag) {
    const struct {
        const char* name;
        std::array<int32_t, kTyreSummaryCount> summary;
        int abnormal_record;  // -1: all normal
        std::array<bool, 3> alerts;
    } cases[] = {
        {"all normal", summary(1, 1, 1), -1, {false, false, false}},
        {"unit 1 tyre status 4", summary(1, 1, 1), 3, {true, false, false}},
        {"unit 2 tyre status 4", summary(1, 1, 1), 4, {false, true, false}},
        {"unit 3 tyre status 4", summary(1, 1, 1), 7, {false, false, true}},
        {"unit 2 flag 0, tyres normal", summary(1, 1, 1, 1, 0, 1), -1, {false, true, false}},
        {"unit 1 flag 2", summary(1, 1, 1, 2, 1, 1), -1, {true, false, false}},
        {"absent unit ignores its flag", summary(1, 0, 1, 1, 0, 1), -1, {false, false, false}},
        // Unit 2 absent: unit 3's records directly follow unit 1's.
        {"unit 3 after absent unit 2", summary(1, 0, 1), 4, {false, false, true}},
        // An unknown tractor type has no tyres, so unit 2's records come first.
        {"unknown unit 1 type", summary(7, 1, 1), 0, {false, true, false}},
    };
    for (const auto& c : cases) {
        auto records = numbered_records(8);
        if (c.abnormal_record >= 0) records[c.abnormal_record] = record(100.0f, 30, 4);
        TyrePanel panel;
        panel.update(c.summary, records, kMetric);
        EXPECT_EQ(panel.state().unit_alert, c.alerts) << c.name;
    }
}

TEST(TyrePanelTest, RecordsShortOfTheLayoutShowNothing) {
    TyrePanel panel;
    panel.update(summary(6, 0, 0), numbered_records(7), kMetric);
    const TyrePanelState& state = panel.state();
    // Type 6 lists 0, 3, 4, 5, 6, 7, 8, 9, 10, 11: records 0..6 reach position 8.
    EXPECT_EQ(state.tyres[8], (TyreSlot{1, true, std::string("26") + kCelsius, "106psi"}));
    for (int p : {9, 10, 11}) EXPECT_EQ(state.tyres[p], (TyreSlot{kNoTyreIcon, true, "", ""})) << p;

    // Unit 2's records would start at 10; only 11 arrive.
    TyrePanel trailer;
    trailer.update(summary(6, 2, 0), numbered_records(11), kMetric);
    ASSERT_TRUE(trailer.select_unit(2, true));
    trailer.update(summary(6, 2, 0), numbered_records(11), kMetric);
    EXPECT_EQ(trailer.state().tyres[4].line2, "110psi");
    for (int p : {5, 6, 7}) {
        EXPECT_EQ(trailer.state().tyres[p], (TyreSlot{kNoTyreIcon, true, "", ""})) << p;
    }
}

TEST(TyrePanelTest, OlderDataChoosesThePictureByTemperature) {
    const struct {
        std::vector<TyreRecordBytes> records;
        std::array<int, 4> states;  // positions 0, 3, 8, 11
        bool alert;
    } cases[] = {
        {{record(30, 80, 1), record(30, 81, 1), record(30, -5, 1), record(30, 20, 1)},
         {1, 4, 1, 1},
         true},
        // The delivered status does not count: only the temperature does.
        {{record(30, 80, 3), record(30, 20, 0), record(30, 79, 5), record(30, 20, 2)},
         {1, 1, 1, 1},
         false},
        {{record(30, 120, 1), record(30, 20, 1)}, {4, 1, kNoTyreIcon, kNoTyreIcon}, true},
    };
    for (const auto& c : cases) {
        TyrePanel panel;
        panel.update(summary(6, 3, 3, 1, 2, 1), numbered_records(18), kMetric);
        panel.request_relayout();
        panel.update_legacy(c.records, kMetric);
        const TyrePanelState& state = panel.state();
        EXPECT_EQ(visible_positions(state), (std::vector<int>{0, 3, 8, 11}));
        EXPECT_EQ((std::array<int, 4>{state.tyres[0].state, state.tyres[3].state,
                                      state.tyres[8].state, state.tyres[11].state}),
                  c.states);
        EXPECT_EQ(state.unit_alert, (std::array<bool, 3>{c.alert, false, false}));
        EXPECT_EQ(state.layout_types, (std::array<int, 3>{6, 0, 0}));
        EXPECT_EQ(state.repeater, 0);
    }
}

TEST(TyrePanelTest, OlderDataTextsInTheChosenUnits) {
    TyrePanel panel;
    panel.update_legacy({record(35.0f, 37, 1)}, TyreUnits{1, 1});
    EXPECT_EQ(panel.state().tyres[0].line1, std::string("99") + kFahrenheit);
    EXPECT_EQ(panel.state().tyres[0].line2, "241kpa");
    EXPECT_EQ(panel.state().tyres[3], (TyreSlot{kNoTyreIcon, true, "", ""}));
}

TEST(TyrePanelTest, LaysOutAgainForANewSourceOrAChangedLayout) {
    TyrePanel panel;
    panel.update(summary(1, 0, 0), numbered_records(4), kMetric);
    EXPECT_EQ(visible_positions(panel.state()), (std::vector<int>{0, 3, 8, 11}));
    // Same layout again: nothing moves.
    panel.update(summary(1, 0, 0), numbered_records(4), kMetric);
    EXPECT_EQ(visible_positions(panel.state()), (std::vector<int>{0, 3, 8, 11}));
    // A new source with another layout.
    panel.request_relayout();
    panel.update(summary(2, 0, 0), numbered_records(6), kMetric);
    EXPECT_EQ(visible_positions(panel.state()), (std::vector<int>{0, 3, 8, 9, 10, 11}));
    // The layout changes within a source.
    panel.update(summary(3, 0, 0), numbered_records(6), kMetric);
    EXPECT_EQ(visible_positions(panel.state()), (std::vector<int>{0, 3, 4, 7, 8, 11}));
    EXPECT_EQ(panel.state().tyres[9].line1, "");
    // After a reset every icon shows until the next update lays the tyres out again.
    panel.reset();
    EXPECT_EQ(visible_positions(panel.state()).size(), 10u);
    panel.update(summary(3, 0, 0), numbered_records(6), kMetric);
    EXPECT_EQ(visible_positions(panel.state()), (std::vector<int>{0, 3, 4, 7, 8, 11}));
}

TEST(TyrePanelTest, OnlyDeliveredRecordsUpToTheLimitAreRead) {
    // 40 records handed over: three full units use 34 of them; an abnormal record past the
    // limit of 36 never raises an alert.
    auto records = numbered_records(40);
    records[38] = record(100.0f, 30, 4);
    TyrePanel panel;
    panel.update(summary(6, 14, 14), records, kMetric);
    EXPECT_EQ(panel.state().unit_alert, (std::array<bool, 3>{}));
    ASSERT_TRUE(panel.select_unit(3, true));
    panel.update(summary(6, 14, 14), records, kMetric);
    EXPECT_EQ(visible_positions(panel.state()).size(), 12u);
    EXPECT_EQ(panel.state().tyres[11].line2, "133psi");  // record 33
}

}  // namespace
}  // namespace velmora::test
