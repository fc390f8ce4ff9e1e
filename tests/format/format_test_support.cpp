#include "format_test_support.h"

#include <algorithm>
#include <cstring>

#include "common/le.h"
#include "format/gop_header.h"

namespace fmt_test {

std::vector<uint8_t> picture_data(uint32_t claimed_size, uint8_t fill) {
    std::vector<uint8_t> data(5);
    fleet::store_u32(data.data(), claimed_size);
    data[4] = fill;
    return data;
}

fleet::format::FrameRecord frame(int channel, bool key, std::vector<uint8_t> data) {
    return {channel, key, std::move(data)};
}

std::vector<fleet::format::FrameRecord> interleaved(int channels, int per_channel) {
    std::vector<fleet::format::FrameRecord> frames;
    for (int k = 0; k < per_channel; ++k) {
        for (int c = 0; c < channels; ++c) frames.push_back(frame(c, k == 0));
    }
    return frames;
}

std::vector<size_t> record_offsets(const fleet::format::GopPlan& plan) {
    std::vector<size_t> offsets;
    size_t at = 0;
    for (const auto& f : plan.frames) {
        offsets.push_back(at);
        at += fleet::format::kGopHeaderSize + f.data.size();
    }
    if (offsets.empty()) offsets.push_back(0);
    return offsets;
}

void set_word(std::vector<uint8_t>& bytes, size_t record_offset, int word, uint32_t value) {
    fleet::store_u32(bytes.data() + record_offset + 4 * static_cast<size_t>(word), value);
}

uint32_t get_word(const std::vector<uint8_t>& bytes, size_t record_offset, int word) {
    return fleet::load_u32(bytes.data() + record_offset + 4 * static_cast<size_t>(word));
}

GuardedFrameSet::GuardedFrameSet() : fenced_(std::make_unique<Fenced>()) {
    fenced_->before.fill(kPattern);
    fenced_->after.fill(kPattern);
    std::memset(&fenced_->set, 0, sizeof(FrameSet));
    for (size_t c = 0; c < pictures_.size(); ++c) {
        pictures_[c] = std::make_unique_for_overwrite<uint8_t[]>(KIVRA_PICTURE_CAPACITY + kGuard);
        std::memset(pictures_[c].get() + KIVRA_PICTURE_CAPACITY, kPattern, kGuard);
        fenced_->set.picture_buffer[c] = pictures_[c].get();
    }
    audio_ = std::make_unique_for_overwrite<uint8_t[]>(KIVRA_AUDIO_CAPACITY + kGuard);
    std::memset(audio_.get() + KIVRA_AUDIO_CAPACITY, kPattern, kGuard);
    fenced_->set.audio_buffer = audio_.get();
}

bool GuardedFrameSet::intact() const {
    auto clean = [](const uint8_t* p, size_t n) {
        return std::all_of(p, p + n, [](uint8_t b) { return b == kPattern; });
    };
    if (!clean(fenced_->before.data(), kGuard) || !clean(fenced_->after.data(), kGuard)) {
        return false;
    }
    for (size_t c = 0; c < pictures_.size(); ++c) {
        if (fenced_->set.picture_buffer[c] != pictures_[c].get() ||
            !clean(pictures_[c].get() + KIVRA_PICTURE_CAPACITY, kGuard)) {
            return false;
        }
    }
    return fenced_->set.audio_buffer == audio_.get() &&
           clean(audio_.get() + KIVRA_AUDIO_CAPACITY, kGuard);
}

bool ScriptedDecoder::decode(int channel, const uint8_t* data, size_t length, uint8_t* dest,
                             size_t capacity, fleet::format::DecodedPicture& out) {
    calls_.push_back({channel, dest, capacity});
    if (length < 5) return false;
    size_t size = fleet::load_u32(data);
    if (size > capacity && !lying_) return false;
    std::memset(dest, data[4], std::min(size, capacity));
    out.size = static_cast<int32_t>(size);
    out.width = 16;
    out.height = 8;
    return true;
}

bool MemorySource::read_at(int64_t offset, uint8_t* dest, size_t n) {
    ++reads_;
    if (offset < 0 || !fleet::fits(bytes_.size(), static_cast<size_t>(offset), n)) return false;
    auto failing = failing_.lower_bound(offset);
    if (failing != failing_.end() && *failing < offset + static_cast<int64_t>(n)) return false;
    std::memcpy(dest, bytes_.data() + offset, n);
    return true;
}

void append_padded(std::vector<uint8_t>& out, const std::vector<uint8_t>& gop) {
    out.insert(out.end(), gop.begin(), gop.end());
    out.resize(
        static_cast<size_t>(fleet::format::round_up_block(static_cast<int64_t>(out.size()))));
}

Stream build_stream(const std::vector<size_t>& data_sizes, uint32_t first_time) {
    Stream s;
    uint32_t previous = 0;
    for (size_t i = 0; i < data_sizes.size(); ++i) {
        fleet::format::GopPlan plan;
        plan.version = 3;
        plan.channel_count = 1;
        plan.time = first_time + static_cast<uint32_t>(i);
        plan.previous_length = previous;
        plan.announced_frames = 1;
        plan.frames = {frame(0, true, std::vector<uint8_t>(data_sizes[i], 0x11))};
        auto gop = fleet::format::build_gop(plan);
        s.starts.push_back(static_cast<int64_t>(s.bytes.size()));
        s.stored.push_back(fleet::format::round_up_block(static_cast<int64_t>(gop.size())));
        s.times.push_back(plan.time);
        append_padded(s.bytes, gop);
        previous = static_cast<uint32_t>(gop.size());
    }
    return s;
}

}  // namespace fmt_test
