#include "scripted_recorder.h"

#include <atomic>
#include <thread>

#include "fennick/fennick.h"

namespace engine_net {
namespace {

namespace rec = fleet::recorder;

std::atomic<ScriptedRecorder*> g_recorder{nullptr};

int32_t recorder_proc(int32_t side, int32_t link, const void* data, int32_t length, int32_t event) {
    ScriptedRecorder* recorder = g_recorder.load();
    if (recorder != nullptr) recorder->deliver(side, link, data, length, event);
    return 0;
}

}  // namespace

ScriptedRecorder::ScriptedRecorder() {
    g_recorder = this;
}

ScriptedRecorder::~ScriptedRecorder() {
    // Only links still open: a closed one's id may name an engine link by now.
    std::vector<int32_t> open_accepted;
    std::set<int32_t> dialed;
    int32_t listener = -1;
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (const auto& [link, opens] : opens_) {
            if (closes_[link] < opens && dialed_.count(link) == 0) open_accepted.push_back(link);
        }
        dialed = dialed_;
        listener = listener_;
        handler_ = nullptr;
    }
    if (listener >= 0) zUninitTcp_S(listener);
    for (int32_t link : open_accepted) zUninitTcp_S(link);
    for (int32_t link : dialed) zUninitTcp_C(link);
    g_recorder = nullptr;
}

bool ScriptedRecorder::listen(int32_t port) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (listener_ >= 0) return true;
    }
    const int32_t listener = zInitTcp_S(port, &recorder_proc);
    std::lock_guard<std::mutex> guard(lock_);
    listener_ = listener;
    return listener >= 0;
}

int32_t ScriptedRecorder::dial(int32_t port) {
    const int32_t link = zInitTcp_C("127.0.0.1", port, &recorder_proc, nullptr);
    if (link >= 0) {
        std::lock_guard<std::mutex> guard(lock_);
        dialed_.insert(link);
        ++opens_[link];
    }
    return link;
}

bool ScriptedRecorder::wait_listener_gone(int32_t port, Millis limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const int32_t link = dial(port);
        if (link < 0) return true;
        close(link);
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(Millis(20));
    }
}

bool ScriptedRecorder::send(int32_t link, const std::vector<uint8_t>& message) {
    bool dialed = false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        dialed = dialed_.count(link) != 0;
    }
    const auto length = static_cast<int32_t>(message.size());
    const int32_t sent = dialed ? zSend_C(link, message.data(), length, nullptr)
                                : zSend_S(link, message.data(), length, nullptr);
    return sent >= 0;
}

void ScriptedRecorder::close(int32_t link) {
    bool dialed = false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        dialed = dialed_.erase(link) != 0;
        ++closes_[link];
    }
    if (dialed) {
        zUninitTcp_C(link);
    } else {
        zUninitTcp_S(link);
    }
}

std::optional<int32_t> ScriptedRecorder::wait_link(size_t from, Millis limit) {
    std::unique_lock<std::mutex> guard(lock_);
    if (!changed_.wait_for(guard, limit, [&] { return accepted_.size() > from; })) {
        return std::nullopt;
    }
    return accepted_[from];
}

size_t ScriptedRecorder::links_made() {
    std::lock_guard<std::mutex> guard(lock_);
    return accepted_.size();
}

bool ScriptedRecorder::wait_closed(int32_t link, Millis limit) {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, limit, [&] { return closes_[link] >= opens_[link]; });
}

bool ScriptedRecorder::is_closed(int32_t link) {
    std::lock_guard<std::mutex> guard(lock_);
    return closes_[link] >= opens_[link];
}

bool ScriptedRecorder::wait_closes(int32_t link, size_t count, Millis limit) {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, limit, [&] { return closes_[link] >= count; });
}

size_t ScriptedRecorder::received_count() {
    std::lock_guard<std::mutex> guard(lock_);
    return received_.size();
}

std::optional<Received> ScriptedRecorder::wait_request(size_t from, rec::Request::Kind kind,
                                                       Millis limit) {
    std::unique_lock<std::mutex> guard(lock_);
    std::optional<Received> found;
    changed_.wait_for(guard, limit, [&] {
        for (size_t i = from; i < received_.size(); ++i) {
            if (received_[i].request && received_[i].request->kind == kind) {
                found = received_[i];
                return true;
            }
        }
        return false;
    });
    return found;
}

size_t ScriptedRecorder::wait_requests(size_t from, rec::Request::Kind kind, size_t count,
                                       Millis limit) {
    std::unique_lock<std::mutex> guard(lock_);
    size_t seen = 0;
    changed_.wait_for(guard, limit, [&] {
        seen = 0;
        for (size_t i = from; i < received_.size(); ++i) {
            if (received_[i].request && received_[i].request->kind == kind) ++seen;
        }
        return seen >= count;
    });
    return seen;
}

std::vector<Received> ScriptedRecorder::received_since(size_t from) {
    std::lock_guard<std::mutex> guard(lock_);
    if (from >= received_.size()) return {};
    return {received_.begin() + static_cast<std::ptrdiff_t>(from), received_.end()};
}

void ScriptedRecorder::on_message(std::function<void(const Received&)> handler) {
    std::lock_guard<std::mutex> guard(lock_);
    handler_ = std::move(handler);
}

void ScriptedRecorder::deliver(int32_t, int32_t link, const void* data, int32_t length,
                               int32_t event) {
    std::function<void(const Received&)> handler;
    Received received;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (event == FENNICK_ACCEPTED) {
            accepted_.push_back(link);
            ++opens_[link];
        } else if (event == FENNICK_CLOSED || event == FENNICK_DROPPED) {
            ++closes_[link];
            dialed_.erase(link);
        } else if (event == FENNICK_MESSAGE && data != nullptr && length >= 0) {
            const auto* bytes = static_cast<const uint8_t*>(data);
            received.link = link;
            received.bytes.assign(bytes, bytes + length);
            if (auto message = rec::parse_message(received.bytes)) {
                received.header = message->header;
                received.request = rec::parse_request(*message);
            }
            received_.push_back(received);
            handler = handler_;
        }
        // Under the lock: a link's close callback may be the last thing before the recorder
        // goes, and it no longer waits for this callback once the link is gone from dialed_.
        changed_.notify_all();
    }
    if (handler && received.link >= 0) handler(received);
}

}  // namespace engine_net
