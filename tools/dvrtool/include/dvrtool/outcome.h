// How a command ends, as the command line promises: exit 0 when done, 1 when the input is
// missing, unreadable or damaged (or the work itself failed), 2 on bad usage, 130 (the shell's
// number for Ctrl-C) when the user stopped the work part way.
#pragma once

#include <string>
#include <utility>

#include "common/result.h"

namespace dvrtool {

enum ExitCode : int { kExitDone = 0, kExitFailed = 1, kExitBadUsage = 2, kExitInterrupted = 130 };

// Bad usage is told apart by its code, which no system error number can be: it ends with
// exit 2 and a pointer to --help. Every other Error (fleet::fail) ends with exit 1.
inline constexpr int kUsageErrorCode = -2;
inline fleet::Error usage_error(std::string message) {
    return fleet::fail(std::move(message), kUsageErrorCode);
}
inline bool is_usage_error(const fleet::Error& error) {
    return error.code == kUsageErrorCode;
}

// The exit code of a command that ran: kExitDone, kExitFailed from verify when it found
// damage, which it has listed itself, or kExitInterrupted from an export stopped by Ctrl-C.
using Outcome = fleet::Result<ExitCode>;

}  // namespace dvrtool
