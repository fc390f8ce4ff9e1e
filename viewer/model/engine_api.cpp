#include "model/engine_api.h"

#include <type_traits>

namespace velmora {

namespace {

// Casting a looked-up address to a function pointer is what the platform loader guarantees;
// the member list below fixes which type each address gets.
template <class Api, auto... Members>
struct EntryList {
    static constexpr size_t size = sizeof...(Members);

    static void assign(Api& api, std::span<void* const> addresses) {
        size_t i = 0;
        ((api.*Members =
              reinterpret_cast<std::remove_reference_t<decltype(api.*Members)>>(addresses[i++])),
         ...);
    }
    static void clear(Api& api) { ((api.*Members = nullptr), ...); }
    static bool complete(const Api& api) { return ((api.*Members != nullptr) && ...); }
};

using EngineEntries =
    EntryList<EngineApi, &EngineApi::KivraInfo, &EngineApi::zInit, &EngineApi::zRelease,
              &EngineApi::zOpen, &EngineApi::zOpenEx, &EngineApi::zOpenRx, &EngineApi::zDownload,
              &EngineApi::zStopDownload, &EngineApi::zTellOpenedType, &EngineApi::zTellStatusType,
              &EngineApi::zPlayMSG, &EngineApi::zTellScreenNum, &EngineApi::zTellSampleRate,
              &EngineApi::zTellSampleBits, &EngineApi::zTellFullScreenIdx,
              &EngineApi::zSetFullScreen, &EngineApi::zTellDivStatus, &EngineApi::zSetDivStatus,
              &EngineApi::zTellCarId, &EngineApi::zOpenVoice, &EngineApi::zCloseVoice,
              &EngineApi::zSetVoiceVolume, &EngineApi::zTellVoiceVolume, &EngineApi::zTellp,
              &EngineApi::zTellTotalLen, &EngineApi::zTellBegTime, &EngineApi::zTellEndTime,
              &EngineApi::zStartExtract, &EngineApi::zStopExtract, &EngineApi::zTellTimeInxHd,
              &EngineApi::zTellTimeInxUnit, &EngineApi::zTellEvtInxHd, &EngineApi::zTellEvtInxUnit,
              &EngineApi::zTellQuickInxHd, &EngineApi::zTellQuickInxUnit, &EngineApi::zSetRecord>;

using ExtractEntries =
    EntryList<ExtractApi, &ExtractApi::zExtractInfo, &ExtractApi::zExtractPre,
              &ExtractApi::zExtractWrite, &ExtractApi::zExtractFin, &ExtractApi::zIsExtractOpened>;

static_assert(EngineEntries::size == EngineApi::kNames.size());
static_assert(ExtractEntries::size == ExtractApi::kNames.size());

}  // namespace

void EngineApi::assign(std::span<void* const, kNames.size()> addresses) {
    EngineEntries::assign(*this, addresses);
}
void EngineApi::clear() {
    EngineEntries::clear(*this);
}
bool EngineApi::complete() const {
    return EngineEntries::complete(*this);
}

void ExtractApi::assign(std::span<void* const, kNames.size()> addresses) {
    ExtractEntries::assign(*this, addresses);
}
void ExtractApi::clear() {
    ExtractEntries::clear(*this);
}
bool ExtractApi::complete() const {
    return ExtractEntries::complete(*this);
}

}  // namespace velmora
