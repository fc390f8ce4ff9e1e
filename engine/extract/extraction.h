// The engine's one extraction: its thread and its stop flag, kept in the engine so they
// outlive the source instance the thread reads from.
#pragma once

#include <atomic>
#include <mutex>
#include <thread>

#include "extract/extract_run.h"
#include "extract/source_copy.h"
#include "kivra/kivra.h"

namespace kivra {

class Extraction {
  public:
    Extraction() = default;
    ~Extraction() { finish(); }
    Extraction(const Extraction&) = delete;
    Extraction& operator=(const Extraction&) = delete;

    // Starts the thread: it opens the copy, runs the range and reports to `proc`, the last
    // report being the ending kind (2, 3, -3, or -1 when the copy cannot be opened). 0, or -1
    // while another extraction runs or when the thread cannot start. A thread that ended
    // before is joined here.
    int start(SourceCopier copier, const ExtractRange& range, ExtractDataProc proc);
    // Asks the running extraction to end after the GOP in progress; nothing runs: nothing
    // happens.
    void stop() { stop_ = true; }
    // Stops the extraction and waits for its thread. Called from the thread itself (a host
    // answering a report by closing or releasing), the thread is let go instead.
    void finish();

  private:
    void run(const SourceCopier& copier, const ExtractRange& range, const ExtractSink& sink);
    // Joins or, from the thread itself, lets go of an ended thread. Under lock_.
    void reap();

    std::mutex lock_;  // start and finish may come from several host threads
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
};

}  // namespace kivra
