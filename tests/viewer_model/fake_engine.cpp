#include "fake_engine.h"

#include <cstring>

namespace velmora::test {

namespace {

FakeEngine g_engine;

void note(const char* name) {
    g_engine.calls.emplace_back(name);
}

std::string text_or_null(const char* text) {
    return text != nullptr ? text : "<null>";
}

void KivraInfo(char* version, char* time, char* date) {
    note("KivraInfo");
    std::strcpy(version, "fake");
    std::strcpy(time, "00:00:00");
    std::strcpy(date, "Jan  1 2000");
}
uint8_t zInit(const KivraVideoTarget*, PlayEventProc, FrameInfoProc, DiskEventProc, LinkEventProc,
              ExtractDataProc, ErrorProc) {
    note("zInit");
    return 1;
}
uint8_t zRelease() {
    note("zRelease");
    return 1;
}
uint8_t zOpen(int32_t type, const char* dvr, const char* inx, int32_t, int32_t) {
    note("zOpen");
    g_engine.open_calls.push_back({type, text_or_null(dvr), text_or_null(inx)});
    return g_engine.open_result ? 1 : 0;
}
uint8_t zOpenEx(LiveParams, int32_t, int32_t, const void*, const void*, KivraConnector) {
    note("zOpenEx");
    return 0;
}
uint8_t zOpenRx(const void*, const void*, const char*, int32_t, int32_t, KivraConnector) {
    note("zOpenRx");
    return 0;
}
uint8_t zDownload(int32_t, int32_t, const char*, const char*) {
    note("zDownload");
    return 0;
}
int32_t zStopDownload() {
    note("zStopDownload");
    return 0;
}
int32_t zTellOpenedType() {
    return g_engine.opened_type;
}
int32_t zTellStatusType() {
    return 0;
}
uint8_t zPlayMSG(int32_t command, intptr_t first, int32_t second, int32_t third, const char*) {
    note("zPlayMSG");
    g_engine.play_calls.push_back({command, first, second, third});
    return 1;
}
int32_t zTellScreenNum() {
    return g_engine.screen_count;
}
int32_t zTellSampleRate() {
    return 8000;
}
int32_t zTellSampleBits() {
    return 16;
}
int32_t zTellFullScreenIdx() {
    return g_engine.full_screen_index;
}
uint8_t zSetFullScreen(int32_t index) {
    note("zSetFullScreen");
    g_engine.full_screen_calls.push_back(index);
    g_engine.full_screen_index = index;
    return 1;
}
int32_t zTellDivStatus() {
    return g_engine.division_status;
}
uint8_t zSetDivStatus(int32_t division) {
    note("zSetDivStatus");
    g_engine.division_calls.push_back(division);
    return 1;
}
int32_t zTellCarId(char* out) {
    out[0] = '\0';
    return -1;
}
uint8_t zOpenVoice() {
    note("zOpenVoice");
    ++g_engine.open_voice_calls;
    return 1;
}
void zCloseVoice() {
    note("zCloseVoice");
    ++g_engine.close_voice_calls;
}
uint8_t zSetVoiceVolume(int32_t volume) {
    note("zSetVoiceVolume");
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
int32_t zStartExtract(uint32_t, int32_t, uint32_t, int32_t) {
    return -1;
}
int32_t zStopExtract() {
    return 0;
}
uint8_t zTellTimeInxHd(void* out16) {
    if (!g_engine.has_time_index) return 0;
    std::memset(out16, 0, 16);
    auto* bytes = static_cast<unsigned char*>(out16);
    std::memcpy(bytes + 4, &g_engine.first_unit, 4);
    std::memcpy(bytes + 8, &g_engine.last_unit, 4);
    return 1;
}
uint8_t zTellTimeInxUnit(int32_t index, void* out16) {
    const auto found = g_engine.units.find(static_cast<uint32_t>(index));
    if (found == g_engine.units.end()) return 0;
    std::memset(out16, 0, 16);
    auto* bytes = static_cast<unsigned char*>(out16);
    std::memcpy(bytes, &found->second.time, 4);
    std::memcpy(bytes + 8, &found->second.offset, 8);
    return 1;
}
uint8_t zTellEvtInxHd(void*) {
    return 0;
}
uint8_t zTellEvtInxUnit(int32_t, void*) {
    return 0;
}
uint8_t zTellQuickInxHd(void*) {
    return 0;
}
uint8_t zTellQuickInxUnit(int32_t, void*) {
    return 0;
}
uint8_t zSetRecord(const char*, int32_t) {
    return 0;
}

}  // namespace

FakeEngine& fake_engine() {
    return g_engine;
}

EngineApi make_fake_engine_api() {
    g_engine = FakeEngine{};
    EngineApi api;
    api.KivraInfo = KivraInfo;
    api.zInit = zInit;
    api.zRelease = zRelease;
    api.zOpen = zOpen;
    api.zOpenEx = zOpenEx;
    api.zOpenRx = zOpenRx;
    api.zDownload = zDownload;
    api.zStopDownload = zStopDownload;
    api.zTellOpenedType = zTellOpenedType;
    api.zTellStatusType = zTellStatusType;
    api.zPlayMSG = zPlayMSG;
    api.zTellScreenNum = zTellScreenNum;
    api.zTellSampleRate = zTellSampleRate;
    api.zTellSampleBits = zTellSampleBits;
    api.zTellFullScreenIdx = zTellFullScreenIdx;
    api.zSetFullScreen = zSetFullScreen;
    api.zTellDivStatus = zTellDivStatus;
    api.zSetDivStatus = zSetDivStatus;
    api.zTellCarId = zTellCarId;
    api.zOpenVoice = zOpenVoice;
    api.zCloseVoice = zCloseVoice;
    api.zSetVoiceVolume = zSetVoiceVolume;
    api.zTellVoiceVolume = zTellVoiceVolume;
    api.zTellp = zTellp;
    api.zTellTotalLen = zTellTotalLen;
    api.zTellBegTime = zTellBegTime;
    api.zTellEndTime = zTellEndTime;
    api.zStartExtract = zStartExtract;
    api.zStopExtract = zStopExtract;
    api.zTellTimeInxHd = zTellTimeInxHd;
    api.zTellTimeInxUnit = zTellTimeInxUnit;
    api.zTellEvtInxHd = zTellEvtInxHd;
    api.zTellEvtInxUnit = zTellEvtInxUnit;
    api.zTellQuickInxHd = zTellQuickInxHd;
    api.zTellQuickInxUnit = zTellQuickInxUnit;
    api.zSetRecord = zSetRecord;
    return api;
}

}  // namespace velmora::test
