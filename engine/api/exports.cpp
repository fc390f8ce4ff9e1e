// The engine's C interface: thin functions over the one Engine of the process.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "api/engine.h"
#include "audio/audio_out.h"
#include "format/index_format.h"
#include "kivra/kivra.h"

using kivra::Engine;

namespace {

Engine& engine() {
    return Engine::instance();
}

bool nothing_open() {
    return engine().opened_type() == KIVRA_SOURCE_NONE;
}

// A realtime or remote link: neither has a recording of its own to tell times of.
bool network_open() {
    const int type = engine().opened_type();
    return type == KIVRA_SOURCE_REALTIME || type == KIVRA_SOURCE_REMOTE;
}

// Runs fn on the open stored source under the engine lock, or answers `otherwise`.
template <typename T, typename Fn>
T with_source(T otherwise, Fn fn) {
    std::lock_guard<std::mutex> guard(engine().engine_lock());
    kivra::StoredSource* source = engine().stored_source();
    return source != nullptr ? fn(*source) : otherwise;
}

}  // namespace

extern "C" {

// Fixed texts rather than the compiler's clock: the same source builds the same library.
void KivraInfo(char* version, char* time, char* date) {
    constexpr size_t kBound = 19;
    if (version != nullptr) std::snprintf(version, kBound, "%s", "3.0d");
    if (time != nullptr) std::snprintf(time, kBound, "%s", "12:01:36");
    if (date != nullptr) std::snprintf(date, kBound, "%s", "Jul 12 2013");
}

uint8_t zInit(const KivraVideoTarget* target, PlayEventProc play, FrameInfoProc frame,
              DiskEventProc disk, LinkEventProc link, ExtractDataProc extract, ErrorProc error) {
    return engine().init(target, {play, frame, disk, link, extract, error}) ? 1 : 0;
}

uint8_t zRelease(void) {
    engine().release();
    return 1;
}

uint8_t zOpen(int32_t type, const char* dvr_path, const char* inx_path, int32_t, int32_t) {
    return engine().open(type, dvr_path, inx_path) ? 1 : 0;
}

uint8_t zOpenEx(LiveParams params, int32_t connect_mode, int32_t fallback_to_nat,
                const void* address6, const void* recorder_name32, KivraConnector connector) {
    return engine().open_realtime(params, connect_mode, fallback_to_nat, address6, recorder_name32,
                                  connector)
               ? 1
               : 0;
}

uint8_t zOpenRx(const void* address6, const void* recorder_name32, const char* recorder_address,
                int32_t use_connector, int32_t mode_byte, KivraConnector connector) {
    return engine().open_remote(address6, recorder_name32, recorder_address, use_connector,
                                mode_byte, connector)
               ? 1
               : 0;
}

uint8_t zDownload(int32_t first_row, int32_t last_row, const char* dvr_path, const char* inx_path) {
    return engine().download(first_row, last_row, dvr_path, inx_path) ? 1 : 0;
}

int32_t zStopDownload(void) {
    return engine().stop_download();
}

int32_t zTellOpenedType(void) {
    return engine().opened_type();
}

int32_t zTellStatusType(void) {
    return engine().status();
}

uint8_t zPlayMSG(int32_t cmd, intptr_t first, int32_t second, int32_t third, const char* text) {
    kivra::Command command{cmd, first, second, third, std::nullopt, std::nullopt};
    if (text != nullptr) command.text = std::string(text);
    if (cmd == KIVRA_CMD_SNAPSHOT && first != 0) {
        std::array<int32_t, 4> rect;
        std::memcpy(rect.data(), reinterpret_cast<const void*>(first), sizeof rect);
        command.rect = rect;
    }
    engine().post(std::move(command));
    return 1;
}

int32_t zTellScreenNum(void) {
    if (nothing_open()) return KIVRA_UNKNOWN;
    {
        std::lock_guard<std::mutex> guard(engine().engine_lock());
        if (const kivra::LiveFeed* feed = engine().live_feed()) {
            return kivra::feed_channel_count(*feed);
        }
    }
    return with_source(KIVRA_UNKNOWN,
                       [](kivra::StoredSource& s) { return s.probe().channel_count; });
}

int32_t zTellSampleRate(void) {
    return nothing_open() ? KIVRA_UNKNOWN : engine().sample_rate();
}

int32_t zTellSampleBits(void) {
    return nothing_open() ? KIVRA_UNKNOWN : engine().sample_bits();
}

int32_t zTellFullScreenIdx(void) {
    if (nothing_open() || engine().display().screen_count < 0) return KIVRA_UNKNOWN;
    return engine().display().full_screen;
}

// A channel beyond the eighth is never drawn, so showing it alone would show nothing.
uint8_t zSetFullScreen(int32_t index) {
    auto& display = engine().display();
    if (nothing_open() || display.screen_count < 0 || index < 0 ||
        index > std::min<int32_t>(display.screen_count, KIVRA_MAX_CHANNELS)) {
        return 0;
    }
    display.full_screen = index;
    engine().redraw();
    return 1;
}

int32_t zTellDivStatus(void) {
    if (nothing_open() || engine().display().screen_count != KIVRA_MAX_CHANNELS)
        return KIVRA_UNKNOWN;
    return engine().display().division;
}

uint8_t zSetDivStatus(int32_t division) {
    if (nothing_open() || engine().display().screen_count != KIVRA_MAX_CHANNELS ||
        division < KIVRA_DIVISION_ALL || division > KIVRA_DIVISION_LAST_FOUR) {
        return 0;
    }
    engine().display().division = division;
    engine().redraw();
    return 1;
}

int32_t zTellCarId(char* out) {
    if (nothing_open()) return KIVRA_UNKNOWN;
    return with_source(KIVRA_UNKNOWN, [out](kivra::StoredSource& s) {
        if (out == nullptr) return KIVRA_UNKNOWN;
        std::memcpy(out, s.probe().vehicle_id, sizeof s.probe().vehicle_id);
        out[sizeof s.probe().vehicle_id - 1] = '\0';
        return 0;
    });
}

uint8_t zOpenVoice(void) {
    if (engine().display().voice_on) return 0;
    engine().display().voice_on = true;
    return 1;
}

void zCloseVoice(void) {
    engine().display().voice_on = false;
}

uint8_t zSetVoiceVolume(int32_t volume) {
    float gain = 0;
    if (!kivra::gain_for_volume(volume, gain)) return 0;
    engine().display().gain = gain;
    return 1;
}

uint8_t zTellVoiceVolume(int32_t* out) {
    int volume = 0;
    if (out == nullptr || !kivra::volume_for_gain(engine().display().gain, volume)) return 0;
    *out = volume;
    return 1;
}

int64_t zTellp(void) {
    return with_source(int64_t{KIVRA_UNKNOWN}, [](kivra::StoredSource& s) { return s.tell(); });
}

int64_t zTellTotalLen(void) {
    return with_source(int64_t{KIVRA_UNKNOWN}, [](kivra::StoredSource& s) { return s.length(); });
}

int32_t zTellBegTime(void) {
    if (nothing_open() || network_open()) return KIVRA_UNKNOWN;
    return with_source(0,
                       [](kivra::StoredSource& s) { return static_cast<int32_t>(s.begin_time()); });
}

int32_t zTellEndTime(void) {
    if (nothing_open() || network_open()) return KIVRA_UNKNOWN;
    return with_source(0,
                       [](kivra::StoredSource& s) { return static_cast<int32_t>(s.end_time()); });
}

int32_t zStartExtract(uint32_t start_low, int32_t start_high, uint32_t end_low, int32_t end_high) {
    auto offset = [](uint32_t low, int32_t high) {
        return static_cast<int64_t>(uint64_t{static_cast<uint32_t>(high)} << 32 | low);
    };
    return engine().start_extract(offset(start_low, start_high), offset(end_low, end_high));
}

int32_t zStopExtract(void) {
    engine().stop_extract();
    return 0;
}

uint8_t zTellTimeInxHd(void* out16) {
    return with_source(uint8_t{0}, [out16](kivra::StoredSource& s) {
        return static_cast<uint8_t>(s.time_index_header(static_cast<uint8_t*>(out16)));
    });
}

uint8_t zTellTimeInxUnit(int32_t index, void* out16) {
    return with_source(uint8_t{0}, [index, out16](kivra::StoredSource& s) {
        return static_cast<uint8_t>(s.time_index_unit(index, static_cast<uint8_t*>(out16)));
    });
}

// File pairs carry no event or quick index: their sources answer false.
uint8_t zTellEvtInxHd(void* out16) {
    return with_source(uint8_t{0}, [out16](kivra::StoredSource& s) {
        return static_cast<uint8_t>(s.event_index_header(static_cast<uint8_t*>(out16)));
    });
}

uint8_t zTellEvtInxUnit(int32_t index, void* out16) {
    return with_source(uint8_t{0}, [index, out16](kivra::StoredSource& s) {
        return static_cast<uint8_t>(s.event_index_unit(index, static_cast<uint8_t*>(out16)));
    });
}

uint8_t zTellQuickInxHd(void* out128) {
    return with_source(uint8_t{0}, [out128](kivra::StoredSource& s) {
        return static_cast<uint8_t>(s.quick_index_header(static_cast<uint8_t*>(out128)));
    });
}

uint8_t zTellQuickInxUnit(int32_t index, void* out128) {
    return with_source(uint8_t{0}, [index, out128](kivra::StoredSource& s) {
        return static_cast<uint8_t>(s.quick_index_unit(index, static_cast<uint8_t*>(out128)));
    });
}

uint8_t zSetRecord(const char* base_path, int32_t on) {
    if (on == 0) return engine().recorder().stop().ok() ? 1 : 0;
    if (base_path == nullptr) return 0;
    return engine().recorder().start(base_path).ok() ? 1 : 0;
}

}  // extern "C"
