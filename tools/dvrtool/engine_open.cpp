#include "engine_open.h"

#include <string>

#include "kivra/kivra.h"
#include "recording.h"

namespace dvrtool {
namespace {

fleet::Status open_medium(const CommandLine& line, int type, const std::string& path,
                          const DiskReportWait& disk_report) {
    if (!zOpen(type, path.c_str(), nullptr, 0, 0)) {
        return fleet::fail("the engine cannot start reading " + path);
    }
    const int report = disk_report();
    if (report == KIVRA_DISK_OPENED) return {};
    if (report < 0) return fleet::fail(path + ": the engine did not report on it in time");
    // The engine only tells that it failed; opening the medium here tells why.
    auto opened = open_recording(line);
    if (!opened) return opened.error();
    return fleet::fail(path + ": the engine cannot open it");
}

}  // namespace

fleet::Status open_in_engine(const CommandLine& line, const DiskReportWait& disk_report) {
    if (auto disk = line.value("--disk")) {
        return open_medium(line, KIVRA_SOURCE_DISK, *disk, disk_report);
    }
    if (auto card = line.value("--card")) {
        return open_medium(line, KIVRA_SOURCE_CARD, *card, disk_report);
    }
    const std::string& dvr = line.operands[0];
    const std::string inx = index_path(line);
    if (!zOpen(KIVRA_SOURCE_FILE, dvr.c_str(), inx.c_str(), 0, 0)) {
        return fleet::fail("cannot open " + dvr + " with " + inx + " as a recording");
    }
    return {};
}

}  // namespace dvrtool
