// The factories of the three kinds of output. Each creates its files exclusively and returns
// null, with the reason in `error`, when the output cannot be made; nothing is left behind
// then.
#pragma once

#include <memory>
#include <string>

#include "ombrel/ombrel.h"
#include "output_writer.h"

namespace ombrel {

// The AVI (or, with job.reserved1[0] == 1, MP4) of channel `channel` (0-based) at the path the
// job names for it.
std::unique_ptr<OutputWriter> make_channel_writer(const ExtractJob& job, int channel,
                                                  std::string& error);

// The .dvr/.inx copy of the range.
std::unique_ptr<OutputWriter> make_pair_writer(const ExtractJob& job, std::string& error);

// The all-channel AVI: the channels re-encoded into one picture in the viewer's grid.
std::unique_ptr<OutputWriter> make_mosaic_writer(const ExtractJob& job, std::string& error);

}  // namespace ombrel
