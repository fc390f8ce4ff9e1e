#include "dvrsim/ring_writer.h"

#include <string>

#include "format/gop_header.h"

namespace dvrsim {

bool is_valid(const PlacedGop& gop, const RingEnd& end) {
    if (gop.lap == end.laps) return true;
    return gop.lap + 1 == end.laps && gop.physical >= end.end_of_data;
}

RingEnd ring_end_of(const std::vector<PlacedGop>& gops) {
    RingEnd end;
    if (gops.empty()) return end;
    end.laps = gops.back().lap;
    end.end_of_data = gops.back().end();
    for (auto it = gops.rbegin(); it != gops.rend(); ++it) {
        if (it->lap + 1 == end.laps) {
            end.seam = it->end();
            break;
        }
    }
    return end;
}

fleet::Status write_gop_at(ImageFile& image, int64_t offset, const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> padded(bytes);
    padded.resize(static_cast<size_t>(fleet::format::round_up_block(std::ssize(bytes))), 0);
    return image.write_at(offset, padded.data(), padded.size());
}

bool RingSink::fits_at(int64_t at, int64_t stored) const {
    return at < plan_.ring_end && at + stored <= plan_.space_end;
}

fleet::Status RingSink::store(const ProducedGop& gop) {
    const auto length = std::ssize(gop.bytes);
    const int64_t stored = fleet::format::round_up_block(length);
    if (!fits_at(cursor_, stored) && !gops_.empty()) {
        cursor_ = plan_.ring_begin;
        ++lap_;
    }
    const int64_t ring = plan_.ring_end - plan_.ring_begin;
    if (!fits_at(cursor_, stored) || stored > ring) {
        return fleet::fail("the ring (" + std::to_string(ring) +
                           " bytes) is too small for one GOP of " + std::to_string(stored) +
                           " bytes");
    }
    if (auto written = write_gop_at(image_, plan_.physical_origin + cursor_, gop.bytes); !written) {
        return written;
    }
    auto spooled = spool_.append(gop.truth_lines);
    if (!spooled) return spooled.error();
    const size_t position = gops_.size();
    gops_.push_back({gop.index, gop.time, cursor_, length, stored, lap_, *spooled});
    if (auto indexed = index_.add(
            {gop.index, gop.time, cursor_, position, &gop.first_sample, &gop.first_tyres});
        !indexed) {
        return indexed;
    }
    cursor_ += stored;
    return {};
}

}  // namespace dvrsim
