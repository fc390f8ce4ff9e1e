// What every image needs before and after its GOPs are written: the laid-out device file with
// its tables and index writer, and the headers and truth files at the end.
#pragma once

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/result.h"
#include "dvrsim/device_plan.h"
#include "dvrsim/device_tables.h"
#include "dvrsim/image_file.h"
#include "dvrsim/image_options.h"
#include "dvrsim/image_truth.h"
#include "dvrsim/index_writer.h"
#include "dvrsim/ring_writer.h"

namespace dvrsim {

IndexSchedule schedule_of(const ImageOptions& options);

// A session that ends without keep() removes what it wrote: a failed image leaves no files.
struct ImageSession {
    ImageSession() = default;
    ~ImageSession();
    ImageSession(const ImageSession&) = delete;
    ImageSession& operator=(const ImageSession&) = delete;

    DevicePlan plan;
    ImageFile image;
    IndexAreas areas;
    std::unique_ptr<IndexWriter> index;

    // Creates the image as planned and writes its tables.
    fleet::Status begin(const ImageOptions& options, const DevicePlan& device);
    // Writes the headers and IMG.truth.json; returns the headers written.
    fleet::Result<IndexHeaders> finish(const ImageOptions& options,
                                       const std::vector<PlacedGop>& gops, const RingEnd& end);
    void keep() { created_.clear(); }

  private:
    std::string created_;  // the image path once the image exists
};

}  // namespace dvrsim
