#include "model/engine_host.h"

#include <utility>

#include "model/library_binding.h"
#include "model/progress_poller.h"

namespace velmora {

EngineHost::EngineHost() = default;

EngineHost::EngineHost(const EngineApi& engine, const ExtractApi& extract)
    : engine_(engine), extract_(extract) {}

EngineHost::~EngineHost() {
    (void)stop();
}

fleet::Status EngineHost::bind(const std::string& program_dir) {
    if (const fleet::Status engine = bind_engine(engine_, program_dir); !engine)
        return fleet::fail(engine.error().message, kEngineNotBound);
    if (const fleet::Status extract = bind_extract(extract_, program_dir); !extract)
        return fleet::fail(extract.error().message, kExtractionNotBound);
    return {};
}

fleet::Status EngineHost::start(const KivraVideoTarget* target, const EngineCallbacks& callbacks,
                                std::function<bool()> dragging, std::function<void(int)> publish) {
    if (started_) return fleet::fail("the engine is already started");
    if (engine_.zInit == nullptr) return fleet::fail("the engine is not bound");
    if (engine_.zInit(target, callbacks.play, callbacks.frame, callbacks.disk, callbacks.link,
                      callbacks.extract, callbacks.error) == 0) {
        return fleet::fail("zInit refused to start the engine");
    }
    started_ = true;
    poller_ = std::make_unique<ProgressPoller>(engine_, std::move(dragging), std::move(publish));
    poller_->start();
    return {};
}

bool EngineHost::progress_running() const {
    return poller_ != nullptr && poller_->running();
}

fleet::Status EngineHost::stop() {
    if (stopped_) return {};
    stopped_ = true;
    // The poller asks the engine for positions, so it ends before the engine does.
    if (poller_) poller_->stop();
    fleet::Status released;
    if (started_ && engine_.zRelease != nullptr && engine_.zRelease() == 0)
        released = fleet::fail("zRelease refused to release the engine");
    unbind_extract(extract_);
    return released;
}

}  // namespace velmora
