// A vehicle driving a route: speed that accelerates, cruises, brakes and stops, turns that
// move the heading, and the GPS, G-sensor, temperature and input signals that follow from it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "dvrsim/rng.h"

namespace dvrsim {

// What the recorder samples at one video frame, already in the units it stores.
struct VehicleSample {
    int speed_tenths = 0;          // km/h x 10
    double latitude = 0;           // degrees, north positive
    double longitude = 0;          // degrees, east positive
    std::array<int, 3> gsensor{};  // 63.5 per g, -127..127
    int temperature = 0;           // degrees C
    uint8_t inputs = 0;            // alarm inputs, bits 0-7
    uint8_t signals = 0;           // bits 0-3: left, right, brake, headlights
    bool gps_fix = true;
};

// Where the vehicle starts, in degrees.
struct Origin {
    double latitude = 0;   // -89..89, north positive
    double longitude = 0;  // -179..179, east positive
};

// "LAT,LON" in decimal degrees within the ranges of Origin.
bool parse_origin(const std::string& text, Origin& out);

struct Course {
    double latitude = 0;   // degrees
    double longitude = 0;  // degrees
    double heading = 0;    // radians from north
};

// Where `distance` metres along the heading lead. Across a pole the course comes down the
// other side, half the world round, heading south instead of north (or the reverse);
// longitudes stay within +-180.
Course travel(Course from, double distance);

class VehicleModel {
  public:
    // Without an origin the vehicle starts somewhere in the seed's default area.
    VehicleModel(uint64_t seed, int samples_per_second, std::optional<Origin> origin = {});
    // Advances by one frame interval and returns the sample at its end.
    VehicleSample step();

  private:
    enum class Phase { Stopped, Accelerating, Cruising, Braking };

    void enter(Phase phase);
    void update_phase();
    uint8_t input_bits(double accel) const;
    uint8_t signal_bits(double accel) const;

    Rng rng_;
    double dt_;
    double time_ = 0;
    Phase phase_ = Phase::Stopped;
    double phase_left_ = 0;  // seconds, for timed phases
    double speed_ = 0;       // m/s
    double target_ = 0;      // m/s
    double accel_ = 0;       // m/s^2 of the current phase
    double turn_rate_ = 0;   // rad/s
    double turn_left_ = 0;   // seconds
    Course course_;
    double base_temperature_;
};

// GPS texts as the recorder writes them: "ddmm.mmmmN" and "dddmm.mmmmE".
std::string latitude_text(double degrees);
std::string longitude_text(double degrees);

}  // namespace dvrsim
