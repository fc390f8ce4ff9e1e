// Small recordings written item by item for the dvrtool tests: GOPs built with dvrsim's
// GOP builder, and raw blocks between them where a test wants padding or damage.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "format/file_pair_writer.h"
#include "format/gop_builder.h"

namespace dvrtool_test {

inline constexpr uint32_t kT0 = 1714564800;  // 2024-05-01 12:00:00 UTC

// Payload of frame k of a channel: never a zero byte, so no block of it reads as padding,
// and different for every (time, channel, k).
std::vector<uint8_t> payload(uint32_t time, int channel, int k);

// A GOP with `frames` records per channel, interleaved as recorders write them; the first
// frame of each channel is the key frame.
fleet::format::GopPlan make_gop(uint32_t time, const std::vector<int>& channels, int frames);

struct Item {
    int64_t offset = 0;
    size_t length = 0;  // bytes before padding
};

class PairBuilder {
  public:
    explicit PairBuilder(const std::string& base);  // writes base.dvr and base.inx

    // A GOP that leaves previous_length at 0 gets the previous GOP's total length.
    // `index_time` replaces the time given to the index writer.
    void add_gop(fleet::format::GopPlan gop, std::optional<uint32_t> index_time = std::nullopt);
    // Bytes that are not a GOP, padded with zeros to whole blocks. The index writer counts
    // them like a GOP, which only matters for the first item.
    void add_raw(const std::vector<uint8_t>& bytes);
    void finish();

    const std::string& dvr() const { return dvr_; }
    const std::string& inx() const { return inx_; }
    const std::vector<Item>& items() const { return items_; }
    int64_t length() const { return writer_.stream_length(); }

  private:
    void append(const std::vector<uint8_t>& bytes, uint32_t time);

    std::string dvr_, inx_;
    fleet::format::FilePairWriter writer_;
    std::vector<Item> items_;
    uint32_t last_total_ = 0;
    uint32_t last_time_ = 0;
};

// The recording most tests start from: three GOPs of channels 1 and 3, two frames each.
void write_three_gops(PairBuilder& pair);

}  // namespace dvrtool_test
