// A real, small file system for tests of what happens when the disk fills up.
#pragma once

#include <cstddef>
#include <string>

#include "process.h"

namespace fleet::test {

// A tmpfs of `bytes` mounted on a fresh directory, unmounted again at the end. Mounting needs
// root (or CAP_SYS_ADMIN); mounted() tells whether it worked.
class SmallDisk {
  public:
    explicit SmallDisk(size_t bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return mounted_; }
    std::string file(const std::string& name) const { return dir_.file(name); }
    // Writes a file until the disk is full; false when it never filled.
    bool fill();

  private:
    TempDir dir_;
    bool mounted_ = false;
};

}  // namespace fleet::test
