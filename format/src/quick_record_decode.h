// A quick record's position as whole numbers, shared by the decoder and the searches so both
// turn it into the same degrees.
#pragma once

#include <cstdint>

#include "format/index_find.h"
#include "format/position_text.h"

namespace fleet::format {

// Latitude and longitude in ten-thousandths of a minute, negative south and west; false when
// either text is not a place on the globe.
bool quick_position_of(const QuickRecord& record, int32_t& latitude, int32_t& longitude);

// As quick_entry_of, written straight into `e` (every field of which it sets): an entry made
// aside and copied into a million-long vector stalls on each copy, its bytes just stored
// one by one being loaded back whole.
void fill_quick_entry(uint32_t record_number, const QuickRecord& record, QuickEntry& e);

}  // namespace fleet::format
