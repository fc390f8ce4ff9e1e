// The recorder's position texts as angles: the one parser behind the dashboard, the finder and
// the export's track.
#include "format/position_text.h"

#include <gtest/gtest.h>

#include <string>

namespace fleet::format {
namespace {

std::optional<PositionAngles> parse(const std::string& latitude, const std::string& longitude) {
    const std::string text = latitude + longitude;
    return text.size() == kPositionTextSize ? position_of_text(text.data()) : std::nullopt;
}

TEST(PositionTextTest, AnglesInTenThousandthsOfAMinute) {
    struct Case {
        const char* latitude;
        const char* longitude;
        int32_t latitude_angle;
        int32_t longitude_angle;
    };
    const Case cases[] = {
        {"2459.9952N", "12130.0000E", 24 * 600000 + 599952, 121 * 600000 + 300000},
        {"1030.0000S", "10015.0000W", -(10 * 600000 + 300000), -(100 * 600000 + 150000)},
        {"9000.0000N", "18000.0000E", 90 * 600000, 180 * 600000},  // the pole, the date line
        {"0000.0000S", "00000.0000W", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.latitude) + c.longitude);
        const auto angles = parse(c.latitude, c.longitude);
        ASSERT_TRUE(angles.has_value());
        EXPECT_EQ(angles->latitude, c.latitude_angle);
        EXPECT_EQ(angles->longitude, c.longitude_angle);
    }
    EXPECT_DOUBLE_EQ(degrees_of_angle(-(10 * 600000 + 300000)), -10.5);
}

TEST(PositionTextTest, NoPlaceOnTheGlobeIsNoPosition) {
    const std::pair<const char*, const char*> cases[] = {
        {"9000.0001N", "00000.0000E"},                                 // past the pole
        {"0000.0000N", "18000.0001E"},                                 // past the date line
        {"2460.0000N", "12130.0000E"},                                 // minutes 60
        {"2459.9952E", "12130.0000E"},                                 // hemisphere letters swapped
        {"2459.9952N", "12130.0000N"}, {"2459,9952N", "12130.0000E"},  // comma
        {"          ", "           "},                                 // a recorder without a fix
        {"24A9.9952N", "12130.0000E"},
    };
    for (const auto& [latitude, longitude] : cases) {
        SCOPED_TRACE(std::string(latitude) + longitude);
        EXPECT_FALSE(parse(latitude, longitude).has_value());
    }
    const char zeros[kPositionTextSize] = {};
    EXPECT_FALSE(position_of_text(zeros).has_value());
}

}  // namespace
}  // namespace fleet::format
