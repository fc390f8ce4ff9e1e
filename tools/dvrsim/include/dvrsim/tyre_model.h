// Tyre pressure monitor readings, with abnormal states that come and go so every state of
// both tyre-word encodings appears in a recording.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace dvrsim {

struct TyreReading {
    int id = 0;
    int pressure_tenths = 0;  // version 3 stores whole units only: then a multiple of 10
    int temperature = 0;      // degrees C
    uint8_t status_bits = 0;  // version 3 only
    int state = 0;            // what the status bits mean; version 1/2 words carry none
};

struct TyreFrame {
    std::vector<TyreReading> tyres;
    std::array<uint8_t, 3> summary_values{};  // version 3: tyres, abnormal tyres, sensor battery
    std::array<int, 3> summary_states{};
};

inline constexpr int kTyreCount = 6;

// Readings of the plain six-tyre monitor at one video frame; `version3` selects which
// encoding's value ranges are used. Version 1/2 readings have a tyre above 80 C now and then,
// the only abnormal condition those words can tell.
TyreFrame tyre_frame(uint64_t seed, int64_t gop, int frame, int speed_tenths, bool version3);

// The encoded tyre word for a reading.
uint32_t encode_tyre(const TyreReading& reading, bool version3);

}  // namespace dvrsim
