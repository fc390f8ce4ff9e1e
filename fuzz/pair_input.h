// A fuzz input as a recording's two files: the first two bytes give the length of the index
// part (little-endian, cut to what follows), then come the index bytes, and the rest is the
// stream. make_fuzz_seeds writes file pairs in this form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "scratch_dir.h"

namespace fuzz {

struct PairInput {
    const uint8_t* inx = nullptr;
    size_t inx_size = 0;
    const uint8_t* dvr = nullptr;
    size_t dvr_size = 0;
};

inline PairInput split_pair_input(const uint8_t* data, size_t size) {
    if (size < 2) return {data, 0, data, 0};
    size_t inx_size = size_t{data[0]} | size_t{data[1]} << 8;
    if (inx_size > size - 2) inx_size = size - 2;
    return {data + 2, inx_size, data + 2 + inx_size, size - 2 - inx_size};
}

struct PairFiles {
    std::filesystem::path dvr;
    std::filesystem::path inx;
};

// False when the files cannot be written.
inline bool write_pair(const PairInput& input, const PairFiles& files) {
    return write_file(files.inx, input.inx, input.inx_size) &&
           write_file(files.dvr, input.dvr, input.dvr_size);
}

}  // namespace fuzz
