// Arbitrary bytes as a damaged recording's file pair, walked by dvrtool's commands as a user
// runs them: verify, info, extract-es and gops --backward. Each must end with its report or
// with a reason (never a usage error, never a crash or a hang), and extract-es leaves either
// a written stream or no file at all.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "dvrtool/commands.h"
#include "pair_input.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

dvrtool::CommandLine command_line(const std::filesystem::path& dvr,
                                  std::vector<std::string> flags = {}) {
    dvrtool::CommandLine line;
    line.operands = {dvr.string()};
    for (auto& flag : flags) line.flags.insert(std::move(flag));
    return line;
}

// A failure says why, and is about the input, not the command line.
void check_outcome(const dvrtool::Outcome& outcome) {
    if (outcome) {
        check(*outcome == dvrtool::kExitDone || *outcome == dvrtool::kExitFailed);
    } else {
        check(!dvrtool::is_usage_error(outcome.error()) && !outcome.error().message.empty());
    }
}

void extract(const fuzz::PairFiles& files, const std::filesystem::path& out) {
    dvrtool::CommandLine line = command_line(files.dvr);
    line.values["--channel"] = {"1"};
    line.values["-o"] = {out.string()};
    const dvrtool::Outcome outcome = dvrtool::run_extract_es(line);
    check_outcome(outcome);
    std::error_code ignored;
    check(std::filesystem::exists(out, ignored) == outcome.ok());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzz::ScratchDir dir("dvrtool");
    const fuzz::PairFiles files{dir.path() / "rec.dvr", dir.path() / "rec.inx"};
    const std::filesystem::path out = dir.path() / "channel1.h264";
    const fuzz::FileCleanup cleanup{files.dvr, files.inx, out};
    if (!fuzz::write_pair(fuzz::split_pair_input(data, size), files)) std::abort();

    const dvrtool::Outcome verified = dvrtool::run_verify(command_line(files.dvr));
    check_outcome(verified);
    const dvrtool::Outcome info = dvrtool::run_info(command_line(files.dvr));
    check_outcome(info);
    // Both open the pair the same way; only verify judges what it then finds.
    check(verified.ok() == info.ok());
    if (info) check(*info == dvrtool::kExitDone);
    extract(files, out);
    check_outcome(dvrtool::run_gops(command_line(files.dvr, {"--backward"})));
    return 0;
}
