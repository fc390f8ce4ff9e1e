// Decoding a quick record into fields that already exist.
#pragma once

#include "format/index_find.h"

namespace fleet::format {

// As decode_quick_record, written straight into `fields` (all of which it sets): a million
// records decoded into a temporary and moved into place stall on every move.
void decode_quick_record_into(const QuickRecord& record, QuickFields& fields);

}  // namespace fleet::format
