// Names of the recorder's event types 0..14 in the current language, for event lists.
#pragma once

#include <array>
#include <string>

#include "lang/language_table.h"

namespace velmora {

inline constexpr int kEventTypeCount = 15;
using EventTypeNames = std::array<std::string, kEventTypeCount>;

// Type 4 has no name; the others come from the language table.
EventTypeNames event_type_names(const LanguageTable& texts);

}  // namespace velmora
