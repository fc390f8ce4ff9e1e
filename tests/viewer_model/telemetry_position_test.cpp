// GPS positions as the recorder writes them, and the texts the map and the caption show.
#include "model/telemetry_position.h"

#include <gtest/gtest.h>

#include <cstring>

namespace velmora::test {
namespace {

std::array<char, kPositionBytes> position_bytes(const char* latitude, const char* longitude) {
    std::array<char, kPositionBytes> bytes{};
    std::memcpy(bytes.data(), latitude, 10);
    std::memcpy(bytes.data() + 10, longitude, 11);
    return bytes;
}

struct ValidCase {
    const char* latitude;
    const char* longitude;
    double latitude_degrees;
    double longitude_degrees;
    const char* latitude_text;
    const char* longitude_text;
};

TEST(TelemetryPositionTest, DegreesAndCutTexts) {
    const ValidCase cases[] = {
        {"2459.9952N", "12130.0000E", 24.99992, 121.5, "24.999920", "121.500000"},
        // South and west: the minus sign costs the last digit once the degrees have two (three).
        {"1030.0000S", "10015.0000W", -10.5, -100.25, "-10.50000", "-100.25000"},
        {"0930.0000S", "09915.0000W", -9.5, -99.25, "-9.500000", "-99.250000"},
        // Short values are padded to the field width.
        {"0000.0000N", "00000.0000E", 0, 0, " 0.000000", "  0.000000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.latitude) + c.longitude);
        const auto parsed = parse_position(position_bytes(c.latitude, c.longitude));
        ASSERT_TRUE(parsed.has_value());
        EXPECT_NEAR(parsed->latitude, c.latitude_degrees, 1e-9);
        EXPECT_NEAR(parsed->longitude, c.longitude_degrees, 1e-9);
        EXPECT_EQ(parsed->latitude_text, c.latitude_text);
        EXPECT_EQ(parsed->longitude_text, c.longitude_text);
    }
}

TEST(TelemetryPositionTest, AnythingElseIsNoPosition) {
    const std::pair<const char*, const char*> cases[] = {
        {"2459,9952N", "12130.0000E"},                                 // comma instead of the point
        {"2459.9952N", "12130,0000E"}, {"2460.0000N", "12130.0000E"},  // minutes 60
        {"2459.9952N", "12160.0000E"}, {"2459.9952X", "12130.0000E"},  // hemisphere letters
        {"2459.9952N", "12130.0000N"}, {"24A9.9952N", "12130.0000E"},
        {"2459.9952N", "1213.00000E"},  // point one place early
    };
    for (const auto& [latitude, longitude] : cases) {
        SCOPED_TRACE(std::string(latitude) + longitude);
        EXPECT_FALSE(parse_position(position_bytes(latitude, longitude)).has_value());
    }
    EXPECT_FALSE(parse_position(std::array<char, kPositionBytes>{}).has_value());
}

}  // namespace
}  // namespace velmora::test
