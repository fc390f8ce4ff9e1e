// A huge disk image quick to make, for measuring how fast a reader opens one: the time index
// holds --sparse-units units spread evenly over the whole ring, which has wrapped, but GOPs
// are written only for the oldest and newest units and those around the lap seam.
#pragma once

#include "common/result.h"
#include "dvrsim/image_options.h"
#include "dvrsim/ring_image.h"

namespace dvrsim {

// Units whose GOPs are written: this many at each end and on each side of the seam.
inline constexpr int64_t kSparseWrittenUnits = 100;
inline constexpr int64_t kSparseSeamUnits = 50;

fleet::Result<ImageSummary> make_sparse_image(const ImageOptions& options);

}  // namespace dvrsim
