// Sequential writes into a large buffer that will not be read again soon.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kivra {

// A GOP's pictures fill a buffer many times the size of the caches, and are read back only
// when the GOP plays. Streaming stores skip fetching each destination line before overwriting
// it, which makes the copy more than a third cheaper; they only pay off for whole aligned
// blocks, so bytes before the first block boundary are written in place and the partial block
// at the end of each write waits for the next one.
class StreamingWriter {
  public:
    explicit StreamingWriter(uint8_t* dest);
    StreamingWriter(const StreamingWriter&) = delete;
    StreamingWriter& operator=(const StreamingWriter&) = delete;

    // Appends n bytes after the ones written before.
    void write(const uint8_t* bytes, size_t n);
    // Writes what is still held and orders the streaming stores before any later store, so
    // whoever is told of the data afterwards sees all of it.
    void finish();

  private:
    static constexpr size_t kBlock = 16;

    uint8_t* dest_;
    size_t lead_;      // bytes to write in place before dest_ reaches a block boundary
    size_t held_ = 0;  // bytes of the next block gathered in pending_
    alignas(kBlock) uint8_t pending_[kBlock];
};

}  // namespace kivra
