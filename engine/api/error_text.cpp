// One table of the engine's numbered errors, for hosts' logs and for dvrtool.
#include "kivra/kivra.h"

namespace {

struct ErrorText {
    int32_t code;
    const char* text;
};

constexpr ErrorText kErrors[] = {
    {40000, "play: the reader thread cannot be created"},
    {40001, "play: the audio format cannot be set"},
    {40002, "play from pause: the pause timer cannot be stopped"},
    {40003, "play from fast mode: the fast timer cannot be stopped"},
    {40004, "play from stop: the reader thread cannot be created"},
    {40005, "play: the audio output cannot be started"},
    {40006, "realtime play: the reader thread cannot be created"},
    {40007, "realtime play: the audio output cannot be started"},
    {40008, "realtime play from stop: the reader thread cannot be created"},
    {40009, "realtime play from stop: the audio output cannot be started"},
    {40010, "the audio format cannot change while the output is open"},
    {40011, "the pause timer is not running"},
    {40012, "the fast timer is not running"},
    {40013, "no audio output device"},
    {40014, "the audio output device cannot be opened"},
    {40015, "the audio output is already running"},
    {40016, "close refused: nothing open, or playback not stopped"},
    {40017, "close: nothing is open"},
    {40018, "close: unknown source type"},
    {40019, "close: the source cannot be closed"},
    {40020, "close: the .dvr file cannot be closed"},
    {40021, "close: the .inx file cannot be closed"},
    {40022, "pause is not available for network sources"},
    {40023, "the pause timer cannot be started"},
    {40024, "pause failed: not playing"},
    {40025, "step forward is not available for network sources"},
    {40026, "step forward failed: not paused"},
    {40027, "step forward: the previous step is not shown yet"},
    {40028, "step backward is not available for network sources"},
    {40029, "step backward failed: not paused"},
    {40030, "step backward: the previous step is not shown yet"},
    {40031, "fast forward is not available for network sources"},
    {40032, "fast forward speed must be 1 to 7"},
    {40033, "fast timer started with a speed of 0 or less"},
    {40034, "the fast timer cannot be started"},
    {40035, "fast forward failed"},
    {40036, "fast backward is not available for network sources"},
    {40037, "fast backward speed must be 1 to 7"},
    {40038, "fast backward failed"},
    {40039, "seek is not available for network sources"},
    {40040, "seek: the length of the recording is unknown"},
    {40041, "seek: offset outside the recording"},
    {40042, "seek: no source is open"},
    {40043, "seek from opened: positioning failed"},
    {40044, "seek while playing: positioning failed"},
    {40045, "seek while paused: positioning failed"},
    {40046, "seek in fast mode: positioning failed"},
    {40047, "seek: playback cannot restart from this state"},
    {40048, "positioning: nothing is open"},
    {40049, "positioning is not supported by this source"},
    {40050, "positioning: the .dvr file is not open"},
    {40051, "positioning beyond the end of the recording"},
    {40052, "positioning: the seek failed"},
    {40053, "disk: the offset is outside the recorded ring"},
    {40054, "card: the offset is outside the recorded ring"},
    {40055, "stop failed: not playing"},
    {40056, "snapshot: nothing is open"},
    {40057, "snapshot: the channel count is unknown"},
};

}  // namespace

extern "C" const char* KivraErrorText(int32_t error_code) {
    for (const auto& e : kErrors) {
        if (e.code == error_code) return e.text;
    }
    return "unknown error";
}
