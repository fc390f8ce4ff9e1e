// A test host for the engine's C interface: a fake video target, callbacks that keep what
// the engine reports so tests can wait for it, and recordings made by dvrsim.
//
// The engine is one per process and outlives each test. Tests derive from EngineTest, which
// starts it if needed and leaves nothing open, so they run alone (ctest gives each test its
// own process) as well as one after another in one process.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "kivra/kivra.h"
#include "process.h"

namespace engine_api {

using Millis = std::chrono::milliseconds;

inline constexpr Millis kCommandLimit{10000};
inline constexpr Millis kEndLimit{15000};
inline constexpr int32_t kCanvasWidth = 640;
inline constexpr int32_t kCanvasHeight = 480;

struct PlayEvent {
    int32_t code;
    int32_t value;
};

struct ErrorEvent {
    int32_t code;
    int32_t system;
    int32_t checked;
};

struct DiskEvent {
    int32_t type;
    std::string device;  // empty when the engine passed none
    int32_t event;
};

// Codes that answer a command (end of data, read and drawing failures do not).
bool is_command_result(int32_t code);

// Everything the engine's callbacks reported, in arrival order.
class Reports {
  public:
    size_t play_mark();
    size_t error_mark();
    // The first play event at or after `from` that matches, waiting up to `limit` for it.
    std::optional<PlayEvent> wait_play(size_t from,
                                       const std::function<bool(const PlayEvent&)>& match,
                                       Millis limit);
    bool wait_error(size_t from, int32_t code, Millis limit);
    std::vector<PlayEvent> plays_since(size_t from);
    std::vector<ErrorEvent> errors_since(size_t from);
    bool saw_play(size_t from, int32_t code, int32_t value);

    size_t disk_mark();
    // The first disk event at or after `from` with this event code, waiting up to `limit`.
    std::optional<DiskEvent> wait_disk(size_t from, int32_t event, Millis limit);
    std::vector<DiskEvent> disks_since(size_t from);

    // Frame telemetry: how many frames, and how many named a vehicle other than `id`.
    void reset_frames(const std::string& id);
    int frames();
    int frames_of_other_vehicles();
    // The GOP time of every frame reported since the last reset.
    std::vector<uint32_t> frame_times();

    void on_play(int32_t code, int32_t value);
    void on_error(int32_t code, int32_t system, int32_t checked);
    void on_frame(uint32_t gop_time, const char* vehicle_id);
    void on_disk(int32_t type, const char* device, int32_t event);

  private:
    struct State;
    State& state();
};

// A 640 x 480 video area. Counts and checks every canvas it gets and keeps which threads
// handed them over.
class FakeTarget {
  public:
    KivraVideoTarget target();
    size_t presents();
    bool wait_presents(size_t count, Millis limit);
    size_t malformed();  // canvases of another size, a short stride or without pixels
    size_t presents_on(std::thread::id thread);

  private:
    struct State;
    State& state();
};

Reports& reports();
FakeTarget& video();

// Starts the engine with the fake target and the reporting callbacks unless it runs.
void start_engine();
// Where the engine's ExtractDataProc reports go from now on; null drops them.
void set_extract_sink(ExtractDataProc sink);
void release_engine();
bool engine_started();

// Posts a command and waits for its result code; nothing when none came within the limit.
std::optional<int32_t> command(int32_t cmd, intptr_t first = 0, int32_t second = 0,
                               int32_t third = 0, const char* text = nullptr,
                               Millis limit = kCommandLimit);

// Stops and closes whatever is open, so the next test starts from nothing.
void close_everything();

struct Recording {
    std::string dvr;
    std::string inx;
};

struct RecordingOptions {
    std::string name;
    int channels = 4;
    int seconds = 3;
    int fps = 4;
    std::vector<std::string> extra;  // further dvrsim options
};

void make_recording(const fleet::test::TempDir& dir, const RecordingOptions& options,
                    Recording& out);
// `dvrtool info --json` of the recording.
void describe(const Recording& recording, nlohmann::json& out);

void write_bytes(const std::string& path, const std::string& bytes);

// What every export answers while the engine does not run and nothing is open. `scratch`
// takes the files zSetRecord creates; `recording` is a real pair zOpen must still refuse.
void expect_unstarted_answers(const fleet::test::TempDir& scratch, const Recording& recording);

// Engine started, nothing open, no command pending when the test body begins.
class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Opens with zOpen(KIVRA_SOURCE_FILE, ...) and checks it was taken.
    void open(const Recording& recording);

    fleet::test::TempDir dir_;
};

}  // namespace engine_api
