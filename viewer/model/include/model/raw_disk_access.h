// Whether this process may read recorder disks and cards raw.
#pragma once

namespace velmora {

// True when at least one block device can be opened for reading (root, or a member of the
// group that owns the disks). Always true where raw access needs no special right.
bool can_read_raw_block_devices();

}  // namespace velmora
