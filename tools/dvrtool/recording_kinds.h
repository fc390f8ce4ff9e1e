// The two kinds of recording a command line can name; open_recording picks one.
#pragma once

#include <memory>
#include <string>

#include "common/result.h"
#include "format/recorder_medium.h"
#include "recording.h"

namespace dvrtool {

fleet::Result<std::unique_ptr<Recording>> open_file_pair_recording(const std::string& dvr_path,
                                                                   const std::string& inx_path);

fleet::Result<std::unique_ptr<Recording>> open_medium_recording(fleet::format::MediumKind kind,
                                                                const std::string& path);

}  // namespace dvrtool
