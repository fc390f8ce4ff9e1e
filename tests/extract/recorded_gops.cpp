#include "recorded_gops.h"

#include <stdexcept>

#include "format/frame_set.h"
#include "format/gop_header.h"
#include "format/gop_parser.h"
#include "process.h"

namespace extract_test {

RecordedGops::RecordedGops(const std::string& dvr_path) : bytes_(fleet::test::read_file(dvr_path)) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes_.data());
    const auto size = static_cast<int64_t>(bytes_.size());
    for (int64_t pos = 0; pos < size;) {
        const auto header =
            fleet::format::read_gop_header(data + pos, static_cast<size_t>(size - pos));
        if (!header || header->total_length() == 0) break;
        const int64_t stored =
            std::min(fleet::format::round_up_block(header->total_length()), size - pos);
        gops_.push_back({data + pos, static_cast<int32_t>(stored)});
        pos += stored;
    }
    if (gops_.empty()) throw std::runtime_error(dvr_path + ": no GOPs");
}

void RecordedGops::for_each(const std::function<void(const RecordedGop&, FrameSet&)>& visit) const {
    fleet::format::FrameSetStorage set;
    for (const RecordedGop& gop : gops_) {
        if (fleet::format::parse_gop(gop.data, static_cast<size_t>(gop.length), nullptr,
                                     set.get()) != fleet::format::kParseOk) {
            throw std::runtime_error("a recorded GOP does not parse");
        }
        visit(gop, set.get());
    }
}

bool record(const std::string& base, const std::vector<std::string>& arguments,
            std::string& error) {
    std::vector<std::string> argv = {DVRSIM_PATH, "record", "--out", base};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const auto result = fleet::test::run_process(argv);
    error = result.err;
    return result.exit_code == 0;
}

std::string output_of(const std::vector<std::string>& argv) {
    const auto result = fleet::test::run_process(argv);
    return result.exit_code == 0 ? result.out : std::string();
}

}  // namespace extract_test
