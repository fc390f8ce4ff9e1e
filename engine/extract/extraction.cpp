#include "extract/extraction.h"

#include <system_error>
#include <utility>

namespace kivra {

int Extraction::start(SourceCopier copier, const ExtractRange& range, ExtractDataProc proc) {
    std::lock_guard<std::mutex> guard(lock_);
    if (running_) return -1;
    reap();
    stop_ = false;
    running_ = true;
    try {
        thread_ = std::thread([this, copier = std::move(copier), range, sink = ExtractSink(proc)] {
            run(copier, range, sink);
        });
    } catch (const std::system_error&) {
        running_ = false;
        return -1;
    }
    return 0;
}

void Extraction::finish() {
    std::lock_guard<std::mutex> guard(lock_);
    stop_ = true;
    reap();
}

void Extraction::reap() {
    if (!thread_.joinable()) return;
    if (thread_.get_id() == std::this_thread::get_id()) {
        thread_.detach();
    } else {
        thread_.join();
    }
}

// The instance is gone and the extraction counts as ended before the last report: a host
// may start the next one as soon as it hears the end, even from inside that report.
void Extraction::run(const SourceCopier& copier, const ExtractRange& range,
                     const ExtractSink& sink) {
    int ending = KIVRA_EXTRACT_CANNOT_OPEN;
    if (std::unique_ptr<StoredSource> copy = copier()) {
        ending = run_extraction(*copy, range, stop_, sink);
    }
    running_ = false;
    sink(ending);
}

}  // namespace kivra
