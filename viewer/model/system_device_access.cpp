// The search's device survey on this machine, from the same device list the engine scans.
#include "common/block_devices.h"
#include "model/device_access.h"

namespace velmora {

namespace {

class SystemDeviceAccess : public DeviceAccess {
  public:
    DeviceSurvey survey() const override {
        const std::vector<fleet::WholeDisk> disks = fleet::list_whole_disks();
        DeviceSurvey result;
        for (const fleet::WholeDisk& disk : disks) result.listed.push_back(disk.path);
        result.refused = fleet::devices_refusing_access(disks);
        return result;
    }
};

}  // namespace

const DeviceAccess& system_device_access() {
    static const SystemDeviceAccess access;
    return access;
}

}  // namespace velmora
