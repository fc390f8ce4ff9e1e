#include "engine_side.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "fennick/fennick.h"

namespace fleet::test {

namespace {

struct Inbox {
    std::deque<Received> messages;
    bool closed = false;
};

// What every link of the test process received: Fennick's callback has no context of its own.
struct Mailroom {
    std::mutex mutex;
    std::condition_variable arrived;
    std::map<int32_t, Inbox> inboxes;
    std::deque<int32_t> accepted;
    std::chrono::milliseconds stall{0};
};

Mailroom& mailroom() {
    static Mailroom room;
    return room;
}

int32_t deliver(int32_t /*side*/, int32_t link, const void* data, int32_t length, int32_t event) {
    Mailroom& room = mailroom();
    std::unique_lock lock(room.mutex);
    if (event == FENNICK_MESSAGE && room.stall.count() > 0) {
        const auto stall = std::exchange(room.stall, std::chrono::milliseconds(0));
        lock.unlock();
        std::this_thread::sleep_for(stall);
        lock.lock();
    }
    if (event == FENNICK_MESSAGE) {
        const auto bytes =
            std::span(static_cast<const uint8_t*>(data), static_cast<size_t>(length));
        if (const auto message = recorder::parse_message(bytes)) {
            room.inboxes[link].messages.push_back(
                {message->header, {message->payload.begin(), message->payload.end()}});
        }
    } else if (event == FENNICK_CLOSED || event == FENNICK_DROPPED) {
        room.inboxes[link].closed = true;
    } else if (event == FENNICK_ACCEPTED) {
        room.inboxes[link];
        room.accepted.push_back(link);
    }
    room.arrived.notify_all();
    return 0;
}

}  // namespace

EngineLink::EngineLink(int port) {
    link_ = zInitTcp_C("127.0.0.1", port, deliver, nullptr);
}

EngineLink::~EngineLink() {
    if (link_ < 0) return;
    bool closed = false;
    {
        std::lock_guard lock(mailroom().mutex);
        closed = mailroom().inboxes[link_].closed;
    }
    // A link the recorder closed is gone: its number may belong to another link by now.
    if (!closed && side_ == 1) zUninitTcp_C(link_);
    if (!closed && side_ == 0) zUninitTcp_S(link_);
    std::lock_guard lock(mailroom().mutex);
    mailroom().inboxes.erase(link_);
}

bool EngineLink::send(const std::vector<uint8_t>& message) {
    const auto length = static_cast<int32_t>(message.size());
    const int32_t sent = side_ == 1 ? zSend_C(link_, message.data(), length, nullptr)
                                    : zSend_S(link_, message.data(), length, nullptr);
    return sent == length;
}

std::optional<Received> EngineLink::next(std::chrono::seconds limit) {
    Mailroom& room = mailroom();
    std::unique_lock lock(room.mutex);
    Inbox& inbox = room.inboxes[link_];
    room.arrived.wait_for(lock, limit, [&] { return !inbox.messages.empty() || inbox.closed; });
    if (inbox.messages.empty()) return std::nullopt;
    Received received = std::move(inbox.messages.front());
    inbox.messages.pop_front();
    return received;
}

bool EngineLink::closed_by_recorder(std::chrono::seconds limit) {
    Mailroom& room = mailroom();
    std::unique_lock lock(room.mutex);
    Inbox& inbox = room.inboxes[link_];
    return room.arrived.wait_for(lock, limit,
                                 [&] { return inbox.messages.empty() && inbox.closed; });
}

void EngineLink::stall_next_delivery(std::chrono::milliseconds stall) {
    std::lock_guard lock(mailroom().mutex);
    mailroom().stall = stall;
}

EngineListener::EngineListener(int port) {
    handle_ = zInitTcp_S(port, deliver);
}

EngineListener::~EngineListener() {
    if (handle_ >= 0) zUninitTcp_S(handle_);
}

std::unique_ptr<EngineLink> EngineListener::accept(std::chrono::seconds limit) {
    Mailroom& room = mailroom();
    std::unique_lock lock(room.mutex);
    if (!room.arrived.wait_for(lock, limit, [&] { return !room.accepted.empty(); })) return nullptr;
    const int32_t link = room.accepted.front();
    room.accepted.pop_front();
    return std::unique_ptr<EngineLink>(new EngineLink(0, link));
}

}  // namespace fleet::test
