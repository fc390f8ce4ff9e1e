#include "net/live_link.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace kivra::net {
namespace {

constexpr std::chrono::milliseconds kStopAnswerLimit{3000};

template <size_t N>
std::array<uint8_t, N> copy_block(const void* source) {
    std::array<uint8_t, N> block{};
    if (source != nullptr) std::memcpy(block.data(), source, N);
    return block;
}

}  // namespace

LiveLink::LiveLink(LinkReports& reports) : reports_(reports) {
    bind_transport(TransportSlot::Realtime, this);
}

LiveLink::~LiveLink() {
    reports_.close();
    close_link();
    timer_.stop();
    if (connect_thread_.joinable()) connect_thread_.join();
    bind_transport(TransportSlot::Realtime, nullptr);
}

bool LiveLink::open(const LiveParams& params, int32_t connect_mode, int32_t fallback_to_nat,
                    const void* address6, const void* recorder_name32, KivraConnector connector) {
    const auto settings = read_live_params(params);
    if (!settings || busy_.exchange(true)) return false;
    if (!join_connect_thread()) {
        busy_ = false;
        return false;
    }
    close_link();
    reports_.open();
    uint64_t generation = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        settings_ = settings;
        plan_.address = settings->address;
        plan_.address6 = copy_block<6>(address6);
        plan_.name32 = copy_block<32>(recorder_name32);
        plan_.connector = connector;
        plan_.params = params;
        plan_.purpose = KIVRA_LISTEN_REALTIME;
        plan_.proc = transport_proc(TransportSlot::Realtime);
        opened_mode_ = connect_mode;
        fallback_mode_ = fallback_to_nat == 0 ? kModeListen : kModeRelayed;
        generation = ++generation_;
        channel_count_ = settings->channel_count;
    }
    try {
        connect_thread_ = std::thread([this, generation] { connect_now(generation); });
    } catch (const std::system_error&) {
        std::lock_guard<std::mutex> guard(lock_);
        settings_.reset();
        channel_count_ = -1;
        busy_ = false;
        return false;
    }
    return true;
}

void LiveLink::close() {
    reports_.close();
    stop_stream();
    {
        std::lock_guard<std::mutex> guard(lock_);
        settings_.reset();
        ++generation_;
        channel_count_ = -1;
    }
    timer_.stop();
}

int LiveLink::take(uint8_t* buffer, size_t capacity, size_t& length) {
    if (!running_) return kClosedOrTooLarge;
    const TakeResult result = queue_.take(buffer, capacity, length);
    if (result.ask_more) send_control(fleet::recorder::kSubMore);
    return result.code;
}

bool LiveLink::restart_stream() {
    if (busy_.exchange(true)) return false;
    close_link();
    uint64_t generation = 0;
    bool opened = false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        opened = settings_.has_value();
        generation = generation_;
    }
    if (!opened) {
        busy_ = false;
        return false;
    }
    return connect_now(generation);
}

void LiveLink::stop_stream() {
    LinkEnds ends;
    uint8_t mark = 1;
    bool linked = false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        linked = running_ && ends_.link >= 0 && !awaiting_hello_ && settings_.has_value();
        if (linked) mark = settings_->mark;
        ends = ends_;
        stop_waiting_ = true;
        stop_acked_ = false;
    }
    if (linked &&
        send_on(ends, fleet::recorder::encode_live_control(fleet::recorder::kSubStop, mark))) {
        std::unique_lock<std::mutex> guard(lock_);
        stop_answered_.wait_for(guard, kStopAnswerLimit,
                                [&] { return stop_acked_ || ends_.link != ends.link; });
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        stop_waiting_ = false;
    }
    close_link();
    queue_.clear();
}

// The thread of an earlier open no longer waits for its connect, so this ends at once; a
// host opening again from a report of that thread is refused, as a thread cannot wait for
// itself.
bool LiveLink::join_connect_thread() {
    if (!connect_thread_.joinable()) return true;
    if (connect_thread_.get_id() == std::this_thread::get_id()) return false;
    connect_thread_.join();
    return true;
}

// Connects as the source was opened and takes the link on; false when no link was made.
// Clears the busy flag once the connect returned.
bool LiveLink::connect_now(uint64_t generation) {
    ConnectPlan plan;
    int32_t mode = kModeDirect, fallback = kModeListen;
    {
        std::lock_guard<std::mutex> guard(lock_);
        plan = plan_;
        mode = opened_mode_;
        fallback = fallback_mode_;
    }
    const ConnectResult result = connect_with_fallback(plan, mode, fallback);
    busy_ = false;  // what follows does not wait: a new open may replace this link now
    if (!result.ok()) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (generation != generation_) return false;  // closed meanwhile: nobody waits
        }
        report_connect_failure(reports_, KIVRA_LINK_REALTIME, result.error, result.error2);
        return false;
    }
    return adopt(generation, result);
}

bool LiveLink::adopt(uint64_t generation, const ConnectResult& result) {
    bool stale = false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        stale = generation != generation_ || !settings_;
        if (!stale) {
            ends_ = result.ends;
            gate_.reset();
            awaiting_hello_ = result.ends.server_side();
            running_ = true;
            queue_.restart(settings_->buffering);
        }
    }
    if (stale) {
        close_ends(result.ends);
        return false;
    }
    if (result.listening_here) {
        reports_.link_event(KIVRA_LINK_REALTIME, KIVRA_LINK_LISTENING, kListenPort,
                            KIVRA_LISTEN_REALTIME);
    }
    if (!result.ends.server_side()) {
        const uint8_t command = result.ends.mode == kModeRelayed ? fleet::recorder::kCmdHello
                                                                 : fleet::recorder::kCmdLive;
        int32_t error = 0;
        if (!send_start(command, &error)) {
            close_link();
            report_connect_failure(reports_, KIVRA_LINK_REALTIME, error, 0);
            return false;
        }
    }
    report(KIVRA_LINK_CONNECTED, 0);
    if (result.ends.server_side()) {
        timer_.arm(std::chrono::milliseconds(listen_timeout_ms()),
                   [this, generation] { listen_expired(generation); });
    }
    return true;
}

// No recorder said hello in time: the listener closes and the host hears that the link
// failed.
void LiveLink::listen_expired(uint64_t generation) {
    Detached detached;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (generation != generation_ || !awaiting_hello_) return;
        detached = detach_locked();
    }
    release(detached);
    report_connect_failure(reports_, KIVRA_LINK_REALTIME, ETIMEDOUT, 0);
}

LiveLink::Detached LiveLink::detach_locked() {
    Detached detached{ends_, gate_.take_waiting()};
    ends_ = {};
    gate_.reset();
    awaiting_hello_ = false;
    running_ = false;
    ++generation_;
    timer_.disarm();
    stop_answered_.notify_all();
    return detached;
}

void LiveLink::release(const Detached& detached) {
    close_ends(detached.ends);
    for (int32_t link : detached.waiting) close_accepted(link);
}

void LiveLink::close_link() {
    Detached detached;
    {
        std::lock_guard<std::mutex> guard(lock_);
        detached = detach_locked();
    }
    release(detached);
}

bool LiveLink::send_start(uint8_t command, int32_t* error) {
    LinkEnds ends;
    fleet::recorder::LiveStart start;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!settings_) return false;
        ends = ends_;
        start = live_start_of(*settings_);
    }
    return send_on(ends, fleet::recorder::encode_live_start(start, command), error);
}

void LiveLink::send_control(uint16_t sub) {
    LinkEnds ends;
    uint8_t mark = 1;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!running_ || ends_.link < 0 || awaiting_hello_ || !settings_) return;
        ends = ends_;
        mark = settings_->mark;
    }
    // A refused more or slower changes nothing the recorder would not correct by itself.
    send_on(ends, fleet::recorder::encode_live_control(sub, mark));
}

void LiveLink::report(int32_t code, int32_t value) {
    reports_.link_event(KIVRA_LINK_REALTIME, code, value, 0);
}

}  // namespace kivra::net
