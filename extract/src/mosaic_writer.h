// The all-channel AVI of an extraction: every channel's pictures side by side in the viewer's
// grid, re-encoded, with the recording's mono sound.
#pragma once

#include <memory>
#include <string>

#include "ombrel/ombrel.h"
#include "output_writer.h"

namespace ombrel {

// Creates job.all_channels_avi_path only where nothing exists yet; cells are
// job.picture_width x job.picture_height, the grid follows job.screen_count and the sound
// job.sample_rate and job.sample_bits. Null on failure with the reason in `error`; nothing is
// left on disk then.
std::unique_ptr<OutputWriter> make_mosaic_writer(const ExtractJob& job, std::string& error);

}  // namespace ombrel
