// The search for a recorder's disk or card: the machine's whole disks (or the devices an
// override names) are looked at every 250 ms until one is found or the search is stopped.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "format/recorder_medium.h"
#include "playback/sync.h"
#include "source/ring_source.h"

namespace kivra {

using fleet::format::MediumKind;

struct SearchOutcome {
    std::string device_path;
    std::string sysfs_dir;               // empty for image files and named paths
    std::unique_ptr<RingSource> source;  // null: found, but it cannot be opened
    std::string why;                     // why not, when null
};

class DeviceSearch {
  public:
    using Report = std::function<void(SearchOutcome)>;

    ~DeviceSearch() { stop(); }

    // Starts the search thread; `report` runs on it once, when a medium of the kind is found.
    // With a path only that device or image file is tried, once: anything but a usable medium
    // is reported as a failure. False when the thread cannot start.
    bool start(MediumKind kind, std::string path, Report report,
               std::chrono::milliseconds interval = std::chrono::milliseconds(250));
    // Ends the search and waits for its thread. From the report itself (a host answering the
    // outcome by stopping the engine) the thread is let go instead: it ends when the report
    // returns and touches nothing of this object afterwards.
    void stop();

  private:
    void run(MediumKind kind, const std::string& path, const Report& report,
             std::chrono::milliseconds interval);

    ManualResetEvent stop_event_;
    std::mutex thread_lock_;  // close and release may stop the search from two threads
    std::thread thread_;
};

}  // namespace kivra
