#include <gtest/gtest.h>

#include <cstdlib>

#include "qt_test_app.h"
#include "ui/map_view.h"

int main(int argc, char** argv) {
    // The engine keeps time without a sound device; messages go to stderr, not into boxes.
    setenv("KIVRA_AUDIO", "clock", 0);
    setenv("VELMORA_NONINTERACTIVE", "1", 0);
    velmora::register_map_link_scheme();  // before the application exists
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new fleet_test::QtTestApp);
    return RUN_ALL_TESTS();
}
