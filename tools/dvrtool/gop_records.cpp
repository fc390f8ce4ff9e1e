#include "gop_records.h"

namespace dvrtool {

GopRecords count_records(const uint8_t* gop, const fleet::format::GopLayout& layout) {
    GopRecords out;
    out.frames = fleet::format::for_each_frame_record(gop, layout,
                                                      [&](const fleet::format::FrameRecordView& f) {
                                                          auto c = static_cast<size_t>(f.channel);
                                                          ++out.per_channel[c];
                                                          if (f.key) ++out.key_frames[c];
                                                      });
    return out;
}

std::vector<int> channels_with_frame(const GopRecords& records, int k, int limit) {
    std::vector<int> out;
    for (int c = 0; c < limit && c < kFormatChannels; ++c) {
        if (records.per_channel[static_cast<size_t>(c)] > k) out.push_back(c + 1);
    }
    return out;
}

}  // namespace dvrtool
