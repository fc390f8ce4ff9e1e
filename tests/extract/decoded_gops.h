// dvrsim recordings read back GOP by GOP the way the engine's extraction delivers them: the
// stored bytes of each GOP with the frame set the engine's decoder bank makes of them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "decode/decoder_bank.h"
#include "format/file_pair.h"
#include "format/frame_set.h"
#include "output_writer.h"

namespace extract_test {

struct RecordedPair {
    std::string dvr;
    std::string inx;
};

// Runs `dvrsim record --out DIR/source OPTIONS...`; fails the test when dvrsim does.
RecordedPair record_with_dvrsim(const std::string& dir, const std::vector<std::string>& options);

class DecodedGops {
  public:
    explicit DecodedGops(const RecordedPair& pair);

    // Reads and decodes the next GOP; false at the end of the data.
    bool next();

    int64_t offset() const { return offset_; }  // in the source stream
    const uint8_t* data() const { return buffer_.data(); }
    size_t stored_length() const { return walk_.length; }
    size_t total_length() const;  // without the padding
    const FrameSet& frames() const { return frames_.get(); }
    const kivra::ChannelSizes& sizes() const { return sizes_; }
    ombrel::GopInput input(size_t length) const { return {data(), length, &frames_.get()}; }

    fleet::format::FilePair& pair() { return pair_; }

  private:
    fleet::format::FilePair pair_;
    fleet::format::StreamCursor cursor_;
    std::vector<uint8_t> buffer_;
    fleet::format::WalkBuffer walk_;
    int64_t offset_ = 0;
    std::unique_ptr<kivra::DecoderBank> bank_;
    fleet::format::FrameSetStorage frames_;
    kivra::ChannelSizes sizes_{};
};

}  // namespace extract_test
