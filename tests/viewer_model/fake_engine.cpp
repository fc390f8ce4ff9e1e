#include "fake_engine.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace velmora::test {

namespace {

FakeEngine g_engine;

void note(const char* name) {
    g_engine.calls.emplace_back(name);
}

// The default fake of one export: records the call, answers a default of its result type.
template <class Tag, class Function>
struct DefaultFake;

template <class Tag, class Result, class... Args>
struct DefaultFake<Tag, Result (*)(Args...)> {
    static Result call(Args...) {
        note(Tag::kName);
        if constexpr (std::is_same_v<Result, const char*>) {
            return "";
        } else if constexpr (!std::is_void_v<Result>) {
            return Result{};
        }
    }
};

#define FAKE_TAG(name)                              \
    struct name##_tag {                             \
        static constexpr const char* kName = #name; \
    };
KIVRA_FOR_EACH_EXPORT(FAKE_TAG)
#undef FAKE_TAG

EngineApi default_fakes() {
    EngineApi api;
#define FAKE_DEFAULT(name) api.name = &DefaultFake<name##_tag, decltype(&::name)>::call;
    KIVRA_FOR_EACH_EXPORT(FAKE_DEFAULT)
#undef FAKE_DEFAULT
    return api;
}

// ---- Scripted exports ------------------------------------------------------------------------

std::string text_or_null(const char* text) {
    return text != nullptr ? text : "<null>";
}

void KivraInfo(char* version, char* time, char* date) {
    note(__func__);
    std::strcpy(version, "fake");
    std::strcpy(time, "00:00:00");
    std::strcpy(date, "Jan  1 2000");
}
uint8_t zInit(const KivraVideoTarget* target, PlayEventProc play, FrameInfoProc, DiskEventProc,
              LinkEventProc link, ExtractDataProc, ErrorProc error) {
    note(__func__);
    g_engine.init_target = target;
    g_engine.init_play = play;
    g_engine.init_link = link;
    g_engine.init_error = error;
    return g_engine.init_result ? 1 : 0;
}
uint8_t zRelease() {
    note(__func__);
    return g_engine.release_result ? 1 : 0;
}
uint8_t zOpen(int32_t type, const char* dvr, const char* inx, int32_t, int32_t) {
    note(__func__);
    g_engine.open_calls.push_back({type, text_or_null(dvr), text_or_null(inx)});
    return g_engine.open_result ? 1 : 0;
}
int32_t zTellOpenedType() {
    return g_engine.opened_type;
}
uint8_t zPlayMSG(int32_t command, intptr_t first, int32_t second, int32_t third, const char* text) {
    note(__func__);
    g_engine.play_calls.push_back({command, first, second, third});
    if (command == KIVRA_CMD_SNAPSHOT && first != 0) {
        // Copied now, as the engine does: the caller's rectangle lives only during the call.
        std::memcpy(g_engine.snapshot_rect.data(), reinterpret_cast<const void*>(first),
                    sizeof g_engine.snapshot_rect);
        g_engine.snapshot_path = text_or_null(text);
    }
    return 1;
}
std::array<uint8_t, 6> address_of(const void* address6) {
    std::array<uint8_t, 6> address{};
    std::memcpy(address.data(), address6, address.size());
    return address;
}
std::string name_of(const void* name32) {
    const auto* text = static_cast<const char*>(name32);
    return std::string(text, strnlen(text, 32));
}
uint8_t zOpenEx(LiveParams params, int32_t connect_mode, int32_t fallback, const void* address6,
                const void* name32, KivraConnector connector) {
    note(__func__);
    g_engine.open_ex_calls.push_back(
        {params, connect_mode, fallback, address_of(address6), name_of(name32), connector});
    return g_engine.open_ex_result ? 1 : 0;
}
uint8_t zOpenRx(const void* address6, const void* name32, const char* recorder_address,
                int32_t use_connector, int32_t mode_byte, KivraConnector connector) {
    note(__func__);
    g_engine.open_rx_calls.push_back({address_of(address6), name_of(name32),
                                      text_or_null(recorder_address), use_connector, mode_byte,
                                      connector});
    return g_engine.open_rx_result ? 1 : 0;
}
uint8_t zDownload(int32_t first_unit, int32_t last_unit, const char* dvr, const char* inx) {
    note(__func__);
    g_engine.download_calls.push_back(
        {first_unit, last_unit, text_or_null(dvr), text_or_null(inx)});
    return g_engine.download_result ? 1 : 0;
}
int32_t zStopDownload() {
    note(__func__);
    ++g_engine.stop_download_calls;
    return 1;
}
int32_t zTellCarId(char* out) {
    if (g_engine.car_id_result == 0) {
        std::memset(out, 0, 16);
        std::memcpy(out, g_engine.car_id.data(), std::min<size_t>(g_engine.car_id.size(), 15));
    }
    return g_engine.car_id_result;
}
uint8_t zSetRecord(const char* base_path, int32_t on) {
    note(__func__);
    g_engine.record_calls.emplace_back(text_or_null(base_path), on);
    return on == 0 || g_engine.record_result ? 1 : 0;
}
int32_t zTellScreenNum() {
    return g_engine.screen_count;
}
int32_t zTellFullScreenIdx() {
    return g_engine.full_screen_index;
}
uint8_t zSetFullScreen(int32_t index) {
    note(__func__);
    g_engine.full_screen_calls.push_back(index);
    g_engine.full_screen_index = index;
    return 1;
}
int32_t zTellDivStatus() {
    return g_engine.division_status;
}
uint8_t zSetDivStatus(int32_t division) {
    note(__func__);
    g_engine.division_calls.push_back(division);
    return 1;
}
uint8_t zOpenVoice() {
    note(__func__);
    ++g_engine.open_voice_calls;
    return 1;
}
void zCloseVoice() {
    note(__func__);
    ++g_engine.close_voice_calls;
}
uint8_t zSetVoiceVolume(int32_t volume) {
    note(__func__);
    g_engine.volume_calls.push_back(volume);
    return 1;
}
uint8_t zTellVoiceVolume(int32_t* out) {
    *out = 50;
    return 1;
}
int64_t zTellp() {
    return g_engine.read_position;
}
int64_t zTellTotalLen() {
    return g_engine.total_length;
}
int32_t zTellBegTime() {
    return g_engine.begin_time;
}
int32_t zTellEndTime() {
    return g_engine.end_time;
}
uint8_t zTellTimeInxHd(void* out16) {
    if (!g_engine.has_time_index) return 0;
    KivraIndexHeader header{KIVRA_INDEX_MAGIC, g_engine.first_unit, g_engine.last_unit, 0};
    std::memcpy(out16, &header, sizeof header);
    return 1;
}
uint8_t zTellTimeInxUnit(int32_t index, void* out16) {
    const auto found = g_engine.units.find(static_cast<uint32_t>(index));
    if (found == g_engine.units.end()) return 0;
    KivraIndexUnit unit{found->second.time, 0, found->second.offset};
    std::memcpy(out16, &unit, sizeof unit);
    return 1;
}

// Quick records as the recorder writes them: little-endian words, the rest zero.
void put_word(uint8_t* record, std::size_t index, uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i)
        record[index * 4 + i] = static_cast<uint8_t>(value >> (8 * i));
}
uint8_t zTellQuickInxHd(void* out128) {
    if (!g_engine.has_quick_index) return 0;
    auto* record = static_cast<uint8_t*>(out128);
    std::memset(record, 0, KIVRA_QUICK_RECORD_SIZE);
    put_word(record, 0, KIVRA_INDEX_MAGIC);
    put_word(record, 1, g_engine.quick_first);
    put_word(record, 2, g_engine.quick_last);
    return 1;
}
uint8_t zTellQuickInxUnit(int32_t index, void* out128) {
    const auto found = g_engine.quick_records.find(static_cast<uint32_t>(index));
    if (!g_engine.has_quick_index || found == g_engine.quick_records.end()) return 0;
    auto* record = static_cast<uint8_t*>(out128);
    std::memset(record, 0, KIVRA_QUICK_RECORD_SIZE);
    put_word(record, 0, found->second);
    return 1;
}

}  // namespace

FakeEngine& fake_engine() {
    return g_engine;
}

EngineApi make_fake_engine_api() {
    g_engine = FakeEngine{};
    EngineApi api = default_fakes();
    api.KivraInfo = KivraInfo;
    api.zInit = zInit;
    api.zRelease = zRelease;
    api.zOpen = zOpen;
    api.zTellOpenedType = zTellOpenedType;
    api.zPlayMSG = zPlayMSG;
    api.zOpenEx = zOpenEx;
    api.zOpenRx = zOpenRx;
    api.zDownload = zDownload;
    api.zStopDownload = zStopDownload;
    api.zTellCarId = zTellCarId;
    api.zSetRecord = zSetRecord;
    api.zTellScreenNum = zTellScreenNum;
    api.zTellFullScreenIdx = zTellFullScreenIdx;
    api.zSetFullScreen = zSetFullScreen;
    api.zTellDivStatus = zTellDivStatus;
    api.zSetDivStatus = zSetDivStatus;
    api.zOpenVoice = zOpenVoice;
    api.zCloseVoice = zCloseVoice;
    api.zSetVoiceVolume = zSetVoiceVolume;
    api.zTellVoiceVolume = zTellVoiceVolume;
    api.zTellp = zTellp;
    api.zTellTotalLen = zTellTotalLen;
    api.zTellBegTime = zTellBegTime;
    api.zTellEndTime = zTellEndTime;
    api.zTellTimeInxHd = zTellTimeInxHd;
    api.zTellTimeInxUnit = zTellTimeInxUnit;
    api.zTellQuickInxHd = zTellQuickInxHd;
    api.zTellQuickInxUnit = zTellQuickInxUnit;
    return api;
}

}  // namespace velmora::test
