// Recorded texts (vehicle ids, positions) as JSON strings. Recorders store bytes: ASCII mostly,
// a local code page on some units, anything in a damaged recording, while JSON text must be
// UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace fleet {

// The bytes as UTF-8: well-formed UTF-8 sequences stay as they are, and every other byte is
// read as Latin-1, so byte 0xE9 becomes U+00E9 "é" and 0xFF becomes U+00FF "ÿ". No byte is
// dropped or merged with another, and a text made only of such bytes can be turned back into
// them by writing each character as one Latin-1 byte.
std::string utf8_text(std::string_view bytes);

}  // namespace fleet
