// The map suites with the real browser (Qt WebEngine) run in a program of their own: the
// browser's own code trips sanitizer checks that the other suites must keep.
#include <gtest/gtest.h>

#include <cstdlib>

#include "qt_test_app.h"
#include "ui/map_view.h"

#if defined(__SANITIZE_ADDRESS__)
// Qt WebEngine frees some of its objects with a size that differs from the allocation's, and
// leaves some allocated at exit; neither is this program's memory.
extern "C" const char* __asan_default_options() {
    return "new_delete_type_mismatch=0";
}
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt6WebEngineCore.so\nleak:libfontconfig.so\n";
}
#endif

int main(int argc, char** argv) {
    // The engine keeps time without a sound device; messages go to stderr, not into boxes.
    setenv("KIVRA_AUDIO", "clock", 0);
    setenv("VELMORA_NONINTERACTIVE", "1", 0);
    velmora::register_map_link_scheme();  // before the application exists
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new fleet_test::QtTestApp);
    return RUN_ALL_TESTS();
}
