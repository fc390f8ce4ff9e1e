// The subcommands. Each prints its report and returns how it ended (outcome.h).
#pragma once

#include "dvrtool/args.h"
#include "dvrtool/outcome.h"

namespace dvrtool {

Outcome run_info(const CommandLine& line);
Outcome run_gops(const CommandLine& line);
Outcome run_index(const CommandLine& line);
Outcome run_remote_index(const CommandLine& line);  // index --remote
Outcome run_find(const CommandLine& line);
Outcome run_telemetry(const CommandLine& line);
Outcome run_verify(const CommandLine& line);
Outcome run_extract_es(const CommandLine& line);
Outcome run_export(const CommandLine& line);
Outcome run_bench(const CommandLine& line);
Outcome run_play(const CommandLine& line);
Outcome run_play_live(const CommandLine& line);  // play --live
Outcome run_download(const CommandLine& line);

}  // namespace dvrtool
