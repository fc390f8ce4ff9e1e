// What `dvrtool play` does at chosen seconds after it began playing: commands (--do) and
// screenshots (--screenshot), run in time order until the play ends.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "dvrtool/args.h"
#include "engine_session.h"

namespace dvrtool {

struct Action {
    double at = 0;         // seconds after the session's start
    std::string verb;      // pause, play, ff, screenshot, ...
    std::string value;     // the part after the first ':'
    long long number = 0;  // the value of ff, fb, seek, full, div and volume
};

// The options every play shares: --headless (required), --for, --events and --size; run_for
// is negative when --for is not given.
fleet::Status parse_play_view(const CommandLine& line, EngineSession& state, double& run_for);

// Finite seconds, not negative, from the whole text; else a usage error saying `complaint`.
fleet::Result<double> parse_seconds(std::string_view text, const std::string& complaint);

// The --do and --screenshot options of the command line.
fleet::Result<std::vector<Action>> parse_actions(const CommandLine& line);

// What the timeline watches while it waits.
struct TimelineWatch {
    // Called under the session's lock: whether the play is over now; actions_done tells that
    // every action has run.
    std::function<bool(bool actions_done)> over;
    // Called without the lock after every wait, which lasts at most `slice`.
    std::function<void()> tend;
    Clock::duration slice = std::chrono::hours(24);
};

// Runs the actions in time order; ends at run_for seconds (negative: no time set), or when
// the watch says the play is over.
void run_timeline(std::vector<Action> actions, double run_for, const TimelineWatch& watch);

}  // namespace dvrtool
