// Encodes the telemetry block of a GOP, section by section.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "format/info_block.h"

namespace fleet::format {

struct StatusRecord {
    std::string vehicle_id;  // at most 14 characters are stored
    int temperature = 0;     // degrees C, -128..127
    uint8_t inputs = 0;      // alarm inputs; bits 4-7 count only for 8-channel version 3
    uint8_t signals = 0;     // bits 0-3
};

struct TyreSection {
    int words_per_group = 0;
    std::vector<std::vector<uint32_t>> groups;  // one group per video frame
    std::optional<uint32_t> summary;            // version 3 only
};

struct InfoBlockPlan {
    std::optional<std::vector<StatusRecord>> status;
    std::optional<std::vector<uint16_t>> speed;        // raw speed words
    std::optional<std::vector<std::string>> position;  // 21 characters: latitude + longitude
    std::optional<std::vector<std::array<int8_t, 3>>> gsensor;
    std::optional<TyreSection> tyres;
    uint32_t magic = kInfoMagic;  // tests write others
};

std::vector<uint8_t> build_info_block(const InfoBlockPlan& plan);

// Value encodings.
uint16_t speed_word(int tenths_kmh);  // whole km/h in bits 0-11, tenths in 12-15
uint32_t tyre_word_v3(int id, uint8_t status_bits, int temperature_c, int pressure);
uint32_t tyre_word_v12(int id, int pressure_tenths, int temperature_c);
uint32_t tyre_summary_word(std::array<uint8_t, 3> values, std::array<int, 3> states);

}  // namespace fleet::format
