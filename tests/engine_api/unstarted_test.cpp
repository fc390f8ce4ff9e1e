// The engine before zInit. Hosts call exports in any order, so each must answer safely
// before the engine has ever run.
#include "engine_host.h"

namespace engine_api {
namespace {

// First in the first file: in a whole-binary run it must see an engine that never ran.
TEST(ApiBeforeInit, EveryExportAnswersSafely) {
    ASSERT_FALSE(engine_started()) << "another test started the engine first";
    fleet::test::TempDir dir;
    Recording recording;
    ASSERT_NO_FATAL_FAILURE(make_recording(dir, {"unstarted", 1, 1, 2, {}}, recording));
    expect_unstarted_answers(dir, recording);

    EXPECT_EQ(zInit(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(zOpen(KIVRA_SOURCE_FILE, recording.dvr.c_str(), recording.inx.c_str(), 0, 0), 0)
        << "a refused zInit must leave the engine unstarted";
    EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_NONE);
}

}  // namespace
}  // namespace engine_api
