// Vehicle names arrive as UTF-16 (the recorders' wide texts); everything else in the viewer's
// model is UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// UTF-8 of a UTF-16 text; an unpaired surrogate becomes U+FFFD.
std::string utf8_from_utf16(std::u16string_view text);

// UTF-16 of a UTF-8 text; a byte that starts no well-formed sequence becomes U+FFFD.
std::u16string utf16_from_utf8(std::string_view text);

}  // namespace velmora
