// The map page's requests to the session: seek to a time on the track, play from a search
// result. Both seek as the progress slider does.
#include "model/engine_quick_index.h"
#include "model/engine_time_index.h"
#include "model/map_seek.h"
#include "model/player_session.h"

namespace velmora {

void PlayerSession::seek_to_time(uint32_t time) {
    EngineTimeIndex index(engine_);
    if (const auto offset = time_seek_offset(index, time)) seek_to(*offset);
}

void PlayerSession::play_quick_entry(uint32_t record) {
    EngineQuickIndex quick(engine_);
    EngineTimeIndex index(engine_);
    if (const auto offset = quick_entry_offset(quick, index, record)) seek_to(*offset);
}

}  // namespace velmora
