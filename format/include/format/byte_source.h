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
    // The file's length, or a block device's capacity; -1 when not open or not known.
    int64_t size() const;
    int fd() const { return fd_; }
    bool read_at(int64_t offset, uint8_t* dest, size_t n) override;

  private:
    int fd_ = -1;
};

// A window [offset, offset + length) of another source, read as if it started at 0: a
// partition of a disk, an area of a card. Reads that run past the window fail.
class WindowByteSource final : public ByteSource {
  public:
    WindowByteSource(ByteSource& inner, int64_t offset, int64_t length)
        : inner_(inner), offset_(offset), length_(length) {}
    bool read_at(int64_t offset, uint8_t* dest, size_t n) override;
    int64_t length() const { return length_; }

  private:
    ByteSource& inner_;
    int64_t offset_, length_;
};

}  // namespace fleet::format
