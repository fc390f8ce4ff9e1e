// The rows of a time index as dvrtool lists them, for a local index and a recorder's alike:
// number, time, tag and offset, as text columns or JSON objects.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include <nlohmann/json.hpp>

#include "format/index_format.h"

namespace dvrtool {

struct NumberedUnit {
    uint32_t number = 0;
    fleet::format::IndexUnit unit;
};

// {"number", "time", "time_text", "tag", "offset"} for each unit.
nlohmann::ordered_json index_rows_json(std::span<const NumberedUnit> units);

// A heading line with `number_heading` over the numbers, then one line per unit.
void print_index_rows(std::span<const NumberedUnit> units, std::string_view number_heading);

}  // namespace dvrtool
