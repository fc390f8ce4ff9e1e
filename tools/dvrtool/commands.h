// The subcommands. Each returns the process exit code: 0 done, 1 input missing, unreadable
// or (verify) damaged. Bad usage throws UsageError.
#pragma once

#include "args.h"

namespace dvrtool {

int run_info(const CommandLine& line);
int run_gops(const CommandLine& line);
int run_index(const CommandLine& line);
int run_telemetry(const CommandLine& line);
int run_verify(const CommandLine& line);
int run_extract_es(const CommandLine& line);
int run_bench(const CommandLine& line);
int run_play(const CommandLine& line);

}  // namespace dvrtool
