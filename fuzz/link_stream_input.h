// How fuzz_link_framing reads its input, shared with the seed writer: byte 0 gives the number
// of chunk sizes that follow (1 to 8), each size byte gives one chunk (0 stands for 4096), and
// the rest is the received stream, cut by the sizes in turn.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace link_fuzz {

struct StreamInput {
    std::vector<size_t> chunk_sizes;
    std::span<const uint8_t> stream;
};

inline bool split_input(const uint8_t* data, size_t size, StreamInput& out) {
    if (size < 1) return false;
    const size_t count = data[0] % 8 + 1;
    if (size < 1 + count) return false;
    out.chunk_sizes.clear();
    for (size_t i = 0; i < count; ++i) {
        out.chunk_sizes.push_back(data[1 + i] == 0 ? 4096 : data[1 + i]);
    }
    out.stream = {data + 1 + count, size - 1 - count};
    return true;
}

inline std::vector<uint8_t> make_input(const std::vector<uint8_t>& sizes,
                                       const std::vector<uint8_t>& stream) {
    std::vector<uint8_t> input{static_cast<uint8_t>(sizes.size() - 1)};
    input.insert(input.end(), sizes.begin(), sizes.end());
    input.insert(input.end(), stream.begin(), stream.end());
    return input;
}

}  // namespace link_fuzz
