// Text from a recording or a peer made fit to be part of a file name. Such text is data: it must
// not climb out of a directory, hide a file, or be refused by the FAT sticks evidence is handed
// over on.
#pragma once

#include <string>
#include <string_view>

namespace fleet {

// Whole, well-formed UTF-8 characters are kept; any other byte (a recorder's own code page, a
// character cut at a field's end), path separators, control characters and what FAT refuses
// (: * ? " < > |) become '_', as do leading dots and trailing dots and spaces. Empty text
// becomes `when_empty`.
std::string safe_name_part(std::string_view text, std::string_view when_empty);

}  // namespace fleet
