// A device image being written: created at its full size as a sparse file, then written only
// where the recorder writes, so a terabyte image costs what it holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/result.h"

namespace dvrsim {

class ImageFile {
  public:
    ImageFile() = default;
    ~ImageFile();
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    fleet::Status create(const std::string& path, int64_t size);
    fleet::Status write_at(int64_t offset, const void* data, size_t n);
    fleet::Status close();
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }

  private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace dvrsim
