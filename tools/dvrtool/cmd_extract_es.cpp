#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "dvrtool/commands.h"
#include "format/gop_layout.h"
#include "forward_walk.h"
#include "messages.h"
#include "recording.h"

namespace dvrtool {
namespace {

struct FileClose {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileClose>;

struct Written {
    int64_t frames = 0;
    int64_t bytes = 0;
    bool failed = false;
};

void write_channel(const WalkedGop& gop, int channel, std::FILE* out, Written& w) {
    auto layout = fleet::format::gop_layout(gop.data, gop.length);
    if (!layout) return;
    fleet::format::for_each_frame_record(gop.data, *layout,
                                         [&](const fleet::format::FrameRecordView& f) {
                                             if (f.channel != channel || w.failed) return;
                                             if (std::fwrite(f.data, 1, f.length, out) != f.length)
                                                 w.failed = true;
                                             ++w.frames;
                                             w.bytes += f.length;
                                         });
}

// Every output path leaves nothing half-written behind.
fleet::Error give_up(File& out, const std::string& path, std::string reason) {
    out.reset();
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    return fleet::fail(std::move(reason));
}

}  // namespace

Outcome run_extract_es(const CommandLine& line) {
    auto channel_text = line.value("--channel");
    auto out_path = line.value("-o");
    if (!channel_text) return usage_error("missing --channel N");
    if (!out_path) return usage_error("missing -o OUT.h264");
    const auto parsed_channel = parse_channel_number(*channel_text);
    if (!parsed_channel) return parsed_channel.error();
    const int channel = *parsed_channel;

    auto recording = open_recording(line);
    if (!recording) return recording.error();
    File out(std::fopen(out_path->c_str(), "wb"));
    if (!out) return fleet::fail("cannot create " + *out_path + ": " + std::strerror(errno));

    Written written;
    ForwardWalk walk(**recording);
    for (auto step = walk.next(); step != ForwardWalk::kEnd; step = walk.next()) {
        if (step == ForwardWalk::kFailure) {
            warn_skipped(**recording, walk.failure());
        } else {
            write_channel(walk.gop(), channel - 1, out.get(), written);
        }
    }
    if (written.failed || std::fclose(out.release()) != 0) {
        return give_up(out, *out_path, "cannot write " + *out_path + ": " + std::strerror(errno));
    }
    if (written.frames == 0) {
        return give_up(
            out, *out_path,
            (*recording)->name() + ": channel " + std::to_string(channel) + " has no frames");
    }
    std::printf("wrote %lld frames (%lld bytes) of channel %d to %s\n",
                static_cast<long long>(written.frames), static_cast<long long>(written.bytes),
                channel, out_path->c_str());
    return kExitDone;
}

}  // namespace dvrtool
