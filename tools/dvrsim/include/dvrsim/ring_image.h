// `dvrsim disk` and `dvrsim card`: a whole recorder device as a sparse image file, with the
// truth of what a reader finds on it (IMG.truth.json) and of every frame it plays
// (IMG.truth.jsonl).
#pragma once

#include <cstdint>

#include "common/result.h"
#include "dvrsim/device_plan.h"
#include "dvrsim/image_options.h"

namespace dvrsim {

struct ImageSummary {
    int64_t device_size = 0;
    int64_t gops_written = 0;
    int64_t gops_played = 0;
    int64_t laps = 0;
};

// The device the options ask for, or why there is none: checked before anything is written.
fleet::Result<DevicePlan> plan_image(const ImageOptions& options);

fleet::Result<ImageSummary> make_image(const ImageOptions& options);

}  // namespace dvrsim
