#include "model/recorded_link_reaction.h"

#include "kivra/kivra.h"

namespace velmora {

namespace {

constexpr const char* kLoadingData = "IDS_STRING307";  // "loading data,please wait..."

RecordedLinkReaction cleared(RecordedMessage message) {
    return {true, nullptr, false, message};
}

}  // namespace

RecordedLinkReaction recorded_link_reaction(int code) {
    using M = RecordedMessage;
    switch (code) {
        case KIVRA_LINK_CONNECTED:
            return {false, kLoadingData, false, M::None};
        case KIVRA_LINK_CONNECT_FAILED:
            return cleared(M::LinkFailed);
        case KIVRA_LINK_CLOSED:
            return cleared(M::LinkBroken);
        case KIVRA_LINK_INDEX_UNIT:
            return {false, nullptr, true, M::None};
        case KIVRA_LINK_INDEX_DONE:
            return cleared(M::IndexComplete);
        case KIVRA_LINK_REQUEST_REFUSED:
            return cleared(M::IndexFailed);
        case KIVRA_LINK_DOWNLOAD_PROGRESS:
            return {false, nullptr, false, M::Progress};
        case KIVRA_LINK_DOWNLOAD_DONE:
            return cleared(M::DownloadComplete);
        case KIVRA_LINK_DOWNLOAD_REFUSED:
            return cleared(M::DownloadFailed);
        default:
            return {};
    }
}

}  // namespace velmora
