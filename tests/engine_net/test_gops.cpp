#include "test_gops.h"

#include <gtest/gtest.h>

#include <mutex>

#include "dvrsim/gop_producer.h"
#include "format/gop_header.h"

namespace engine_net {
namespace {

constexpr int kDistinctGops = 3;

const std::vector<std::vector<uint8_t>>& made_gops() {
    static std::once_flag once;
    static std::vector<std::vector<uint8_t>> gops;
    std::call_once(once, [] {
        dvrsim::RecordOptions options;
        options.channels = 4;
        options.fps = 2;
        options.resolutions = {dvrsim::Resolution{176, 144}};
        options.audio = false;
        dvrsim::GopProducer producer(options);
        if (!producer.open()) return;
        for (int i = 0; i < kDistinctGops; ++i) {
            auto gop = producer.next(i);
            if (!gop) return;
            gops.push_back(std::move(gop->bytes));
        }
    });
    return gops;
}

}  // namespace

std::vector<uint8_t> test_gop(int i) {
    const auto& gops = made_gops();
    if (gops.empty()) {
        ADD_FAILURE() << "dvrsim could not make the test GOPs";
        return {};
    }
    std::vector<uint8_t> gop = gops[static_cast<size_t>(i) % gops.size()];
    auto header = fleet::format::GopHeader::read(gop.data());
    header.word[3] = kFirstGopTime + static_cast<uint32_t>(i);
    header.write(gop.data());
    return gop;
}

uint32_t gop_time(const std::vector<uint8_t>& gop) {
    const auto header = fleet::format::read_gop_header(gop.data(), gop.size());
    return header ? header->time() : 0;
}

std::vector<uint8_t> padded(const std::vector<uint8_t>& gop) {
    std::vector<uint8_t> bytes = gop;
    bytes.resize(
        static_cast<size_t>(fleet::format::round_up_block(static_cast<int64_t>(gop.size()))), 0);
    return bytes;
}

}  // namespace engine_net
