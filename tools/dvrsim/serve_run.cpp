#include "dvrsim/serve_run.h"

#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <memory>
#include <thread>

#include "dvrsim/recorder_server.h"
#include "dvrsim/served_recording.h"

namespace dvrsim {

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "dvrsim: %s\n", message.c_str());
    return 1;
}

fleet::Result<std::unique_ptr<ServedRecording>> open_recording(const ServeOptions& options) {
    if (!options.pair_base.empty()) {
        return ServedRecording::open_pair(options.pair_base, options.first_unit);
    }
    return ServedRecording::open_device(options.device_path, options.first_unit);
}

// SIGINT and SIGTERM are taken by one thread that asks the server to stop; every other thread
// (the transport's and the sessions' too) starts with them blocked.
class StopSignals {
  public:
    explicit StopSignals(RecorderServer& server) {
        sigemptyset(&set_);
        sigaddset(&set_, SIGINT);
        sigaddset(&set_, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &set_, nullptr);
        waiter_ = std::thread([this, &server] {
            int signal = 0;
            sigwait(&set_, &signal);
            server.request_stop();
        });
    }
    ~StopSignals() {
        pthread_kill(waiter_.native_handle(), SIGTERM);  // wakes the waiter if no signal came
        waiter_.join();
    }

  private:
    sigset_t set_;
    std::thread waiter_;
};

void announce(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

}  // namespace

int run_serve(const ServeOptions& options) {
    auto recording = open_recording(options);
    if (!recording) return fail(recording.error().message);
    ServeCounters counters;
    const ServeContext context{**recording, options, counters};
    RecorderServer server(context);
    StopSignals signals(server);
    if (options.dial) {
        if (auto dialled = server.dial(options.dial_host, options.dial_port); !dialled) {
            return fail(dialled.error().message);
        }
        announce("dialled " + options.dial_host + ":" + std::to_string(options.dial_port));
    } else {
        auto port = server.listen(options.listen_port);
        if (!port) return fail(port.error().message);
        announce("serving on " + std::to_string(*port));
    }
    server.run();
    server.shut_down();
    return 0;
}

}  // namespace dvrsim
