// The engine driven as a host drives it, for the commands that play or link: its callbacks
// (plain C functions on engine threads) report into one EngineSession that the command's
// thread waits on; every callback can be printed as a JSON line.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "common/result.h"
#include "link_reports.h"

namespace dvrtool {

using Clock = std::chrono::steady_clock;

struct EngineSession {
    std::mutex lock;
    std::condition_variable changed;
    Clock::time_point start = Clock::now();  // the "t" of printed events counts from here
    bool print_events = false;
    int width = 960, height = 720;  // the video area the engine draws
    std::vector<uint8_t> canvas;
    int canvas_width = 0, canvas_height = 0, canvas_stride = 0;
    int results = 0;  // command results seen
    int last_result = -1;
    bool end_of_data = false;
    uint32_t last_time = 0;
    bool screenshot_failed = false;
    int disk_event = -1;  // the first disk report, once the engine has looked at the medium
    LinkReports link;
};

// Starts the engine with the callbacks reporting into `session`, which must outlive
// close_engine. Only one session at a time.
fleet::Status start_engine(EngineSession& session);

// The session started, for the command's own thread.
EngineSession& session();

// Leaves the engine with nothing open and its threads stopped; the session is let go.
void close_engine();

double seconds_since_start();

// Sends a playback command and waits for its result (commands go one at a time); -1 when none
// came within 10 s.
int send_command(int cmd, intptr_t first = 0, int64_t offset = 0, const char* text = nullptr);

// Saves the latest canvas as PNG. A screenshot that cannot be taken is a warning and the play
// goes on, but the session remembers it: a script must not take a missing picture for a saved
// one.
void save_screenshot(const std::string& path);

// The engine reads a disk or card on its search thread and reports the outcome; the wait is
// long because a device may spin up first. Negative when no report came.
int wait_for_disk_report();

}  // namespace dvrtool
