#include "source/device_search.h"

#include <system_error>

#include "common/block_devices.h"
#include "kivra/kivra.h"

namespace kivra {
namespace {

namespace ff = fleet::format;

struct Attempt {
    ff::MediumFound::Verdict verdict = ff::MediumFound::NotThisKind;
    SearchOutcome outcome;
};

// Devices that cannot be opened (no access, no medium in a reader) are passed over like
// devices of another kind.
Attempt try_device(MediumKind kind, const std::string& path) {
    Attempt attempt;
    attempt.outcome.device_path = path;
    ff::MediumFound found = ff::find_medium_at(kind, path);
    attempt.verdict = found.verdict;
    attempt.outcome.why = found.why;
    if (found.verdict != ff::MediumFound::Usable) return attempt;
    auto source = std::make_unique<RingSource>(kind == MediumKind::Disk ? KIVRA_ERROR_DISK_OFFSET
                                                                        : KIVRA_ERROR_CARD_OFFSET);
    if (auto opened = source->open(std::move(found.medium)); !opened) {
        attempt.outcome.why = opened.error().message;
        return attempt;
    }
    attempt.outcome.source = std::move(source);
    return attempt;
}

}  // namespace

bool DeviceSearch::start(MediumKind kind, std::string path, Report report,
                         std::chrono::milliseconds interval) {
    stop();
    stop_event_.restart();
    std::lock_guard<std::mutex> guard(thread_lock_);
    try {
        thread_ = std::thread([this, kind, path = std::move(path), report = std::move(report),
                               interval] { run(kind, path, report, interval); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void DeviceSearch::stop() {
    stop_event_.stop();
    std::thread ending;
    {
        std::lock_guard<std::mutex> guard(thread_lock_);
        ending = std::move(thread_);
    }
    if (!ending.joinable()) return;
    if (ending.get_id() == std::this_thread::get_id()) {
        ending.detach();
    } else {
        ending.join();
    }
}

void DeviceSearch::run(MediumKind kind, const std::string& path, const Report& report,
                       std::chrono::milliseconds interval) {
    if (!path.empty()) {
        Attempt attempt = try_device(kind, path);
        if (!attempt.outcome.source && attempt.outcome.why.empty()) {
            attempt.outcome.why =
                kind == MediumKind::Disk ? "not a recorder disk" : "not a recorder card";
        }
        if (!stop_event_.stopped()) report(std::move(attempt.outcome));
        return;
    }
    do {
        for (const fleet::WholeDisk& disk : fleet::list_whole_disks()) {
            // A close waits for the search: it waits for one device at most, and hears of
            // nothing found after it began.
            if (stop_event_.stopped()) return;
            Attempt attempt = try_device(kind, disk.path);
            if (attempt.verdict == ff::MediumFound::NotThisKind) continue;
            attempt.outcome.sysfs_dir = disk.sysfs_dir;
            if (!stop_event_.stopped()) report(std::move(attempt.outcome));
            return;
        }
    } while (stop_event_.sleep_unless_stopped(interval));
}

}  // namespace kivra
