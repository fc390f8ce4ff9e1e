#include "decoded_gops.h"

#include <gtest/gtest.h>

#include "format/gop_header.h"
#include "process.h"

namespace extract_test {

RecordedPair record_with_dvrsim(const std::string& dir, const std::vector<std::string>& options) {
    std::vector<std::string> argv{DVRSIM_PATH, "record", "--out", dir + "/source"};
    argv.insert(argv.end(), options.begin(), options.end());
    const auto run = fleet::test::run_process(argv);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    return {dir + "/source.dvr", dir + "/source.inx"};
}

DecodedGops::DecodedGops(const RecordedPair& pair)
    : buffer_(fleet::format::kWalkBufferSize), bank_(std::make_unique<kivra::DecoderBank>()) {
    const std::string failure = pair_.open(pair.dvr, pair.inx);
    EXPECT_EQ(failure, "");
    EXPECT_TRUE(bank_->ready());
    cursor_ = pair_.cursor();
    walk_ = {buffer_.data(), buffer_.size(), 0};
}

bool DecodedGops::next() {
    for (;;) {
        if (fleet::format::next_gop(cursor_, walk_) != fleet::format::kWalkRead) return false;
        offset_ = cursor_.position - static_cast<int64_t>(walk_.length);
        if (bank_->parse(buffer_.data(), walk_.length, frames_.get(), &sizes_) ==
            fleet::format::kParseOk) {
            return true;
        }
    }
}

size_t DecodedGops::total_length() const {
    return fleet::format::GopHeader::read(buffer_.data()).total_length();
}

}  // namespace extract_test
