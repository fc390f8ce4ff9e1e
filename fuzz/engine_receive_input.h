// How fuzz_engine_receive reads its input, shared with the seed writer. Byte 0 holds the
// settings (bit 0: the realtime link buffers; bit 1: the engine listens and the recorder dials,
// bit 2: twice, so two links wait for a hello). Then steps follow to the end, each an opcode
// byte and its operands: the low nibble names the step, bit 4 sends a message step to the
// realtime link only, bit 5 to the remote link only (neither or both: to both).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

namespace engine_fuzz {

enum Step : uint8_t {
    kRaw = 0,          // u16 length, then that many bytes: a message as received
    kHello = 1,        //
    kReply = 2,        // sub, status choice
    kVideo = 3,        // size byte (x 37 bytes of picture data), time byte, remaining percent
    kRawVideo = 4,     // u16 length, then the GOP's bytes after its magic
    kHugeVideo = 5,    // one byte: 0 a GOP of exactly the reader's buffer, else one byte over
    kVideoEnd = 6,     //
    kIndexHeader = 7,  // follows byte, then the header's 16 bytes
    kIndexUnits = 8,   // unit count, then 16 bytes a unit
    kClosed = 9,       // the transport reports the link closed
    kTake = 10,        // the reader takes a GOP from the realtime link
    kDownload = 11,    // first row, row span
    kStopDownload = 12,
    kStrayLink = 13,  // u16 length, bytes: a message on a link that is not the engine's
    kStepCount = 14
};

inline constexpr uint8_t kToLiveOnly = 0x10;
inline constexpr uint8_t kToRemoteOnly = 0x20;

// Reads the operands of a step, giving zeros once the input ends.
class Reader {
  public:
    explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    bool done() const { return at_ >= bytes_.size(); }
    uint8_t u8() { return done() ? 0 : bytes_[at_++]; }
    uint16_t u16() {
        const uint16_t low = u8();
        return static_cast<uint16_t>(low | (u8() << 8));
    }
    // Up to n bytes, fewer where the input ends.
    std::span<const uint8_t> take(size_t n) {
        const size_t count = std::min(n, bytes_.size() - std::min(at_, bytes_.size()));
        const auto part = bytes_.subspan(std::min(at_, bytes_.size()), count);
        at_ += count;
        return part;
    }

  private:
    std::span<const uint8_t> bytes_;
    size_t at_ = 0;
};

// Builds an input step by step (the seed writer's side).
class Script {
  public:
    explicit Script(uint8_t settings) { bytes_.push_back(settings); }
    Script& step(uint8_t opcode, std::initializer_list<uint8_t> operands = {}) {
        bytes_.push_back(opcode);
        bytes_.insert(bytes_.end(), operands.begin(), operands.end());
        return *this;
    }
    Script& bytes(std::span<const uint8_t> more) {
        bytes_.insert(bytes_.end(), more.begin(), more.end());
        return *this;
    }
    const std::vector<uint8_t>& input() const { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
};

}  // namespace engine_fuzz
