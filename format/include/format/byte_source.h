// Random-access reads from whatever holds a stream or an index: a file now, a disk ring
// or card area later. The walkers and index readers only see this interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fleet::format {

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Reads exactly n bytes at offset; false on any failure or short read.
    virtual bool read_at(int64_t offset, uint8_t* dest, size_t n) = 0;
};

// A read-only file. Not copyable; closes on destruction.
class FileByteSource final : public ByteSource {
  public:
    FileByteSource() = default;
    ~FileByteSource() override;
    FileByteSource(const FileByteSource&) = delete;
    FileByteSource& operator=(const FileByteSource&) = delete;

    bool open(const std::string& path);  // errno tells why on failure
    // False when the system reports that the close failed; the file is released either way.
    bool close();
    bool is_open() const { return fd_ >= 0; }
    int64_t size() const;  // -1 when not open
    bool read_at(int64_t offset, uint8_t* dest, size_t n) override;

  private:
    int fd_ = -1;
};

}  // namespace fleet::format
