#include "model/raw_disk_access.h"

#include <filesystem>
#include <system_error>

#if defined(__linux__)
#include <unistd.h>
#endif

namespace velmora {

bool can_read_raw_block_devices() {
#if defined(__linux__)
    namespace fs = std::filesystem;
    std::error_code ec;
    for (fs::directory_iterator it("/sys/block", ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path device = fs::path("/dev") / it->path().filename();
        if (fs::is_block_file(device, ec) && access(device.c_str(), R_OK) == 0) return true;
    }
    return false;
#else
    return true;
#endif
}

}  // namespace velmora
