#include "link_reports.h"

#include <cerrno>
#include <cstring>

#include "kivra/kivra.h"

namespace dvrtool {
namespace {

// The values of connect and close reports are the system's error numbers (0 for a link the
// recorder closed in order).
std::string reason(int32_t value) {
    if (value <= 0) return "";
    return " (" + std::string(std::strerror(value)) + ")";
}

void record_remote(LinkReports& reports, int32_t code, int32_t value, intptr_t extra) {
    switch (code) {
        case KIVRA_LINK_INDEX_UNIT:
            if (extra != 0) {
                reports.units.push_back(
                    fleet::format::IndexUnit::decode(reinterpret_cast<const uint8_t*>(extra)));
            }
            break;
        case KIVRA_LINK_INDEX_DONE:
            reports.index_done = true;
            break;
        case KIVRA_LINK_DOWNLOAD_PROGRESS:
            reports.download_percent = value;
            break;
        case KIVRA_LINK_DOWNLOAD_DONE:
            reports.download_done = true;
            break;
        default:
            break;
    }
}

void record_realtime(LinkReports& reports, int32_t code, int32_t value) {
    if (code != KIVRA_LINK_PREBUFFERING) return;
    reports.prebuffer_percent = value;
    if (value >= 100) ++reports.prebuffer_full;
}

}  // namespace

bool ends_the_work(int32_t link, int32_t code) {
    switch (code) {
        case KIVRA_LINK_CONNECT_FAILED:
        case KIVRA_LINK_CLOSED:
        case KIVRA_LINK_LISTENING:
            return true;
        case KIVRA_LINK_START_REFUSED:
        case KIVRA_LINK_START_DENIED:
            return link == KIVRA_LINK_REALTIME;
        case KIVRA_LINK_REQUEST_REFUSED:
        case KIVRA_LINK_DOWNLOAD_REFUSED:
        case KIVRA_LINK_DATA_REQUEST_FAILED:
            return link == KIVRA_LINK_REMOTE;
        default:
            return false;
    }
}

void record_link_report(LinkReports& reports, int32_t link, int32_t code, int32_t value,
                        intptr_t extra) {
    ++reports.count;
    if (code == KIVRA_LINK_CONNECTED) reports.connected = true;
    if (link == KIVRA_LINK_REMOTE) record_remote(reports, code, value, extra);
    if (link == KIVRA_LINK_REALTIME) record_realtime(reports, code, value);
    if (ends_the_work(link, code) && !reports.trouble) reports.trouble = {link, code, value};
}

std::string link_trouble_text(const LinkTrouble& trouble, const std::string& recorder) {
    const std::string at = " at " + recorder;
    switch (trouble.code) {
        case KIVRA_LINK_CONNECT_FAILED:
            // After a failed direct link the engine tries its fallback and reports that
            // attempt's error; dvrtool gives it no connector, which it reports as ENOTSUP, a
            // reason that says nothing about the recorder.
            return "link failed: cannot reach the recorder" + at +
                   (trouble.value == ENOTSUP ? "" : reason(trouble.value));
        case KIVRA_LINK_LISTENING:
            return "link failed: no recorder answered" + at;
        case KIVRA_LINK_CLOSED:
            return "link broke: the link to the recorder" + at + " was closed" +
                   reason(trouble.value);
        case KIVRA_LINK_START_REFUSED:
            return "the recorder" + at + " refused live video: it is busy";
        case KIVRA_LINK_START_DENIED:
            return "the recorder" + at + " refused live video: access denied";
        case KIVRA_LINK_REQUEST_REFUSED:
            return "the recorder" + at + " refused the index request, or it cannot be sent";
        case KIVRA_LINK_DOWNLOAD_REFUSED:
            return "the recorder" + at + " refused the download, or its files cannot be written";
        case KIVRA_LINK_DATA_REQUEST_FAILED:
            return "the download request cannot be sent to the recorder" + at;
        default:
            return "the link to the recorder" + at + " reported " + std::to_string(trouble.code);
    }
}

}  // namespace dvrtool
