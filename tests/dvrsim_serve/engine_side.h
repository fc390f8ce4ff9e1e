// The engine's side of a served recorder's links, for tests: Fennick client links to the
// recorder, or a listener it dials, with every message received kept in order per link. The
// waits have generous limits only so that a broken recorder fails a test instead of hanging it.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/recorder_messages.h"

namespace fleet::test {

inline constexpr auto kGuard = std::chrono::seconds(30);

// One message as received: its header and a copy of its payload.
struct Received {
    LinkHeader header;
    std::vector<uint8_t> payload;
    recorder::Message message() const { return {header, payload}; }
};

class EngineLink {
  public:
    // Connects to the recorder at 127.0.0.1:port; check connected().
    explicit EngineLink(int port = 2200);
    ~EngineLink();  // closes the link
    EngineLink(const EngineLink&) = delete;
    EngineLink& operator=(const EngineLink&) = delete;

    bool connected() const { return link_ >= 0; }
    bool send(const std::vector<uint8_t>& message);
    // The next message; nullopt when the link has closed and all were taken, or none came.
    std::optional<Received> next(std::chrono::seconds limit = kGuard);
    // Whether the recorder closed the link (after everything it sent before was taken).
    bool closed_by_recorder(std::chrono::seconds limit = kGuard);
    // The next message that arrives on any link is held that long before it is taken: the
    // transport then reads nothing, as with an engine that falls behind.
    static void stall_next_delivery(std::chrono::milliseconds stall);

  private:
    friend class EngineListener;
    EngineLink(int32_t side, int32_t link) : side_(side), link_(link) {}
    int32_t side_ = 1;
    int32_t link_ = -1;
};

// The engine listening for a recorder that dials it.
class EngineListener {
  public:
    explicit EngineListener(int port = 2201);
    ~EngineListener();
    bool listening() const { return handle_ >= 0; }
    // The first link the recorder makes; nullptr when none comes.
    std::unique_ptr<EngineLink> accept(std::chrono::seconds limit = kGuard);

  private:
    int32_t handle_ = -1;
};

}  // namespace fleet::test
