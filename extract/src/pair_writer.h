// The file-pair copy of an extraction: the GOPs as the engine delivered them into a new `.dvr`,
// and a `.inx` time index that this viewer and the recorder's tools read back.
#pragma once

#include <memory>
#include <string>

#include "ombrel/ombrel.h"
#include "output_writer.h"

namespace ombrel {

// Creates job.dvr_path and job.inx_path, both only where nothing exists yet. Null on failure
// with the reason in `error`; nothing is left on disk then.
std::unique_ptr<OutputWriter> make_pair_writer(const ExtractJob& job, std::string& error);

}  // namespace ombrel
