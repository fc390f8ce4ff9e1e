// The machine's device survey, limited by KIVRA_SCAN_DEVICES to files of the test as the
// engine's scan is, so no disk of the host is touched.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "common/block_devices.h"
#include "model/device_access.h"
#include "scoped_env.h"
#include "temp_folder.h"

namespace velmora::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kScanDevices = fleet::kScanDevicesVariable;

TEST(SystemDeviceAccess, SurveysTheDevicesNamedForTheEngine) {
    const TempFolder folder;
    const std::string open = folder.touch("open.img");
    const std::string locked = folder.touch("locked.img");
    std::filesystem::permissions(locked, std::filesystem::perms::none);
    const fleet::test::ScopedEnv scan(kScanDevices, open + ":" + locked);

    const DeviceSurvey survey = system_device_access().survey();
    EXPECT_THAT(survey.listed, ElementsAre(open, locked));
    // Root reads whatever the file's mode says; anyone else is refused the locked one.
    if (geteuid() == 0) {
        EXPECT_THAT(survey.refused, IsEmpty());
        EXPECT_FALSE(search_blocked(survey));
    } else {
        EXPECT_THAT(survey.refused, ElementsAre(locked));
        EXPECT_FALSE(search_blocked(survey));  // the open one can be read
    }
}

TEST(SystemDeviceAccess, NothingNamedListsNothing) {
    const fleet::test::ScopedEnv scan(kScanDevices, "");
    const DeviceSurvey survey = system_device_access().survey();
    EXPECT_THAT(survey.listed, IsEmpty());
    EXPECT_FALSE(search_blocked(survey));
}

}  // namespace
}  // namespace velmora::test
