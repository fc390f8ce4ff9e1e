// What `dvrtool export` is asked for, read from its command line: the kind of export, the
// channels, the UTC range and the target directory. Usage errors say what is wrong.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dvrtool/args.h"
#include "dvrtool/outcome.h"

namespace dvrtool {

enum class ExportKind { ChannelAvi, ChannelMp4, Mosaic, FilePair };

bool per_channel(ExportKind kind);  // one file per channel (AVI or MP4)

struct ExportPlan {
    ExportKind kind = ExportKind::ChannelAvi;
    std::optional<std::vector<int>> channels;  // none given: every channel of the recording
    uint32_t from = 0, to = 0;
    std::string directory;
};

// A usage error for a missing or second kind, channels outside 1..8 or given twice, channels
// with a kind that has none, times not in "YYYY-MM-DD HH:MM:SS" form, --from after --to, or no
// -o DIR.
fleet::Result<ExportPlan> parse_plan(const CommandLine& line);

}  // namespace dvrtool
