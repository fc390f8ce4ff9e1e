#include "shown_frames.h"

#include <gtest/gtest.h>

#include <string>

namespace live_test {
namespace {

using nlohmann::ordered_json;

// The truth's frames of GOP g, in order.
std::vector<ordered_json> frames_of(const RecordedStream& stream, size_t g) {
    std::vector<ordered_json> frames;
    for (const ordered_json& t : stream.truth) {
        if (t["gop"].get<size_t>() == g) frames.push_back(t);
    }
    return frames;
}

}  // namespace

Area area_for(int channels) {
    const int columns = channels == 8 ? 3 : channels == 4 ? 2 : 1;
    return {352 * columns, 288 * columns};
}

ShownPart whole(const RecordedStream& stream) {
    ShownPart part{&stream, {}};
    for (size_t g = 0; g < stream.gops.size(); ++g) part.gops.push_back(g);
    return part;
}

ShownPart gops_shown(const std::vector<fleet::test::FrameEvent>& frames,
                     const RecordedStream& stream) {
    ShownPart part{&stream, {}};
    size_t i = 0;
    while (i < frames.size()) {
        const uint32_t time = frames[i].telemetry["time"].get<uint32_t>();
        size_t g = 0;
        while (g < stream.gops.size() && stream.truth.size() > 0 &&
               frames_of(stream, g).front()["time"].get<uint32_t>() != time) {
            ++g;
        }
        if (g == stream.gops.size()) {
            ADD_FAILURE() << "frame " << i << " shows a time the recording has no GOP of: " << time;
            return part;
        }
        const size_t count = frames_of(stream, g).size();
        if (i + count > frames.size()) break;  // still being shown
        for (size_t k = 0; k < count; ++k) {
            if (frames[i + k].telemetry["time"].get<uint32_t>() != time) {
                ADD_FAILURE() << "GOP " << g << " was not shown whole from frame " << i;
                return part;
            }
        }
        part.gops.push_back(g);
        i += count;
    }
    return part;
}

void expect_shown_as_recorded(const std::vector<fleet::test::FrameEvent>& frames,
                              const std::vector<ShownPart>& parts, Area area) {
    std::vector<Bytes> gops;
    std::vector<ordered_json> truth;
    std::vector<const RecordedStream*> stream_of_frame;
    for (const ShownPart& part : parts) {
        for (size_t g : part.gops) {
            gops.push_back(part.stream->gops[g]);
            const std::vector<ordered_json> of_gop = frames_of(*part.stream, g);
            truth.insert(truth.end(), of_gop.begin(), of_gop.end());
            stream_of_frame.insert(stream_of_frame.end(), of_gop.size(), part.stream);
        }
    }
    ASSERT_FALSE(parts.empty());
    const int channels = parts.front().stream->channels;
    const std::vector<uint64_t> canvases =
        expected_canvases(gops, channels, area.width, area.height);
    ASSERT_EQ(canvases.size(), truth.size());
    ASSERT_GE(frames.size(), truth.size());
    for (size_t i = 0; i < truth.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        ASSERT_EQ(truth[i]["channels"].size(), static_cast<size_t>(channels))
            << "the recording is not the case: every frame must carry every channel";
        EXPECT_EQ(frames[i].telemetry, reported_part(truth[i]));
        EXPECT_EQ(frames[i].canvas, canvases[i]) << "the canvas is not FFmpeg's pictures";
        EXPECT_EQ(frames[i].output_rate, stream_of_frame[i]->audio_rate);
        EXPECT_EQ(frames[i].output_bits, stream_of_frame[i]->audio_bits);
    }
}

}  // namespace live_test
