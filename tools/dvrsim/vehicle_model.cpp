#include "dvrsim/vehicle_model.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace dvrsim {
namespace {

constexpr double kGravity = 9.80665;
constexpr double kPerG = 63.5;  // sensor counts per g (127 = 2 g)
constexpr double kMetresPerDegree = 111320.0;
constexpr double kPi = 3.14159265358979323846;

int to_sensor(double accel) {
    return std::clamp(static_cast<int>(std::lround(accel / kGravity * kPerG)), -127, 127);
}

std::string degrees_text(double degrees, int degree_digits, char positive, char negative) {
    double a = std::fabs(degrees);
    int whole = static_cast<int>(a);
    // Minutes in ten-thousandths, carried into the degrees when they round up to 60.
    int minutes = static_cast<int>(std::lround((a - whole) * 60.0 * 10000.0));
    if (minutes >= 600000) {
        minutes -= 600000;
        ++whole;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%0*d%02d.%04d%c", degree_digits, whole, minutes / 10000,
                  minutes % 10000, degrees < 0 ? negative : positive);
    return text;
}

bool parse_degrees(std::string_view text, double limit, double& out) {
    double v = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (error != std::errc() || end != text.data() + text.size()) return false;
    if (!(v >= -limit && v <= limit)) return false;  // NaN fails too
    out = v;
    return true;
}

}  // namespace

bool parse_origin(const std::string& text, Origin& out) {
    const size_t comma = text.find(',');
    if (comma == std::string::npos) return false;
    const std::string_view all(text);
    Origin origin;
    if (!parse_degrees(all.substr(0, comma), 89, origin.latitude) ||
        !parse_degrees(all.substr(comma + 1), 179, origin.longitude)) {
        return false;
    }
    out = origin;
    return true;
}

Course travel(Course from, double distance) {
    Course to = from;
    to.latitude += distance * std::cos(from.heading) / kMetresPerDegree;
    if (std::fabs(to.latitude) > 90) {
        to.latitude = std::copysign(180.0, to.latitude) - to.latitude;
        to.longitude += 180;
        to.heading = kPi - to.heading;  // going round the pole keeps its sense: east stays east
    }
    // Near a pole a metre is many degrees of longitude, but never infinitely many.
    const double metres_per_degree =
        std::max(kMetresPerDegree * std::cos(to.latitude * kPi / 180), 1.0);
    to.longitude += distance * std::sin(to.heading) / metres_per_degree;
    to.longitude = std::remainder(to.longitude, 360.0);
    return to;
}

std::string latitude_text(double degrees) {
    return degrees_text(degrees, 2, 'N', 'S');
}
std::string longitude_text(double degrees) {
    return degrees_text(degrees, 3, 'E', 'W');
}

VehicleModel::VehicleModel(uint64_t seed, int samples_per_second, std::optional<Origin> origin)
    : rng_(seed ^ 0x5EEDCA7ULL), dt_(1.0 / samples_per_second) {
    // Drawn even when an origin replaces them, so the drive itself stays that of the seed.
    course_.latitude = rng_.uniform(22.45, 22.65);
    course_.longitude = rng_.uniform(113.85, 114.25);
    if (origin) {
        course_.latitude = origin->latitude;
        course_.longitude = origin->longitude;
    }
    course_.heading = rng_.uniform(0, 2 * kPi);
    base_temperature_ = rng_.uniform(18, 30);
    enter(Phase::Stopped);
    phase_left_ = rng_.uniform(1, 2);
}

void VehicleModel::enter(Phase phase) {
    phase_ = phase;
    switch (phase) {
        case Phase::Stopped:
            accel_ = 0;
            phase_left_ = rng_.uniform(2, 5);
            break;
        case Phase::Accelerating:
            accel_ = rng_.uniform(1.0, 2.5);
            target_ = rng_.uniform(30, 100) / 3.6;
            break;
        case Phase::Cruising:
            accel_ = 0;
            phase_left_ = rng_.uniform(5, 20);
            break;
        case Phase::Braking:
            accel_ = -rng_.uniform(1.5, 4.5);
            target_ = rng_.uniform() < 0.5 ? 0 : speed_ * rng_.uniform(0.2, 0.6);
            break;
    }
}

void VehicleModel::update_phase() {
    switch (phase_) {
        case Phase::Stopped:
            if (phase_left_ <= 0) enter(Phase::Accelerating);
            break;
        case Phase::Accelerating:
            if (speed_ >= target_) enter(Phase::Cruising);
            break;
        case Phase::Cruising:
            if (phase_left_ <= 0) enter(Phase::Braking);
            break;
        case Phase::Braking:
            if (speed_ <= target_) enter(target_ <= 0 ? Phase::Stopped : Phase::Cruising);
            break;
    }
}

uint8_t VehicleModel::input_bits(double accel) const {
    uint8_t bits = 0;
    if (accel < -3.0) bits |= 0x01;              // hard braking alarm
    if (phase_ == Phase::Stopped) bits |= 0x02;  // door open at a stop
    if (std::fmod(time_, 90.0) >= 30.0 && std::fmod(time_, 90.0) < 32.0) bits |= 0x04;  // panic
    if (speed_ * 3.6 > 80.0) bits |= 0x10;  // overspeed (8-channel units)
    if (phase_ == Phase::Cruising) bits |= 0x20;
    if (std::fmod(time_, 20.0) < 1.0) bits |= 0x80;
    return bits;
}

uint8_t VehicleModel::signal_bits(double accel) const {
    uint8_t bits = 0;
    if (turn_rate_ > 0.01) bits |= 0x01;
    if (turn_rate_ < -0.01) bits |= 0x02;
    if (accel < -0.5) bits |= 0x04;
    if (std::fmod(time_, 120.0) >= 60.0) bits |= 0x08;
    return bits;
}

VehicleSample VehicleModel::step() {
    time_ += dt_;
    phase_left_ -= dt_;
    update_phase();

    double before = speed_;
    speed_ = std::max(0.0, speed_ + accel_ * dt_);
    if (phase_ == Phase::Accelerating) speed_ = std::min(speed_, target_);
    if (phase_ == Phase::Braking) speed_ = std::max(speed_, target_);
    double accel = (speed_ - before) / dt_;

    // Turns happen only while moving, a few seconds at a time.
    turn_left_ -= dt_;
    if (turn_left_ <= 0) {
        bool turn = speed_ > 3 && rng_.uniform() < 0.3;
        turn_rate_ = turn ? rng_.uniform(0.05, 0.2) * (rng_.uniform() < 0.5 ? -1 : 1) : 0;
        turn_left_ = rng_.uniform(3, 6);
    }
    if (speed_ <= 0) turn_rate_ = 0;
    course_.heading += turn_rate_ * dt_;

    course_ = travel(course_, speed_ * dt_);

    VehicleSample s;
    s.speed_tenths = static_cast<int>(std::lround(speed_ * 3.6 * 10));
    s.latitude = course_.latitude;
    s.longitude = course_.longitude;
    s.gsensor = {to_sensor(accel), to_sensor(speed_ * turn_rate_),
                 to_sensor(kGravity) + rng_.range(-2, 2)};
    s.temperature =
        static_cast<int>(std::lround(base_temperature_ + 6 * std::sin(time_ / 600.0 * 2 * kPi)));
    s.inputs = input_bits(accel);
    s.signals = signal_bits(accel);
    s.gps_fix = std::fmod(time_, 60.0) < 40.0 || std::fmod(time_, 60.0) >= 45.0;
    return s;
}

}  // namespace dvrsim
