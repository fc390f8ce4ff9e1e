#include "format/gop_builder.h"

#include <algorithm>

#include "common/le.h"
#include "format/gop_header.h"

namespace fleet::format {
namespace {

GopHeader frame_header(const FrameRecord& frame) {
    GopHeader h;
    h.word[0] = kGopMagic;
    h.word[2] = static_cast<uint32_t>(frame.channel) & 0xF;
    h.word[5] = static_cast<uint32_t>(frame.data.size()) & 0xFFFFF;
    h.word[7] = frame.key ? 1u : 0u;
    return h;
}

void fill_gop_fields(GopHeader& h, const GopPlan& plan, uint32_t total) {
    h.word[1] = plan.version;
    if (plan.version == 3) h.word[2] |= channel_code_for(plan.channel_count) << 4;
    h.word[3] = plan.time;
    h.set_previous_length(plan.previous_length);
    if (!plan.audio.pcm.empty()) {
        h.word[5] |= audio_size_code_for(plan.audio.bits) << 22 |
                     audio_rate_code_for(plan.audio.rate) << 25 |
                     audio_channels_code_for(plan.audio.channels) << 28;
    }
    h.word[6] = static_cast<uint32_t>(plan.info.size()) << 16;
    uint32_t frames = static_cast<uint32_t>(plan.announced_frames);
    h.word[7] |= ((plan.version == 3 ? frames * 2 : frames) & 0x1F) << 2;
    h.word[8] = total;
    h.word[9] = static_cast<uint32_t>(plan.audio.pcm.size());
}

void append(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace

std::vector<uint8_t> build_gop(const GopPlan& plan) {
    std::vector<FrameRecord> frames = plan.frames;
    if (frames.empty()) frames.push_back({});  // the GOP header alone, without data

    size_t total = plan.audio.pcm.size() + plan.info.size();
    for (const auto& f : frames) total += kGopHeaderSize + f.data.size();

    std::vector<uint8_t> out;
    out.reserve(total);
    for (size_t i = 0; i < frames.size(); ++i) {
        GopHeader h = frame_header(frames[i]);
        if (i == 0) fill_gop_fields(h, plan, static_cast<uint32_t>(total));
        size_t at = out.size();
        out.resize(at + kGopHeaderSize);
        h.write(out.data() + at);
        append(out, frames[i].data);
    }
    append(out, plan.audio.pcm);
    append(out, plan.info);
    return out;
}

}  // namespace fleet::format
