// Checks of what the host was shown while a feed played: which GOPs of a recording, and that
// each of their frames came with the telemetry recorded for it, as the canvas FFmpeg's own
// pictures make, while the output played the recording's sound format.
#pragma once

#include <cstddef>
#include <vector>

#include "engine_harness.h"
#include "recorded_stream.h"

namespace live_test {

// The video area in which every cell has the pictures' own size, so no pixel of them is lost
// to scaling before the canvases are compared.
struct Area {
    int width, height;
};
Area area_for(int channels);

// GOPs of one recording, by their index in it.
struct ShownPart {
    const RecordedStream* stream;
    std::vector<size_t> gops;
};
ShownPart whole(const RecordedStream& stream);

// Which GOPs of `stream` the frames show, in order, known by their times; the last GOP is
// left out when it was not shown to its end. Fails the test when the frames do not fall into
// whole GOPs of the recording.
ShownPart gops_shown(const std::vector<fleet::test::FrameEvent>& frames,
                     const RecordedStream& stream);

// The frames are those of `parts`, one after another, each as recorded.
void expect_shown_as_recorded(const std::vector<fleet::test::FrameEvent>& frames,
                              const std::vector<ShownPart>& parts, Area area);

}  // namespace live_test
