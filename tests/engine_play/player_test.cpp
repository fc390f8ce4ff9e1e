// The player alone, without an engine around it: what it reports when there is nothing to
// position.
#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "audio/audio_out.h"
#include "playback/player.h"
#include "present/presenter.h"
#include "record/gop_recorder.h"

namespace kivra {
namespace {

struct Reported : PlayerEvents {
    void play_event(int, int) override {}
    void error(int code, int, int) override { errors.push_back(code); }
    void frame_info(const FrameSet&, int) override {}
    void end_of_data() override {}
    std::vector<int> errors;
};

// Stop rewinds the source to its start; with the source gone, that positioning has nothing
// to work on and says so.
TEST(Player, PositioningWithoutASourceReportsNothingOpen) {
    Reported events;
    Presenter presenter;
    AudioOut audio;
    std::mutex engine_lock;
    DisplaySettings display;
    GopRecorder recorder;
    Player player(events, presenter, audio, engine_lock, display, recorder);
    player.attach(nullptr);
    player.set_status(KIVRA_STATUS_PLAYING);
    EXPECT_EQ(player.stop(), KIVRA_RESULT_STOP_OK);
    EXPECT_EQ(events.errors, std::vector<int>{KIVRA_ERROR_POSITION_NOTHING_OPEN});
    EXPECT_EQ(player.status(), KIVRA_STATUS_STOPPED);
}

}  // namespace
}  // namespace kivra
