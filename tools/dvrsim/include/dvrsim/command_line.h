// The options of dvrsim's commands, read from the command line.
#pragma once

#include <string>
#include <vector>

#include "common/result.h"
#include "dvrsim/image_options.h"
#include "dvrsim/recorder.h"

namespace dvrsim {

extern const char* const kUsage;

fleet::Result<RecordOptions> parse_record_args(const std::vector<std::string>& args);
fleet::Result<ImageOptions> parse_image_args(ImageKind kind, const std::vector<std::string>& args);

}  // namespace dvrsim
