#include "net/link_connect.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "net/link_address.h"

namespace kivra::net {
namespace {

constexpr int kDefaultListenTimeoutMs = 60000;

ConnectResult connect_direct(const ConnectPlan& plan) {
    ConnectResult result;
    result.ends.mode = kModeDirect;
    const auto address = parse_link_address(plan.address);
    if (!address) {
        result.error = EINVAL;
        return result;
    }
    int32_t error = 0;
    result.ends.link = zInitTcp_C(address->host.c_str(), address->port, plan.proc, &error);
    if (result.ends.link < 0) result.error = error != 0 ? error : ECONNREFUSED;
    return result;
}

// The transport closes a listener on its own thread after the close call returned: listening
// again at once (play after a stop, a host trying again) may find the port still taken for a
// moment.
constexpr int kListenAttempts = 50;
constexpr auto kListenRetryPause = std::chrono::milliseconds(20);

ConnectResult listen_for_recorder(const ConnectPlan& plan) {
    ConnectResult result;
    result.ends.mode = kModeListen;
    for (int attempt = 0; attempt < kListenAttempts; ++attempt) {
        errno = 0;
        result.ends.listener = zInitTcp_S(kListenPort, plan.proc);
        if (result.ends.listener >= 0) {
            result.listening_here = true;
            return result;
        }
        result.error = errno != 0 ? errno : EADDRINUSE;
        if (result.error != EADDRINUSE) break;
        std::this_thread::sleep_for(kListenRetryPause);
    }
    return result;
}

ConnectResult connect_through_connector(const ConnectPlan& plan, int32_t mode) {
    ConnectResult result;
    result.ends.mode = mode;
    if (plan.connector == nullptr) {
        result.error = ENOTSUP;
        return result;
    }
    int32_t error = 0, error2 = 0;
    const intptr_t handle =
        plan.connector(plan.address6.data(), plan.name32.data(), plan.purpose,
                       reinterpret_cast<void*>(plan.proc), &mode, &error, &error2, plan.params);
    result.ends.mode = mode;
    if (handle < 0) {
        result.error = error;
        result.error2 = error2;
        return result;
    }
    // A server-side mode hands back the listener the recorder will connect to.
    if (is_server_mode(mode)) {
        result.ends.listener = static_cast<int32_t>(handle);
    } else {
        result.ends.link = static_cast<int32_t>(handle);
    }
    return result;
}

}  // namespace

ConnectResult connect_once(const ConnectPlan& plan, int32_t mode) {
    if (mode == kModeDirect) return connect_direct(plan);
    if (mode == kModeListen) return listen_for_recorder(plan);
    return connect_through_connector(plan, mode);
}

ConnectResult connect_with_fallback(const ConnectPlan& plan, int32_t mode, int32_t fallback_mode) {
    ConnectResult direct = connect_once(plan, mode);
    if (direct.ok() || mode != kModeDirect) return direct;
    // Without a connector there is no second attempt: the host hears why the direct one failed.
    if (fallback_mode != kModeListen && plan.connector == nullptr) return direct;
    return connect_once(plan, fallback_mode);
}

bool send_on(const LinkEnds& ends, const std::vector<uint8_t>& message, int32_t* error) {
    if (ends.link < 0) {
        if (error != nullptr) *error = EBADF;
        return false;
    }
    const auto length = static_cast<int32_t>(message.size());
    const int32_t sent = ends.server_side() ? zSend_S(ends.link, message.data(), length, error)
                                            : zSend_C(ends.link, message.data(), length, error);
    return sent >= 0;
}

void close_ends(const LinkEnds& ends) {
    if (ends.server_side()) {
        if (ends.link >= 0) zUninitTcp_S(ends.link);
        if (ends.listener >= 0) zUninitTcp_S(ends.listener);
    } else if (ends.link >= 0) {
        zUninitTcp_C(ends.link);
    }
}

void close_accepted(int32_t link) {
    if (link >= 0) zUninitTcp_S(link);
}

void report_connect_failure(LinkReports& reports, int32_t link, int32_t error, int32_t error2) {
    reports.link_event(link, KIVRA_LINK_CONNECT_FAILED, error, 0);
    reports.link_error(error2 != 0 ? error2 : KIVRA_ERROR_LINK_CONNECT, error, 0);
}

int listen_timeout_ms() {
    const char* text = std::getenv("KIVRA_LISTEN_TIMEOUT_MS");
    if (text == nullptr || *text == '\0') return kDefaultListenTimeoutMs;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value <= 0 || value > kDefaultListenTimeoutMs * 10) {
        return kDefaultListenTimeoutMs;
    }
    return static_cast<int>(value);
}

}  // namespace kivra::net
