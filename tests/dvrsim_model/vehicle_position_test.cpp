// The vehicle's position: the texts the recorder writes, its origin, and long drives.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "dvrsim/vehicle_model.h"

namespace dvrsim {
namespace {

TEST(PositionTexts, HemispheresAndRoundingIntoTheNextDegree) {
    const struct {
        double degrees;
        const char* latitude;
        const char* longitude;
    } cases[] = {
        {-33.5, "3330.0000S", "03330.0000W"},
        {-70.25, "7015.0000S", "07015.0000W"},
        {22.5, "2230.0000N", "02230.0000E"},
        {0, "0000.0000N", "00000.0000E"},
        {-0.5, "0030.0000S", "00030.0000W"},
        // Minutes that round to 60 become the next whole degree.
        {-33.9999999, "3400.0000S", "03400.0000W"},
        {12.99999999, "1300.0000N", "01300.0000E"},
        {-0.99999999, "0100.0000S", "00100.0000W"},
        // Just below 60 minutes stays in its degree.
        {-45.9999983, "4559.9999S", "04559.9999W"},
        {-179.25, nullptr, "17915.0000W"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.degrees);
        if (c.latitude != nullptr) {
            EXPECT_EQ(latitude_text(c.degrees), c.latitude);
        }
        EXPECT_EQ(longitude_text(c.degrees), c.longitude);
    }
}

TEST(Origin, ParsesDecimalDegreesWithinRange) {
    const struct {
        const char* text;
        bool valid;
        double latitude;
        double longitude;
    } cases[] = {
        {"-33.5,-70.25", true, -33.5, -70.25},
        {"89,179", true, 89, 179},
        {"-89,-179", true, -89, -179},
        {"0,0", true, 0, 0},
        {"51.5074,-0.1278", true, 51.5074, -0.1278},
        {"90,0", false, 0, 0},
        {"0,-180", false, 0, 0},
        {"-89.5,0", false, 0, 0},
        {"1", false, 0, 0},
        {"1,2,3", false, 0, 0},
        {",2", false, 0, 0},
        {"1,", false, 0, 0},
        {"1;2", false, 0, 0},
        {"nan,0", false, 0, 0},
        {"0,inf", false, 0, 0},
        {" 1,2", false, 0, 0},
        {"1x,2", false, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Origin origin{7, 7};
        EXPECT_EQ(parse_origin(c.text, origin), c.valid);
        EXPECT_EQ(origin.latitude, c.valid ? c.latitude : 7);
        EXPECT_EQ(origin.longitude, c.valid ? c.longitude : 7);
    }
}

TEST(Travel, CrossesTheDateLineAndThePoles) {
    constexpr double kPi = 3.14159265358979323846;
    const struct {
        const char* what;
        Course from;
        double metres;
        Course to;
    } cases[] = {
        {"a degree north", {0, 0, 0}, 111320, {1, 0, 0}},
        {"east over the date line", {0, 179.9995, kPi / 2}, 111.32, {0, -179.9995, kPi / 2}},
        {"west over the date line", {0, -179.9995, -kPi / 2}, 111.32, {0, 179.9995, -kPi / 2}},
        {"over the north pole", {89.9, 10, 0}, 22264, {89.9, -170, kPi}},
        {"over the south pole", {-89.9, -100, kPi}, 22264, {-89.9, 80, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Course to = travel(c.from, c.metres);
        EXPECT_NEAR(to.latitude, c.to.latitude, 1e-9);
        EXPECT_NEAR(to.longitude, c.to.longitude, 1e-9);
        EXPECT_NEAR(std::cos(to.heading), std::cos(c.to.heading), 1e-9);
        EXPECT_NEAR(std::sin(to.heading), std::sin(c.to.heading), 1e-9);
    }
    // Round the pole from beside it: the sense of the turn is kept (east stays east).
    const Course beside = travel({89.99, 0, 0.1}, 3000);
    EXPECT_GT(beside.latitude, 89.9);
    EXPECT_GT(std::sin(beside.heading), 0);
}

// A position text a reader accepts: digits, minutes below 60, degrees within the globe.
void expect_real_position(const std::string& latitude, const std::string& longitude) {
    ASSERT_EQ(latitude.size(), 10u);
    ASSERT_EQ(longitude.size(), 11u);
    EXPECT_LE(std::stoi(latitude.substr(0, 2)), 90) << latitude;
    EXPECT_LT(std::stod(latitude.substr(2, 7)), 60.0) << latitude;
    EXPECT_TRUE(latitude[9] == 'N' || latitude[9] == 'S') << latitude;
    EXPECT_LE(std::stoi(longitude.substr(0, 3)), 180) << longitude;
    EXPECT_LT(std::stod(longitude.substr(3, 7)), 60.0) << longitude;
    EXPECT_TRUE(longitude[10] == 'E' || longitude[10] == 'W') << longitude;
}

// Drives start exactly at the origin and, from near a pole and beside the date line, stay
// real positions for the longest recording (a day).
TEST(Origin, DrivesStartThereAndStayOnTheGlobe) {
    const Origin origins[] = {{89, 179}, {-89, -179}, {-33.5, -70.25}, {0, 0}};
    for (const Origin& origin : origins) {
        for (uint64_t seed : {1u, 2u, 3u}) {
            SCOPED_TRACE(std::to_string(origin.latitude) + "," + std::to_string(origin.longitude) +
                         " seed " + std::to_string(seed));
            VehicleModel model(seed, 1, origin);
            const VehicleSample first = model.step();
            EXPECT_EQ(first.latitude, origin.latitude);
            EXPECT_EQ(first.longitude, origin.longitude);
            double travelled = 0;
            for (int second = 1; second < 86400; ++second) {
                const VehicleSample s = model.step();
                travelled += s.speed_tenths;
                ASSERT_LE(std::fabs(s.latitude), 90.0);
                ASSERT_LE(std::fabs(s.longitude), 180.0);
                if (second % 600 == 0) {
                    expect_real_position(latitude_text(s.latitude), longitude_text(s.longitude));
                }
            }
            EXPECT_GT(travelled / 36000, 500);  // km: far enough to cross from 89 degrees
        }
    }
}

// Without an origin the drive is the one the seed always gave; with one, it is the same
// drive moved there.
TEST(Origin, KeepsTheSeedsDrive) {
    VehicleModel plain(5, 4), moved(5, 4, Origin{-10, -20});
    for (int i = 0; i < 400; ++i) {
        const VehicleSample a = plain.step(), b = moved.step();
        ASSERT_EQ(a.speed_tenths, b.speed_tenths) << i;
        ASSERT_EQ(a.gsensor, b.gsensor) << i;
        EXPECT_GE(a.latitude, 22.4);
        EXPECT_LE(a.latitude, 22.7);
        EXPECT_GE(a.longitude, 113.8);
        EXPECT_LE(a.longitude, 114.3);
    }
}

}  // namespace
}  // namespace dvrsim
