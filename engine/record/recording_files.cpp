#include "record/recording_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "format/file_pair_writer.h"
#include "format/gop_header.h"
#include "format/index_format.h"

namespace kivra {
namespace {

fleet::Error system_failure(const std::string& what, const std::string& path) {
    const int error = errno;
    return fleet::fail(what + " " + path + ": " + std::strerror(error), error);
}

int create_file(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

}  // namespace

RecordingFiles::~RecordingFiles() {
    close_files();
}

void RecordingFiles::close_files() {
    if (dvr_ >= 0) ::close(dvr_);
    if (inx_ >= 0) ::close(inx_);
    dvr_ = inx_ = -1;
}

// A recording that could not begin leaves no empty or headless files behind.
void RecordingFiles::remove_files() {
    const bool had_index = inx_ >= 0;
    close_files();
    ::unlink(dvr_path_.c_str());
    if (had_index) ::unlink(inx_path_.c_str());
}

fleet::Status RecordingFiles::create(const std::string& dvr_path, const std::string& inx_path) {
    close_files();
    dvr_path_ = dvr_path;
    inx_path_ = inx_path;
    dvr_ = create_file(dvr_path);
    if (dvr_ < 0) return system_failure("cannot create", dvr_path);
    inx_ = create_file(inx_path);
    if (inx_ < 0) {
        fleet::Error error = system_failure("cannot create", inx_path);
        remove_files();
        return error;
    }
    dvr_length_ = inx_length_ = gops_ = 0;
    last_time_ = last_length_ = 0;
    const auto header = fleet::format::IndexHeader{}.encode();
    if (auto written = write_at(inx_, header.data(), header.size(), 0, inx_path); !written) {
        remove_files();
        return written;
    }
    inx_length_ = static_cast<int64_t>(header.size());
    return {};
}

fleet::Status RecordingFiles::write_at(int fd, const uint8_t* bytes, size_t length, int64_t offset,
                                       const std::string& path) {
    for (size_t done = 0; done < length;) {
        ssize_t n = ::pwrite(fd, bytes + done, length - done,
                             static_cast<off_t>(offset + static_cast<int64_t>(done)));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return system_failure("cannot write", path);
        }
        done += static_cast<size_t>(n);
    }
    return {};
}

fleet::Status RecordingFiles::append(const uint8_t* gop, size_t length, uint32_t time) {
    if (!is_open()) return fleet::fail("no recording files are open");
    if (length < fleet::format::kGopHeaderSize)
        return fleet::fail("a GOP is at least its header long");
    uint8_t header[fleet::format::kGopHeaderSize];
    fleet::format::GopHeader fields = fleet::format::GopHeader::read(gop);
    fields.set_previous_length(last_length_);
    fields.write(header);

    const int64_t stored = fleet::format::round_up_block(static_cast<int64_t>(length));
    std::vector<uint8_t> padding(static_cast<size_t>(stored) - length, 0);
    fleet::Status written = write_at(dvr_, header, sizeof header, dvr_length_, dvr_path_);
    if (written) {
        written = write_at(dvr_, gop + sizeof header, length - sizeof header,
                           dvr_length_ + static_cast<int64_t>(sizeof header), dvr_path_);
    }
    if (written) {
        written = write_at(dvr_, padding.data(), padding.size(),
                           dvr_length_ + static_cast<int64_t>(length), dvr_path_);
    }
    const bool unit_due = gops_ % fleet::format::kUnitEveryGops == 0;
    if (written && unit_due) {
        const auto unit = fleet::format::IndexUnit{time, 0, dvr_length_}.encode();
        written = write_at(inx_, unit.data(), unit.size(), inx_length_, inx_path_);
    }
    if (!written) {
        // Whatever part did land goes again, so both files end after the last whole GOP.
        (void)::ftruncate(dvr_, static_cast<off_t>(dvr_length_));
        (void)::ftruncate(inx_, static_cast<off_t>(inx_length_));
        return written;
    }
    dvr_length_ += stored;
    if (unit_due) inx_length_ += static_cast<int64_t>(fleet::format::kIndexRecordSize);
    ++gops_;
    last_time_ = time;
    last_length_ = static_cast<uint32_t>(length);
    return {};
}

fleet::Status RecordingFiles::finish() {
    if (!is_open()) return {};
    const auto unit = fleet::format::IndexUnit{last_time_, 0, dvr_length_}.encode();
    fleet::Status done = write_at(inx_, unit.data(), unit.size(), inx_length_, inx_path_);
    if (done) inx_length_ += static_cast<int64_t>(fleet::format::kIndexRecordSize);
    // Without its closing unit (a full disk) the index still names the units it has, so the
    // pair stays readable up to the last of them; the header takes no new space.
    fleet::format::IndexHeader header;
    header.last = static_cast<uint32_t>(
        inx_length_ / static_cast<int64_t>(fleet::format::kIndexRecordSize) - 1);
    const auto bytes = header.encode();
    fleet::Status header_written = write_at(inx_, bytes.data(), bytes.size(), 0, inx_path_);
    if (done) done = std::move(header_written);
    const bool dvr_closed = ::close(dvr_) == 0;
    fleet::Error dvr_error =
        dvr_closed ? fleet::Error{} : system_failure("cannot close", dvr_path_);
    const bool inx_closed = ::close(inx_) == 0;
    fleet::Error inx_error =
        inx_closed ? fleet::Error{} : system_failure("cannot close", inx_path_);
    dvr_ = inx_ = -1;
    if (!done) return done;
    if (!dvr_closed) return dvr_error;
    if (!inx_closed) return inx_error;
    return {};
}

}  // namespace kivra
