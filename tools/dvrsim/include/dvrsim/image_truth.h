// The ground truth of a device image: what a correct reader reports when it opens the image,
// and where everything it reads lies.
#pragma once

#include <cstdint>
#include <vector>

#include <nlohmann/json.hpp>

#include "dvrsim/device_plan.h"
#include "dvrsim/device_tables.h"
#include "dvrsim/image_options.h"
#include "dvrsim/index_writer.h"
#include "dvrsim/ring_writer.h"

namespace dvrsim {

// The recording as a reader plays it: from `start` to the end of the ring and on from its
// beginning to the end of the data (two runs), or from `start` to the end of the data when
// the oldest valid unit lies in the newest lap (one run). Logical offsets count from `start`.
struct PlayRuns {
    int64_t start = 0;
    int64_t ring_begin = 0, ring_end = 0;
    int64_t end_of_data = 0;
    bool two_runs = false;

    int64_t length() const;
    // -1 where `physical` lies in neither run (ends included).
    int64_t logical(int64_t physical) const;
};

struct ImageRecord {
    const ImageOptions& options;
    const DevicePlan& plan;
    const IndexAreas& areas;
    const std::vector<PlacedGop>& gops;  // in recording order
    const RingEnd& end;
    const IndexWriter& index;
    const IndexHeaders& headers;
};

PlayRuns play_runs(const ImageRecord& record);
// The first played GOP's position; every GOP from it to the newest is played.
size_t first_played(const ImageRecord& record);

nlohmann::ordered_json image_truth(const ImageRecord& record);

}  // namespace dvrsim
