// The recording a served recorder offers: a file pair, or the ring of a recorder disk or card
// image, opened read-only with the time index it lists and its GOPs in walk addressing (the
// GOPs back to back from the oldest; for a file pair simply the `.dvr` file).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "common/result.h"
#include "dvrsim/served_index.h"
#include "format/file_pair.h"
#include "format/ring_recording.h"
#include "format/stream_walker.h"

namespace dvrsim {

class ServedRecording {
  public:
    // first_unit renumbers the listed index; none keeps the source's numbering.
    static fleet::Result<std::unique_ptr<ServedRecording>> open_pair(
        const std::string& base, std::optional<uint32_t> first_unit);
    // A disk image, else a card image.
    static fleet::Result<std::unique_ptr<ServedRecording>> open_device(
        const std::string& path, std::optional<uint32_t> first_unit);

    const ServedIndex& index() const { return index_; }
    // A cursor over [range.begin, range.end) of the walk addressing. Reads through it may run
    // on several threads at once (they are positioned reads).
    fleet::format::StreamCursor cursor(const WalkRange& range) const;
    WalkRange whole() const { return {0, index_.walk_end()}; }

  private:
    fleet::format::FilePair pair_;
    fleet::format::RingRecording ring_;
    fleet::format::ByteSource* walk_bytes_ = nullptr;
    ServedIndex index_;
};

}  // namespace dvrsim
