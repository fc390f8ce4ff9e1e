#include "exclusive_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace ombrel {
namespace {

constexpr int kIoBufferSize = 64 * 1024;

// libavformat 61 made the written bytes const.
#if LIBAVFORMAT_VERSION_MAJOR >= 61
using WrittenBytes = const uint8_t*;
#else
using WrittenBytes = uint8_t*;
#endif

int write_bytes(void* opaque, WrittenBytes bytes, int size) {
    const int fd = *static_cast<const int*>(opaque);
    for (int done = 0; done < size;) {
        const ssize_t n = ::write(fd, bytes + done, static_cast<size_t>(size - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return AVERROR(errno);
        if (n == 0) return AVERROR(ENOSPC);
        done += static_cast<int>(n);
    }
    return size;
}

int64_t seek_to(void* opaque, int64_t offset, int whence) {
    const int fd = *static_cast<const int*>(opaque);
    if (whence & AVSEEK_SIZE) {
        const off_t here = ::lseek(fd, 0, SEEK_CUR);
        const off_t end = ::lseek(fd, 0, SEEK_END);
        if (here < 0 || end < 0 || ::lseek(fd, here, SEEK_SET) < 0) return AVERROR(errno);
        return end;
    }
    const off_t at = ::lseek(fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : at;
}

std::string av_reason(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

}  // namespace

ExclusiveFile::~ExclusiveFile() {
    free_io();
    close_descriptor();
}

bool ExclusiveFile::create(const std::string& path, std::string& error) {
    path_ = path;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    created_ = true;
    return true;
}

AVIOContext* ExclusiveFile::io() {
    if (io_ != nullptr || fd_ < 0) return io_;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
    if (buffer == nullptr) return nullptr;
    io_ = avio_alloc_context(buffer, kIoBufferSize, 1, &fd_, nullptr, write_bytes, seek_to);
    if (io_ == nullptr) av_free(buffer);
    return io_;
}

std::string ExclusiveFile::descriptor_url() const {
    return "file:/proc/self/fd/" + std::to_string(fd_);
}

bool ExclusiveFile::close(std::string& error) {
    int status = 0;
    if (io_ != nullptr) {
        avio_flush(io_);
        status = io_->error;
    }
    free_io();
    const int closed = close_descriptor();
    if (status < 0) {
        error = path_ + ": " + av_reason(status);
        return false;
    }
    if (closed != 0) {
        error = path_ + ": " + std::strerror(closed);
        return false;
    }
    return true;
}

void ExclusiveFile::remove() {
    free_io();
    close_descriptor();
    if (created_) ::unlink(path_.c_str());
    created_ = false;
}

void ExclusiveFile::free_io() {
    if (io_ == nullptr) return;
    av_freep(&io_->buffer);
    avio_context_free(&io_);
}

int ExclusiveFile::close_descriptor() {
    if (fd_ < 0) return 0;
    const int status = ::close(fd_);
    fd_ = -1;
    return status == 0 ? 0 : errno;
}

}  // namespace ombrel
