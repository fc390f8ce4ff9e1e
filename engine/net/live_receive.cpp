// The realtime link's side of the transport: what the recorder sends, on Fennick's io thread.
#include <cstring>

#include "common/le.h"
#include "format/gop_header.h"
#include "net/live_link.h"
#include "net/received_gop.h"

namespace kivra::net {
namespace {

namespace rec = fleet::recorder;

}  // namespace

void LiveLink::on_accepted(int32_t link) {
    bool keep = false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        keep = awaiting_hello_ && gate_.accepted(link);
    }
    if (!keep) close_accepted(link);
}

void LiveLink::on_closed(int32_t link, int32_t reason) {
    Detached detached;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (link < 0 || (link != ends_.link && link != ends_.listener)) {
            gate_.closed(link);
            return;
        }
        detached = detach_locked();
    }
    // The transport has closed this one already; what is left is the listener it came from.
    if (detached.ends.link == link) detached.ends.link = -1;
    if (detached.ends.listener == link) detached.ends.listener = -1;
    release(detached);
    report(KIVRA_LINK_CLOSED, reason);
}

void LiveLink::on_message(int32_t side, int32_t link, std::span<const uint8_t> bytes) {
    bool waiting = false, ours = false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        waiting = awaiting_hello_;
        ours = link == ends_.link && running_;
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
    if (message->header.command == rec::kCmdReply) {
        const auto reply = rec::parse_reply(*message);
        if (reply) {
            on_reply(*reply);
        } else {
            report(KIVRA_LINK_MALFORMED, 0);
        }
    } else if (message->header.command == rec::kCmdVideo) {
        on_video(*message);
    }
}

// The first hello makes its link the link and the start request goes out on it; any other
// link accepted meanwhile is closed.
void LiveLink::on_hello(int32_t link) {
    std::vector<int32_t> to_close;
    bool chosen = false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!awaiting_hello_) return;
        chosen = gate_.hello(link, to_close);
        if (chosen) {
            ends_.link = link;
            awaiting_hello_ = false;
            timer_.disarm();
        } else {
            to_close.push_back(link);
        }
    }
    for (int32_t other : to_close) close_accepted(other);
    if (!chosen) return;
    int32_t error = 0;
    if (!send_start(rec::kCmdLive, &error)) {
        close_link();
        report_connect_failure(reports_, KIVRA_LINK_REALTIME, error, 0);
    }
}

void LiveLink::on_reply(const rec::Reply& reply) {
    if (reply.sub == rec::kSubStart) {
        if (reply.status == rec::kStatusAccepted) report(KIVRA_LINK_START_ACCEPTED, 0);
        if (reply.status == rec::kStatusBusy) report(KIVRA_LINK_START_REFUSED, 1);
        if (reply.status == rec::kStatusDenied) report(KIVRA_LINK_START_DENIED, 0);
    } else if (reply.sub == rec::kSubStop) {
        if (reply.status == rec::kStatusAccepted) {
            {
                std::lock_guard<std::mutex> guard(lock_);
                if (stop_waiting_) stop_acked_ = true;
            }
            stop_answered_.notify_all();
            report(KIVRA_LINK_STOP_ACCEPTED, 0);
        }
        if (reply.status == rec::kStatusBusy) report(KIVRA_LINK_STOP_REFUSED, 2);
    }
}

void LiveLink::on_video(const rec::Message& message) {
    const auto video = rec::parse_video(message);
    if (!video || !is_whole_gop(video->gop)) {
        report(KIVRA_LINK_MALFORMED, 0);
        return;
    }
    const ReceiveSteps steps = queue_.push(video->gop);
    if (steps.prebuffer_percent) report(KIVRA_LINK_PREBUFFERING, *steps.prebuffer_percent);
    if (steps.ask_more) send_control(rec::kSubMore);
    if (steps.ask_slower) send_control(rec::kSubSlower);
}

}  // namespace kivra::net
