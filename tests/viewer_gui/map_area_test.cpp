// The map area's browser (Qt WebEngine) loading the start page from the program folder. In a
// program of its own: the browser's own code trips a sanitizer check that ours must keep.
#include <gtest/gtest.h>

#include <QObject>
#include <QUrl>

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

namespace velmora::test {
namespace {

TEST(MapArea, TheBrowserShowsTheStartPageFromTheProgramFolder) {
    MapView map(true);
    map.resize(400, 300);
    map.show();
    bool loaded = false;
    bool ok = false;
    QObject::connect(&map, &MapView::page_loaded, [&](bool result) {
        loaded = true;
        ok = result;
    });
    map.load(QUrl::fromLocalFile(QStringLiteral(VELMORA_PROGRAM_DIR "/utilities/dep/init.html")));
    ASSERT_TRUE(fleet_test::wait_until([&] { return loaded; }, 30000));
    EXPECT_TRUE(ok);
    map.run_script(QStringLiteral("ClearAll_O();"));
    fleet_test::process_events_for(200);
}

}  // namespace
}  // namespace velmora::test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new fleet_test::QtTestApp);
    return RUN_ALL_TESTS();
}
