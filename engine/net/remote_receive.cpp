// The remote link's side of the transport: index and download answers, on Fennick's io
// thread.
#include <algorithm>

#include "common/le.h"
#include "format/gop_header.h"
#include "net/received_gop.h"
#include "net/remote_link.h"

namespace kivra::net {
namespace {

namespace rec = fleet::recorder;

int32_t progress_of(uint32_t remaining_percent) {
    return static_cast<int32_t>(100 - std::min<uint32_t>(remaining_percent, 100));
}

}  // namespace

void RemoteLink::on_accepted(int32_t link) {
    bool keep = false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        keep = awaiting_hello_ && gate_.accepted(link);
    }
    if (!keep) close_accepted(link);
}

void RemoteLink::on_closed(int32_t link, int32_t /*reason*/) {
    Detached detached;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (link < 0 || (link != ends_.link && link != ends_.listener)) {
            gate_.closed(link);
            return;
        }
        detached = detach_locked();
    }
    if (detached.ends.link == link) detached.ends.link = -1;
    if (detached.ends.listener == link) detached.ends.listener = -1;
    release(detached);
    files_.finish();  // what arrived stays a pair that opens
    report(KIVRA_LINK_CLOSED, 0);
}

void RemoteLink::on_message(int32_t side, int32_t link, std::span<const uint8_t> bytes) {
    bool waiting = false, ours = false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        waiting = awaiting_hello_;
        ours = link == ends_.link;
    }
    if (waiting && side == 0) {
        const auto message = rec::parse_message(bytes);
        if (message && message->header.command == rec::kCmdHello) on_hello(link);
        return;
    }
    if (!ours) return;
    const auto message = rec::parse_message(bytes);
    if (!message) {
        report(KIVRA_LINK_MALFORMED, 0);
        return;
    }
    switch (message->header.command) {
        case rec::kCmdReply: {
            const auto reply = rec::parse_reply(*message);
            if (reply) {
                on_reply(*reply);
            } else {
                report(KIVRA_LINK_MALFORMED, 0);
            }
            break;
        }
        case rec::kCmdIndex:
            if (message->header.sub_code == rec::kSubIndexHeader) on_index_header(*message);
            if (message->header.sub_code == rec::kSubIndexUnits) on_index_units(*message);
            break;
        case rec::kCmdVideo:
            on_video(*message);
            break;
        default:
            break;
    }
}

void RemoteLink::on_hello(int32_t link) {
    std::vector<int32_t> to_close;
    bool chosen = false;
    Pending pending = Pending::None;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!awaiting_hello_) return;
        chosen = gate_.hello(link, to_close);
        if (chosen) {
            ends_.link = link;
            awaiting_hello_ = false;
            pending = pending_;
            timer_.disarm();
        } else {
            to_close.push_back(link);
        }
    }
    for (int32_t other : to_close) close_accepted(other);
    if (!chosen || send_pending(nullptr)) return;
    if (pending == Pending::Data) {
        fail_request(KIVRA_LINK_DATA_REQUEST_FAILED, false);
    } else {
        fail_request(KIVRA_LINK_REQUEST_REFUSED, false);
    }
}

void RemoteLink::on_reply(const rec::Reply& reply) {
    if (reply.status == rec::kStatusAccepted) return;
    if (reply.sub == rec::kSubIndexHeader || reply.sub == rec::kSubIndexUnits) {
        fail_request(KIVRA_LINK_REQUEST_REFUSED, false);
    } else if (reply.sub == rec::kSubData) {
        fail_request(KIVRA_LINK_DOWNLOAD_REFUSED, false);
    }
}

// The header names the units the recorder holds; they are asked for at once on the same
// link. A recorder with no index ends the listing.
void RemoteLink::on_index_header(const rec::Message& message) {
    const auto reply = rec::parse_index_header_reply(message);
    if (!reply) {
        report(KIVRA_LINK_MALFORMED, 0);
        return;
    }
    LinkEnds ends;
    uint32_t first = 0, count = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (pending_ != Pending::Index) return;
        if (reply->index_follows) {
            index_.set_header(reply->header);
            first = index_.header().first;
            count = index_.units_to_request();
        }
        ends = ends_;
    }
    if (count == 0) {
        close_link();
        report(KIVRA_LINK_INDEX_DONE, 0);
        return;
    }
    const auto request = rec::encode_index_unit_request(
        ends.mode == kModeRelayed ? rec::kCmdHello : rec::kCmdIndex, first, count);
    if (!send_on(ends, request)) fail_request(KIVRA_LINK_REQUEST_REFUSED, false);
}

// The units complete the index: the link closes and the host hears every unit in turn.
void RemoteLink::on_index_units(const rec::Message& message) {
    const auto units = rec::parse_index_units(message);
    if (!units) {
        report(KIVRA_LINK_MALFORMED, 0);
        return;
    }
    std::vector<std::array<uint8_t, 16>> rows;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (pending_ != Pending::Index || !index_.has_header()) return;
        const int before = index_.rows();
        index_.append_units(*units);
        for (int row = before + 1; row <= index_.rows(); ++row) {
            rows.push_back(index_.row_bytes(row));
        }
    }
    close_link();
    for (auto& unit : rows) {
        report(KIVRA_LINK_INDEX_UNIT, 0, reinterpret_cast<intptr_t>(unit.data()));
    }
    report(KIVRA_LINK_INDEX_DONE, 0);
}

void RemoteLink::on_video(const rec::Message& message) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (pending_ != Pending::Data) return;
    }
    const auto video = rec::parse_video(message);
    if (!video) {
        report(KIVRA_LINK_MALFORMED, 0);
        return;
    }
    if (video->gop.empty()) {  // the end of the transfer
        close_link();
        const auto finished = files_.finish();
        if (finished == DownloadFiles::Finish::Completed) report(KIVRA_LINK_DOWNLOAD_DONE, 0);
        if (finished == DownloadFiles::Finish::WriteFailed) {
            report(KIVRA_LINK_DOWNLOAD_REFUSED, 0);
        }
        return;
    }
    if (!is_whole_gop(video->gop)) {
        report(KIVRA_LINK_MALFORMED, 0);
        return;
    }
    const auto appended = files_.append(video->gop);
    if (appended == DownloadFiles::Append::NotOpen) return;  // stopped meanwhile
    if (appended == DownloadFiles::Append::WriteFailed) {
        fail_request(KIVRA_LINK_DOWNLOAD_REFUSED, true);
        return;
    }
    report(KIVRA_LINK_DOWNLOAD_PROGRESS, progress_of(video->remaining_percent));
}

}  // namespace kivra::net
