#include "pair_builder.h"

#include <stdexcept>

namespace dvrtool_test {

std::vector<uint8_t> payload(uint32_t time, int channel, int k) {
    std::vector<uint8_t> out(300 + 37 * static_cast<size_t>(channel) + 11 * static_cast<size_t>(k));
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<uint8_t>(1 + (time * 31 + static_cast<uint32_t>(channel * 7 + k * 3) +
                                           static_cast<uint32_t>(i)) %
                                              255);
    }
    return out;
}

fleet::format::GopPlan make_gop(uint32_t time, const std::vector<int>& channels, int frames) {
    fleet::format::GopPlan gop;
    gop.time = time;
    gop.announced_frames = frames;
    for (int k = 0; k < frames; ++k) {
        for (int c : channels) gop.frames.push_back({c, k == 0, payload(time, c, k)});
    }
    return gop;
}

PairBuilder::PairBuilder(const std::string& base) : dvr_(base + ".dvr"), inx_(base + ".inx") {
    if (!writer_.create(dvr_, inx_)) throw std::runtime_error("cannot create " + dvr_);
}

void PairBuilder::append(const std::vector<uint8_t>& bytes, uint32_t time) {
    items_.push_back({writer_.stream_length(), bytes.size()});
    if (!writer_.append_gop(bytes.data(), bytes.size(), time)) {
        throw std::runtime_error("cannot write " + dvr_);
    }
}

void PairBuilder::add_gop(fleet::format::GopPlan fields, std::optional<uint32_t> index_time) {
    if (fields.previous_length == 0) fields.previous_length = last_total_;
    std::vector<uint8_t> bytes = fleet::format::build_gop(fields);
    append(bytes, index_time.value_or(fields.time));
    last_total_ = static_cast<uint32_t>(bytes.size());
    last_time_ = fields.time;
}

void PairBuilder::add_raw(const std::vector<uint8_t>& bytes) {
    append(bytes, last_time_);
}

void PairBuilder::finish() {
    if (!writer_.finish()) throw std::runtime_error("cannot finish " + dvr_);
}

void write_three_gops(PairBuilder& pair) {
    for (uint32_t i = 0; i < 3; ++i) pair.add_gop(make_gop(kT0 + i, {0, 2}, 2));
    pair.finish();
}

}  // namespace dvrtool_test
