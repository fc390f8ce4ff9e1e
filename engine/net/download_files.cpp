#include "net/download_files.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "format/gop_header.h"

namespace kivra::net {
namespace {

bool path_exists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

}  // namespace

bool DownloadFiles::create(const std::string& dvr_path, const std::string& inx_path) {
    std::lock_guard<std::mutex> guard(lock_);
    if (writer_) return false;
    auto writer = std::make_unique<fleet::format::FilePairWriter>();
    const bool had_dvr = path_exists(dvr_path);
    const bool had_inx = path_exists(inx_path);
    if (!writer->create(dvr_path, inx_path)) {
        const int saved = errno;
        writer.reset();
        // Only what this attempt made goes: a file that was there before is the host's.
        if (!had_dvr) std::remove(dvr_path.c_str());
        if (!had_inx) std::remove(inx_path.c_str());
        errno = saved;
        return false;
    }
    writer_ = std::move(writer);
    dvr_path_ = dvr_path;
    inx_path_ = inx_path;
    return true;
}

DownloadFiles::Append DownloadFiles::append(std::span<const uint8_t> gop) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!writer_) return Append::NotOpen;
    const auto header = fleet::format::read_gop_header(gop.data(), gop.size());
    const uint32_t time = header ? header->time() : 0;
    return writer_->append_gop(gop.data(), gop.size(), time) ? Append::Written
                                                             : Append::WriteFailed;
}

DownloadFiles::Finish DownloadFiles::finish() {
    std::lock_guard<std::mutex> guard(lock_);
    if (!writer_) return Finish::NotOpen;
    // An empty download still names one unit, so the pair opens.
    const bool written = writer_->finish(true);
    writer_.reset();
    return written ? Finish::Completed : Finish::WriteFailed;
}

void DownloadFiles::discard() {
    std::lock_guard<std::mutex> guard(lock_);
    if (!writer_) return;
    writer_->finish(true);
    writer_.reset();
    std::remove(dvr_path_.c_str());
    std::remove(inx_path_.c_str());
}

bool DownloadFiles::is_open() {
    std::lock_guard<std::mutex> guard(lock_);
    return writer_ != nullptr;
}

void DownloadFiles::clear_paths() {
    std::lock_guard<std::mutex> guard(lock_);
    dvr_path_.clear();
    inx_path_.clear();
}

}  // namespace kivra::net
