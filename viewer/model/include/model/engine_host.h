// The engine's life in the viewer: both libraries bound once, the engine started with the video
// target and the callbacks together with the progress poller, and at exit (after the open source
// was closed) the poller stopped, then zRelease, then the extraction library unloaded. The
// application owns it; the main window uses it.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "common/result.h"
#include "model/engine_api.h"

namespace velmora {

class ProgressPoller;

// The callbacks handed to zInit, in its argument order.
struct EngineCallbacks {
    PlayEventProc play = nullptr;
    FrameInfoProc frame = nullptr;
    DiskEventProc disk = nullptr;
    LinkEventProc link = nullptr;
    ExtractDataProc extract = nullptr;
    ErrorProc error = nullptr;
};

// Error codes of EngineHost::bind: which library could not be bound.
inline constexpr int kEngineNotBound = 1;
inline constexpr int kExtractionNotBound = 2;

class EngineHost {
  public:
    EngineHost();
    // Entry points bound elsewhere (a fake engine in tests).
    EngineHost(const EngineApi& engine, const ExtractApi& extract);
    ~EngineHost();
    EngineHost(const EngineHost&) = delete;
    EngineHost& operator=(const EngineHost&) = delete;

    // <program_dir>/utilities/libkivra.so, then libombrel.so; the error's code names the library
    // that failed (kEngineNotBound, kExtractionNotBound).
    fleet::Status bind(const std::string& program_dir);

    const EngineApi& engine() const { return engine_; }
    const ExtractApi& extract() const { return extract_; }

    // zInit with the target and the callbacks, then the progress poller, which publishes the
    // slider position on its own thread while dragging() is false. Nothing is started when
    // zInit refuses. The target must stay valid until stop().
    fleet::Status start(const KivraVideoTarget* target, const EngineCallbacks& callbacks,
                        std::function<bool()> dragging, std::function<void(int)> publish);
    bool started() const { return started_; }
    bool progress_running() const;

    // Stops the poller, releases the engine and unloads the extraction library; once. Fails when
    // the engine refused to release (everything else is done all the same).
    fleet::Status stop();

  private:
    EngineApi engine_;
    ExtractApi extract_;
    std::unique_ptr<ProgressPoller> poller_;
    bool started_ = false;
    bool stopped_ = false;
};

}  // namespace velmora
