// A player session over the fake engine and a recording view, with a recording file pair in
// a private temporary folder.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "fake_engine.h"
#include "lang/language_table.h"
#include "model/player_session.h"
#include "recording_view.h"
#include "temp_folder.h"

namespace velmora::test {

// The device survey a search asks for, answered by the test; nothing listed by default, so
// searches start.
class FakeDevices : public DeviceAccess {
  public:
    DeviceSurvey survey() const override {
        ++surveys;
        return answer;
    }
    DeviceSurvey answer;
    mutable int surveys = 0;
};

class SessionTest : public ::testing::Test {
  protected:
    SessionTest()
        : api_(make_fake_engine_api()),
          texts_(folder_.path().string()),
          session_(api_, view_, texts_, devices_) {
        recording_ = folder_.touch("rec.dvr");
        folder_.touch("rec.inx");
    }

    FakeEngine& engine() { return fake_engine(); }

    // Drives the session into a state the way the engine's reports would.
    void bring_to(PlayerState state) {
        session_.open_file(recording_);
        if (state == PlayerState::Opened) return forget();
        session_.on_play_event(KIVRA_RESULT_PLAY_OK, 0);
        if (state == PlayerState::Paused) session_.on_play_event(KIVRA_RESULT_PAUSE_OK, 0);
        if (state == PlayerState::Shuttle) {
            session_.fast_forward();
            session_.on_play_event(KIVRA_RESULT_FAST_FORWARD_OK, 0);
        }
        forget();
    }

    // Drops what was recorded so far.
    void forget() {
        view_.forget();
        engine().calls.clear();
        engine().play_calls.clear();
        engine().open_calls.clear();
        engine().full_screen_calls.clear();
        engine().division_calls.clear();
        engine().open_ex_calls.clear();
        engine().open_rx_calls.clear();
        engine().download_calls.clear();
    }

    std::vector<int32_t> commands() const {
        std::vector<int32_t> result;
        for (const auto& call : fake_engine().play_calls) result.push_back(call.command);
        return result;
    }

    TempFolder folder_;
    EngineApi api_;
    RecordingView view_;
    LanguageTable texts_;
    FakeDevices devices_;
    PlayerSession session_;
    std::string recording_;
};

}  // namespace velmora::test
