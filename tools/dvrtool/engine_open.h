// Opening what a command line names in the engine, as a host does: a file pair with its index
// at once, a disk or card (a device or an image of one) through the engine's disk report.
#pragma once

#include <functional>

#include "common/result.h"
#include "dvrtool/args.h"

namespace dvrtool {

// Waits for the engine's first DiskEventProc report and returns its event; negative when none
// came in time.
using DiskReportWait = std::function<int()>;

// The engine must have been started (zInit) with a DiskEventProc that `disk_report` observes.
// When the engine refuses a disk or card, opening it here tells the user why.
fleet::Status open_in_engine(const CommandLine& line, const DiskReportWait& disk_report);

}  // namespace dvrtool
