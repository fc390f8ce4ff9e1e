// Drives the engine in this process as a host would: a video target that keeps the latest
// canvas, callbacks that record what the engine reports, and commands that wait for results.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "kivra/kivra.h"

namespace fleet::test {

struct PlayEvent {
    int code = 0;
    int value = 0;
};

struct FrameEvent {
    double at = 0;  // seconds since the harness started
    uint32_t time = 0;
    float speed = 0;
    // Everything FrameInfoProc was given, in the schema of the recordings' truth (without
    // gop, frame and channels).
    nlohmann::ordered_json telemetry;
    uint64_t canvas = 0;  // hash of the canvas presented last, the one showing this frame
    int output_rate = 0, output_bits = 0;  // the audio output's format meanwhile
};

// A 64-bit hash of packed canvas rows: equal canvases, equal hashes.
uint64_t canvas_hash(const uint8_t* data, size_t length);

struct LinkEvent {
    double at = 0;  // seconds since the harness started
    int link = 0;
    int code = 0;
    int value = 0;
};

class EngineHarness {
  public:
    EngineHarness(int width = 960, int height = 720);
    ~EngineHarness();

    bool open(const std::string& base);  // BASE.dvr + BASE.inx
    // zRelease, then zInit again with the same target and callbacks; the source stays open.
    void restart();
    // Sends a command and waits for its result code; -1 when none came within 10 s.
    int command(int cmd, intptr_t first = 0, int64_t offset = 0, const char* text = nullptr);
    // Errors reported by the last command().
    const std::vector<int>& last_errors() const { return last_errors_; }
    // Every error reported since the last clear(), with its system error value.
    std::vector<std::array<int, 2>> errors();

    bool wait(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    std::vector<PlayEvent> play_events();
    std::vector<FrameEvent> frames();
    std::vector<LinkEvent> link_events();
    int count_play(int code, int value);
    void clear();

    // The latest canvas as packed BGRX rows.
    std::vector<uint8_t> canvas(int& width, int& height);
    bool save_canvas(const std::string& path);
    // The colour (B, G, R) at a canvas point.
    std::array<int, 3> pixel(int x, int y);
    // Canvases handed over so far (repaints included).
    size_t presents();

    // Callback entry points (the engine takes plain C functions).
    void on_present(const KivraCanvas* canvas);
    void on_play(int code, int value);
    void on_frame(FrameEvent frame);
    void on_error(int code, int system_error);
    void on_link(int link, int code, int value);

    int width() const { return width_; }
    int height() const { return height_; }

  private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    int width_, height_;
    std::vector<uint8_t> canvas_;
    int canvas_width_ = 0, canvas_height_ = 0;
    uint64_t canvas_hash_ = 0;
    size_t presents_ = 0;
    std::vector<PlayEvent> play_;
    std::vector<FrameEvent> frames_;
    std::vector<LinkEvent> links_;
    std::vector<int> errors_;
    std::vector<int> error_systems_;
    std::vector<int> last_errors_;
    int results_ = 0;
};

}  // namespace fleet::test
