// Reading UTF-8 from data that may be anything (a recorder's own code page, a cut field).
#pragma once

#include <cstddef>
#include <string_view>

namespace fleet {

// Length of the well-formed UTF-8 sequence at the start of `s`, or 0. The ranges are those of
// the Unicode standard's table of well-formed sequences: no overlong forms, no surrogates,
// nothing above U+10FFFF, nothing cut short.
size_t utf8_sequence_length(std::string_view s);

}  // namespace fleet
