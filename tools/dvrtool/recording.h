// Opening the `.dvr` + `.inx` pair a subcommand works on.
#pragma once

#include <string>

#include "common/result.h"
#include "dvrtool/args.h"
#include "format/file_pair.h"

namespace dvrtool {

// The index beside FILE.dvr, or the one `--index` names.
std::string index_path(const CommandLine& line);

// Opens the pair, or says why not (an input error) with nothing open. An index whose header
// lacks the index magic is refused: its units would be arbitrary numbers.
fleet::Status open_recording(fleet::format::FilePair& pair, const CommandLine& line);

std::string not_an_index(const std::string& inx_path, uint32_t magic);

}  // namespace dvrtool
