// Entry points of the two libraries the viewer loads at run time, filled by name in a fixed
// order (see library_binding.h). The viewer calls the engine only through these pointers.
#pragma once

#include <array>
#include <cstddef>
#include <span>

#include "kivra/kivra.h"
#include "ombrel/ombrel.h"

namespace velmora {

struct EngineApi {
    decltype(&::KivraInfo) KivraInfo = nullptr;
    decltype(&::zInit) zInit = nullptr;
    decltype(&::zRelease) zRelease = nullptr;
    decltype(&::zOpen) zOpen = nullptr;
    decltype(&::zOpenEx) zOpenEx = nullptr;
    decltype(&::zOpenRx) zOpenRx = nullptr;
    decltype(&::zDownload) zDownload = nullptr;
    decltype(&::zStopDownload) zStopDownload = nullptr;
    decltype(&::zTellOpenedType) zTellOpenedType = nullptr;
    decltype(&::zTellStatusType) zTellStatusType = nullptr;
    decltype(&::zPlayMSG) zPlayMSG = nullptr;
    decltype(&::zTellScreenNum) zTellScreenNum = nullptr;
    decltype(&::zTellSampleRate) zTellSampleRate = nullptr;
    decltype(&::zTellSampleBits) zTellSampleBits = nullptr;
    decltype(&::zTellFullScreenIdx) zTellFullScreenIdx = nullptr;
    decltype(&::zSetFullScreen) zSetFullScreen = nullptr;
    decltype(&::zTellDivStatus) zTellDivStatus = nullptr;
    decltype(&::zSetDivStatus) zSetDivStatus = nullptr;
    decltype(&::zTellCarId) zTellCarId = nullptr;
    decltype(&::zOpenVoice) zOpenVoice = nullptr;
    decltype(&::zCloseVoice) zCloseVoice = nullptr;
    decltype(&::zSetVoiceVolume) zSetVoiceVolume = nullptr;
    decltype(&::zTellVoiceVolume) zTellVoiceVolume = nullptr;
    decltype(&::zTellp) zTellp = nullptr;
    decltype(&::zTellTotalLen) zTellTotalLen = nullptr;
    decltype(&::zTellBegTime) zTellBegTime = nullptr;
    decltype(&::zTellEndTime) zTellEndTime = nullptr;
    decltype(&::zStartExtract) zStartExtract = nullptr;
    decltype(&::zStopExtract) zStopExtract = nullptr;
    decltype(&::zTellTimeInxHd) zTellTimeInxHd = nullptr;
    decltype(&::zTellTimeInxUnit) zTellTimeInxUnit = nullptr;
    decltype(&::zTellEvtInxHd) zTellEvtInxHd = nullptr;
    decltype(&::zTellEvtInxUnit) zTellEvtInxUnit = nullptr;
    decltype(&::zTellQuickInxHd) zTellQuickInxHd = nullptr;
    decltype(&::zTellQuickInxUnit) zTellQuickInxUnit = nullptr;
    decltype(&::zSetRecord) zSetRecord = nullptr;

    // Binding order; kNames[i] belongs to the i-th pointer above.
    static constexpr std::array<const char*, 36> kNames = {
        "KivraInfo",       "zInit",           "zRelease",           "zOpen",
        "zOpenEx",         "zOpenRx",         "zDownload",          "zStopDownload",
        "zTellOpenedType", "zTellStatusType", "zPlayMSG",           "zTellScreenNum",
        "zTellSampleRate", "zTellSampleBits", "zTellFullScreenIdx", "zSetFullScreen",
        "zTellDivStatus",  "zSetDivStatus",   "zTellCarId",         "zOpenVoice",
        "zCloseVoice",     "zSetVoiceVolume", "zTellVoiceVolume",   "zTellp",
        "zTellTotalLen",   "zTellBegTime",    "zTellEndTime",       "zStartExtract",
        "zStopExtract",    "zTellTimeInxHd",  "zTellTimeInxUnit",   "zTellEvtInxHd",
        "zTellEvtInxUnit", "zTellQuickInxHd", "zTellQuickInxUnit",  "zSetRecord"};

    // Takes the looked-up addresses in kNames order; a null address leaves its pointer null.
    void assign(std::span<void* const, kNames.size()> addresses);
    // Nulls the pointers; the module stays as it is.
    void clear();
    // True when every pointer is set.
    bool complete() const;

    // The loaded module; set by bind_engine and kept until the process ends.
    void* module = nullptr;
};

struct ExtractApi {
    decltype(&::zExtractInfo) zExtractInfo = nullptr;
    decltype(&::zExtractPre) zExtractPre = nullptr;
    decltype(&::zExtractWrite) zExtractWrite = nullptr;
    decltype(&::zExtractFin) zExtractFin = nullptr;
    decltype(&::zIsExtractOpened) zIsExtractOpened = nullptr;

    static constexpr std::array<const char*, 5> kNames = {
        "zExtractInfo", "zExtractPre", "zExtractWrite", "zExtractFin", "zIsExtractOpened"};

    void assign(std::span<void* const, kNames.size()> addresses);
    void clear();
    bool complete() const;

    // The loaded module; set by bind_extract, closed by unbind_extract.
    void* module = nullptr;
};

}  // namespace velmora
