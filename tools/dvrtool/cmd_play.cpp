// dvrtool play: drives the engine as a host would, without a window. Commands are sent at
// chosen seconds, every callback can be printed as a JSON line, and the canvas can be saved.
// A recorder's live video (--live) is played in cmd_play_live.cpp.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "dvrtool/commands.h"
#include "engine_open.h"
#include "engine_session.h"
#include "kivra/kivra.h"
#include "play_timeline.h"

namespace dvrtool {

fleet::Status parse_play_view(const CommandLine& line, EngineSession& state, double& run_for) {
    if (!line.has("--headless")) return usage_error("only --headless play is available here");
    run_for = -1;
    if (auto v = line.value("--for")) {
        auto seconds = parse_seconds(*v, "--for takes seconds, not '" + *v + "'");
        if (!seconds) return seconds.error();
        run_for = *seconds;
    }
    state.print_events = line.has("--events");
    if (auto size = line.value("--size")) {
        if (std::sscanf(size->c_str(), "%dx%d", &state.width, &state.height) != 2 ||
            state.width <= 0 || state.height <= 0) {
            return usage_error("--size takes WIDTHxHEIGHT");
        }
    }
    return {};
}

Outcome run_play(const CommandLine& line) {
    if (line.value("--live")) return run_play_live(line);
    EngineSession state;
    double run_for = -1;
    if (auto parsed = parse_play_view(line, state, run_for); !parsed) return parsed.error();
    auto actions = parse_actions(line);
    if (!actions) return actions.error();

    if (auto started = start_engine(state); !started) return started.error();
    if (auto opened = open_in_engine(line, wait_for_disk_report); !opened) {
        close_engine();
        return opened.error();
    }
    state.start = Clock::now();
    send_command(KIVRA_CMD_PLAY);
    // Without a time set, the end of the data ends the play once every action has run.
    TimelineWatch watch;
    watch.over = [&](bool actions_done) {
        return run_for < 0 && actions_done && state.end_of_data;
    };
    run_timeline(std::move(*actions), run_for, watch);
    const int status = zTellStatusType();
    const bool open = zTellOpenedType() != KIVRA_SOURCE_NONE;
    if (open && status != KIVRA_STATUS_OPENED && status != KIVRA_STATUS_STOPPED) {
        send_command(KIVRA_CMD_STOP);
    }
    close_engine();
    return state.screenshot_failed ? kExitFailed : kExitDone;
}

}  // namespace dvrtool
