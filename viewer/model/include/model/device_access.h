// Which devices a disk or card search would read, asked before it starts: reading a recorder's
// disk raw needs read permission on the block devices, not root, and a search that may read
// none of them can never find anything.
#pragma once

#include <string>
#include <vector>

namespace velmora {

struct DeviceSurvey {
    std::vector<std::string> listed;   // the whole disks a search scans
    std::vector<std::string> refused;  // those of them this process may not open for reading
};

class DeviceAccess {
  public:
    virtual ~DeviceAccess() = default;
    virtual DeviceSurvey survey() const = 0;
};

// The devices the engine scans: those KIVRA_SCAN_DEVICES names, else the machine's whole disks.
const DeviceAccess& system_device_access();

// True when something refused and nothing listed can be read. A device that fails for another
// reason (a card reader without a card) is no matter of permission and does not count as
// refused, so it leaves the search to the engine.
bool search_blocked(const DeviceSurvey& survey);

}  // namespace velmora
