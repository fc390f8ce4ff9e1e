// A real loop device over a file, for tests that need a block device: attached with losetup,
// detached again at the end. Attaching needs root; attach() says why it could not.
#pragma once

#include <string>

namespace fleet::test {

class LoopDevice {
  public:
    LoopDevice() = default;
    ~LoopDevice();
    LoopDevice(const LoopDevice&) = delete;
    LoopDevice& operator=(const LoopDevice&) = delete;

    // Attaches `file` to a free loop device. False when not root, losetup is missing or it
    // fails; failure() then says which.
    bool attach(const std::string& file);
    // Makes the device take the backing file's current size (losetup -c).
    bool refresh_size();
    // Detaches (losetup -d). While something still holds the device open, the kernel only
    // marks it to detach on the last close.
    bool detach();

    bool attached() const { return !path_.empty(); }
    const std::string& path() const { return path_; }  // "/dev/loopN" while attached
    const std::string& failure() const { return failure_; }

  private:
    bool losetup(const std::string& option, const std::string& argument, std::string* out);

    std::string path_;
    std::string failure_;
};

}  // namespace fleet::test
