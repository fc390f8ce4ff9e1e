// Fixtures shared by the format suites: GOP and stream builders, a FrameSet whose buffers
// and neighbours are fenced so stray writes show, a scripted decoder and an in-memory source.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <vector>

#include "format/byte_source.h"
#include "format/gop_builder.h"
#include "format/gop_parser.h"
#include "kivra/kivra.h"

namespace fmt_test {

// Frame data the ScriptedDecoder understands: the picture size it claims (u32) and the byte
// it fills the picture with.
std::vector<uint8_t> picture_data(uint32_t claimed_size, uint8_t fill);

fleet::format::FrameRecord frame(int channel, bool key = false,
                                 std::vector<uint8_t> data = {1, 2, 3});

// `per_channel` frames of each of `channels` channels, interleaved as recorders write them.
std::vector<fleet::format::FrameRecord> interleaved(int channels, int per_channel);

// Byte offset of each frame record inside the GOP build_gop makes from `plan`.
std::vector<size_t> record_offsets(const fleet::format::GopPlan& plan);

void set_word(std::vector<uint8_t>& bytes, size_t record_offset, int word, uint32_t value);
uint32_t get_word(const std::vector<uint8_t>& bytes, size_t record_offset, int word);

// A FrameSet with guard bytes after each buffer and around the struct itself.
class GuardedFrameSet {
  public:
    static constexpr size_t kGuard = 4096;
    static constexpr uint8_t kPattern = 0xA5;

    GuardedFrameSet();
    FrameSet& get() { return fenced_->set; }
    FrameSet* operator->() { return &fenced_->set; }
    uint8_t* picture_buffer(int channel) { return pictures_[static_cast<size_t>(channel)].get(); }
    uint8_t* audio_buffer() { return audio_.get(); }
    // True when no guard byte changed and the buffer pointers are still the ones handed out.
    bool intact() const;

  private:
    struct Fenced {
        std::array<uint8_t, kGuard> before;
        FrameSet set;
        std::array<uint8_t, kGuard> after;
    };
    std::unique_ptr<Fenced> fenced_;
    std::array<std::unique_ptr<uint8_t[]>, KIVRA_MAX_CHANNELS> pictures_;
    std::unique_ptr<uint8_t[]> audio_;
};

// Reads picture_data(); claims that size. Honest: returns false when the picture does not
// fit. Lying: reports the claimed size anyway, writing only what fits.
class ScriptedDecoder : public fleet::format::FrameDecoder {
  public:
    struct Call {
        int channel;
        uint8_t* dest;
        size_t capacity;
    };
    explicit ScriptedDecoder(bool lying = false) : lying_(lying) {}
    bool decode(int channel, const uint8_t* data, size_t length, uint8_t* dest, size_t capacity,
                fleet::format::DecodedPicture& out) override;
    const std::vector<Call>& calls() const { return calls_; }

  private:
    bool lying_;
    std::vector<Call> calls_;
};

class MemorySource : public fleet::format::ByteSource {
  public:
    explicit MemorySource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    // Any read covering `offset` fails from now on.
    void fail_at(int64_t offset) { failing_.insert(offset); }
    bool read_at(int64_t offset, uint8_t* dest, size_t n) override;
    int reads() const { return reads_; }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
    std::set<int64_t> failing_;
    int reads_ = 0;
};

// A stored stream: GOPs padded to 512 bytes with back-links, as recorders write them.
struct Stream {
    std::vector<uint8_t> bytes;
    std::vector<int64_t> starts;  // offset of each GOP
    std::vector<int64_t> stored;  // stored (rounded) length of each GOP
    std::vector<uint32_t> times;
};

// One GOP per entry; entry = frame data bytes of the GOP's only record.
Stream build_stream(const std::vector<size_t>& data_sizes, uint32_t first_time = 1000);
void append_padded(std::vector<uint8_t>& out, const std::vector<uint8_t>& gop);

}  // namespace fmt_test
