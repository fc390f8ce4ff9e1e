// GOPs the scripted recorder sends: a few real ones made by dvrsim's recorder, given out again
// and again with the time of the second they stand for, so every GOP sent is told apart by it.
#pragma once

#include <cstdint>
#include <vector>

namespace engine_net {

inline constexpr uint32_t kFirstGopTime = 1773475200;

// GOP number i (time kFirstGopTime + i), unpadded, as a recorder sends it.
std::vector<uint8_t> test_gop(int i);
// The time a GOP's header carries.
uint32_t gop_time(const std::vector<uint8_t>& gop);
// The bytes a file pair stores for a GOP: padded with zeros to whole 512-byte blocks.
std::vector<uint8_t> padded(const std::vector<uint8_t>& gop);

}  // namespace engine_net
