#include "dvrsim/link_session.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "fennick/fennick.h"

namespace dvrsim {

namespace rm = fleet::recorder;

namespace {

constexpr uint32_t kKeyGopFlags = 2;  // frame flags bits 0-1: the GOP starts with a key frame
constexpr size_t kMostUnitRecords = (FENNICK_MAX_PAYLOAD - 16) / 16;  // one index unit reply
constexpr auto kFirstFullWait = std::chrono::milliseconds(1);
constexpr auto kLongestFullWait = std::chrono::milliseconds(32);

int32_t transport_send(int32_t side, int32_t link, const std::vector<uint8_t>& message,
                       int32_t* error) {
    const auto length = static_cast<int32_t>(message.size());
    return side == 0 ? zSend_S(link, message.data(), length, error)
                     : zSend_C(link, message.data(), length, error);
}

void transport_close(int32_t side, int32_t link) {
    if (side == 0)
        zUninitTcp_S(link);
    else
        zUninitTcp_C(link);
}

uint32_t refusal_status(LiveRefusal refusal) {
    return refusal == LiveRefusal::Denied ? rm::kStatusDenied : rm::kStatusBusy;
}

}  // namespace

LinkSession::LinkSession(const ServeContext& context, int32_t side, int32_t link, bool greet,
                         std::function<void()> on_end)
    : context_(context),
      side_(side),
      link_(link),
      greet_(greet),
      on_end_(std::move(on_end)),
      worker_([this] { run(); }) {}

LinkSession::~LinkSession() {
    stop();
    if (worker_.joinable()) worker_.join();
}

bool LinkSession::open() const {
    std::lock_guard lock(send_mutex_);
    return link_open_;
}

void LinkSession::receive(std::span<const uint8_t> bytes) {
    const auto message = rm::parse_message(bytes);
    if (!message) return;
    const auto request = rm::parse_request(*message);
    if (!request) return;  // not a request a recorder answers
    std::lock_guard lock(mutex_);
    requests_.push_back(*request);
    wake_.notify_all();
}

void LinkSession::closed_by_peer() {
    {
        std::lock_guard lock(send_mutex_);  // waits out a send in flight
        link_open_ = false;
    }
    stop();
}

void LinkSession::shut_down() {
    stop();
    if (worker_.joinable()) worker_.join();
    close_link();
}

void LinkSession::stop() {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    wake_.notify_all();
}

void LinkSession::close_link() {
    {
        std::lock_guard lock(send_mutex_);
        if (!link_open_) return;
        link_open_ = false;
    }
    // Outside the lock: closing waits for a callback of this link that is running, and that
    // callback may be taking the lock.
    transport_close(side_, link_);
}

void LinkSession::run() {
    bool serving = !greet_ || send(rm::encode_hello());
    rm::Request request;
    while (serving) {
        switch (wait_next(request)) {
            case Next::Stop:
                serving = false;
                break;
            case Next::Request:
                handle(request);
                break;
            case Next::Stream:
                if (download_)
                    step_download();
                else
                    step_live();
                break;
        }
    }
    ended_ = true;
    if (on_end_) on_end_();
}

LinkSession::Next LinkSession::wait_next(rm::Request& request) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (stopping_) return Next::Stop;
        if (!requests_.empty()) {
            request = requests_.front();
            requests_.pop_front();
            return Next::Request;
        }
        if (download_ || (live_next_ && Clock::now() >= live_due_)) return Next::Stream;
        if (live_next_)
            wake_.wait_until(lock, live_due_);
        else
            wake_.wait(lock);
    }
}

void LinkSession::handle(const rm::Request& request) {
    using Kind = rm::Request::Kind;
    switch (request.kind) {
        case Kind::IndexHeader:
            send(rm::encode_index_header_reply(true, context_.recording.index().header().encode()));
            break;
        case Kind::IndexUnits:
            answer_index_units(request);
            break;
        case Kind::Data:
            start_download(request);
            break;
        case Kind::LiveStart:
            start_live(request);
            break;
        case Kind::LiveStop:
            download_.reset();
            live_.reset();
            live_next_.reset();
            send_reply(request.sub, rm::kStatusAccepted);
            break;
        case Kind::More:
            ++context_.counters.more;
            break;
        case Kind::Slower:
            ++context_.counters.slower;
            break;
    }
}

void LinkSession::answer_index_units(const rm::Request& request) {
    const auto records = context_.recording.index().records(request.first_unit, request.unit_count,
                                                            kMostUnitRecords);
    if (!records) {
        send_reply(request.sub, rm::kStatusBusy);
        return;
    }
    send(rm::encode_index_units(*records));
}

void LinkSession::start_download(const rm::Request& request) {
    const auto range = context_.recording.index().data_range(request.first_unit, request.unit_span);
    if (!range) {
        send_reply(request.sub, rm::kStatusBusy);
        return;
    }
    if (!send_reply(request.sub, rm::kStatusAccepted)) return;
    live_.reset();
    live_next_.reset();
    download_.emplace(context_.recording.cursor(*range));
}

void LinkSession::start_live(const rm::Request& request) {
    if (context_.options.refusal != LiveRefusal::None) {
        send_reply(request.sub, refusal_status(context_.options.refusal));
        return;
    }
    if (!send_reply(request.sub, rm::kStatusAccepted)) return;
    download_.reset();
    live_.emplace(context_.recording.cursor(context_.recording.whole()));
    std::chrono::duration<double> gap{};
    live_next_ = live_->next(gap);
    live_due_ = Clock::now();
}

void LinkSession::step_download() {
    auto gop = download_->next();
    if (!gop) {
        download_.reset();
        send(rm::encode_video(0, 0, {}));  // the end of the download
        return;
    }
    if (send(rm::encode_video(kKeyGopFlags, gop->remaining_percent, gop->bytes))) sent_gop();
}

void LinkSession::step_live() {
    if (!send(rm::encode_video(kKeyGopFlags, 0, live_next_->bytes))) return;
    std::chrono::duration<double> gap{};
    live_next_ = live_->next(gap);
    live_due_ += std::chrono::duration_cast<Clock::duration>(gap / context_.options.pace);
    sent_gop();
}

void LinkSession::sent_gop() {
    ++gops_sent_;
    ++context_.counters.sent;
    if (context_.options.cut_after > 0 && gops_sent_ >= context_.options.cut_after) {
        close_link();
        stop();
    }
}

bool LinkSession::send(const std::vector<uint8_t>& message) {
    auto wait = kFirstFullWait;
    for (;;) {
        int32_t error = 0;
        {
            std::lock_guard lock(send_mutex_);
            if (!link_open_) return false;
            if (transport_send(side_, link_, message, &error) >= 0) return true;
        }
        if (error != ENOBUFS) {
            stop();
            return false;
        }
        // The link's queue is full: the engine reads slower than this sends. Wait for it to
        // drain; a stop ends the wait.
        if (!told_full_) {
            told_full_ = true;
            std::fprintf(stderr, "dvrsim: link %d reads slower than sent; waiting for it\n",
                         static_cast<int>(link_));
        }
        std::unique_lock lock(mutex_);
        if (wake_.wait_for(lock, wait, [this] { return stopping_; })) return false;
        wait = std::min(wait * 2, kLongestFullWait);
    }
}

bool LinkSession::send_reply(uint16_t sub, uint32_t status) {
    return send(rm::encode_reply(sub, status));
}

}  // namespace dvrsim
