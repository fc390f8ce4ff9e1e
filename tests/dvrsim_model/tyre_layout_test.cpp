// Tyre monitors of vehicles of up to three units: the layout types, and readings in which
// every abnormal state and both reasons for a unit alarm occur.
#include "dvrsim/tyre_layout.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace dvrsim {
namespace {

TEST(TyreLayout, TyresPerLayoutType) {
    const int first_unit[] = {0, 4, 6, 6, 8, 8, 10, 0};                           // types 0..7
    const int trailers[] = {0, 2, 4, 4, 6, 6, 8, 6, 8, 8, 10, 8, 10, 10, 12, 0};  // types 0..15
    for (int type = 0; type < 8; ++type) {
        EXPECT_EQ(unit_tyre_count(0, type), first_unit[type]) << type;
    }
    for (int unit : {1, 2}) {
        for (int type = 0; type < 16; ++type) {
            EXPECT_EQ(unit_tyre_count(unit, type), trailers[type]) << unit << " " << type;
        }
    }
}

TEST(TyreLayout, ParsesOneToThreeTypesInTheirRanges) {
    const struct {
        const char* text;
        bool valid;
        TyreLayout layout;
    } cases[] = {
        {"2", true, {2, 0, 0}},
        {"2,4", true, {2, 4, 0}},
        {"3,14,14", true, {3, 14, 14}},
        {"6,1,1", true, {6, 1, 1}},
        {"7", false, {}},
        {"0", false, {}},
        {"1,15", false, {}},
        {"1,0", false, {}},
        {"1,2,3,4", false, {}},
        {"", false, {}},
        {"1,", false, {}},
        {",1", false, {}},
        {"1,,2", false, {}},
        {"-1", false, {}},
        {"a", false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TyreLayout layout{9, 9, 9};
        EXPECT_EQ(parse_tyre_layout(c.text, layout), c.valid);
        const TyreLayout unchanged{9, 9, 9};
        EXPECT_EQ(layout, c.valid ? c.layout : unchanged);
    }
}

struct Alerts {
    bool tyre_with_its_unit = false;  // an abnormal tyre, its unit's flag raised
    bool flag_alone = false;          // a unit's flag raised, all tyres normal
    std::set<int> states;
};

// Checks one frame against the layout and notes which alerts it shows.
void check_frame(const TyreLayout& layout, const TyreFrame& f, Alerts& seen) {
    size_t at = 0;
    int abnormal = 0;
    for (size_t u = 0; u < 3; ++u) {
        const int count = unit_tyre_count(static_cast<int>(u), layout[u]);
        ASSERT_EQ(f.summary_values[u], layout[u]);
        const int flag = f.summary_states[u];
        ASSERT_EQ(flag, count == 0 ? 0 : flag == kUnitAlarm ? kUnitAlarm : kUnitNormal);
        bool unit_abnormal = false;
        for (int k = 0; k < count; ++k, ++at) {
            ASSERT_LT(at, f.tyres.size());
            const TyreReading& r = f.tyres[at];
            seen.states.insert(r.state);
            EXPECT_GE(r.temperature, 20);
            EXPECT_LE(r.temperature, 70);
            EXPECT_EQ(r.pressure_tenths % 10, 0);
            if (r.state == 1) {
                EXPECT_EQ(r.status_bits, 0x04);
                EXPECT_GE(r.pressure_tenths, 1000);
                EXPECT_LE(r.pressure_tenths, 1200);
            } else {
                unit_abnormal = true;
                ++abnormal;
            }
        }
        if (unit_abnormal) {
            EXPECT_EQ(flag, kUnitAlarm);
            seen.tyre_with_its_unit = true;
        }
        if (flag == kUnitAlarm && !unit_abnormal) seen.flag_alone = true;
    }
    EXPECT_EQ(at, f.tyres.size());
    EXPECT_LE(abnormal, 1);
}

// Every combination of units: records packed unit by unit, at most 36 of them, and within
// 40 s every abnormal state and both alarm reasons.
TEST(TyreLayout, EveryLayoutShowsEveryAlert) {
    std::vector<TyreLayout> layouts;
    for (int a = 1; a <= 6; ++a) {
        layouts.push_back({a, 0, 0});
        for (int b = 1; b <= 14; ++b) {
            layouts.push_back({a, b, 0});
            for (int c = 1; c <= 14; ++c) layouts.push_back({a, b, c});
        }
    }
    for (const TyreLayout& layout : layouts) {
        SCOPED_TRACE(std::to_string(layout[0]) + "," + std::to_string(layout[1]) + "," +
                     std::to_string(layout[2]));
        Alerts seen;
        for (int64_t gop = 0; gop < 40; ++gop) {
            for (int frame = 0; frame < 2; ++frame) {
                const int speed = static_cast<int>(gop * 25);  // 0..97.5 km/h
                const TyreFrame f = unit_tyre_frame(layout, 3, gop, frame, speed);
                ASSERT_LE(f.tyres.size(), 36u);
                check_frame(layout, f, seen);
                if (HasFatalFailure()) return;
            }
        }
        EXPECT_TRUE(seen.tyre_with_its_unit);
        EXPECT_TRUE(seen.flag_alone);
        EXPECT_EQ(seen.states, (std::set<int>{1, 2, 3, 4, 5}));
    }
}

TEST(TyreLayout, WarmerWhenFaster) {
    const TyreLayout layout{6, 14, 14};
    const TyreFrame standing = unit_tyre_frame(layout, 1, 4, 0, 0);
    const TyreFrame fast = unit_tyre_frame(layout, 1, 4, 0, 1000);
    for (size_t i = 0; i < standing.tyres.size(); ++i) {
        EXPECT_LE(standing.tyres[i].temperature, 25);
        EXPECT_GE(fast.tyres[i].temperature, standing.tyres[i].temperature + 30);
    }
}

}  // namespace
}  // namespace dvrsim
