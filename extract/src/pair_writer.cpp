#include "pair_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include "copied_index.h"
#include "format/gop_header.h"

namespace ombrel {
namespace {

using fleet::format::kBlockSize;
using fleet::format::kGopHeaderSize;

std::string system_reason(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

int create_new(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
}

bool write_all(int fd, const uint8_t* bytes, size_t length) {
    for (size_t done = 0; done < length;) {
        const ssize_t n = ::write(fd, bytes + done, length - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

class PairWriter final : public OutputWriter {
  public:
    PairWriter(std::string dvr_path, std::string inx_path)
        : dvr_path_(std::move(dvr_path)), inx_path_(std::move(inx_path)) {}
    ~PairWriter() override { close_files(); }
    PairWriter(const PairWriter&) = delete;
    PairWriter& operator=(const PairWriter&) = delete;

    bool create(std::string& error) {
        dvr_ = create_new(dvr_path_);
        if (dvr_ < 0) {
            error = system_reason("cannot create", dvr_path_);
            return false;
        }
        created_dvr_ = true;
        inx_ = create_new(inx_path_);
        if (inx_ < 0) {
            error = system_reason("cannot create", inx_path_);
            discard();
            return false;
        }
        created_inx_ = true;
        return true;
    }

    bool write_gop(const GopInput& gop) override;
    bool write_index_record(const uint8_t* record, size_t length) override;
    bool finish() override;
    void discard() override;
    std::string error() const override { return error_; }

  private:
    bool fail(const std::string& what) {
        error_ = system_reason(what, dvr_path_);
        return false;
    }
    void close_files() {
        if (dvr_ >= 0) ::close(dvr_);
        if (inx_ >= 0) ::close(inx_);
        dvr_ = inx_ = -1;
    }

    std::string dvr_path_, inx_path_;
    int dvr_ = -1;
    int inx_ = -1;
    bool created_dvr_ = false;  // only files made here are ever removed
    bool created_inx_ = false;
    int64_t length_ = 0;
    uint32_t last_total_ = 0;  // of the GOP written last
    std::vector<WrittenGop> gops_;
    DeliveredIndex delivered_;
    std::string error_;
};

bool PairWriter::write_gop(const GopInput& gop) {
    if (dvr_ < 0) return false;
    const auto header = fleet::format::read_gop_header(gop.data, gop.length);
    if (!header) {
        error_ = "a delivered GOP has no GOP header";
        return false;
    }
    // The bytes go as delivered, but the back-link must name the GOP written before this
    // one: after a GOP the engine could not read, the source's link names the lost one and
    // the copy would read as damaged.
    std::array<uint8_t, kGopHeaderSize> head;
    fleet::format::GopHeader fields = *header;
    if (!gops_.empty() && fields.previous_length() != (last_total_ & 0xFFFFF)) {
        fields.set_previous_length(last_total_);
    }
    fields.write(head.data());
    static const std::array<uint8_t, kBlockSize> kZeros{};
    const int64_t stored = fleet::format::round_up_block(static_cast<int64_t>(gop.length));
    const size_t padding = static_cast<size_t>(stored) - gop.length;
    if (!write_all(dvr_, head.data(), head.size()) ||
        !write_all(dvr_, gop.data + kGopHeaderSize, gop.length - kGopHeaderSize) ||
        !write_all(dvr_, kZeros.data(), padding)) {
        return fail("cannot write");
    }
    gops_.push_back({length_, header->time()});
    length_ += stored;
    last_total_ = header->total_length();
    return true;
}

bool PairWriter::write_index_record(const uint8_t* record, size_t length) {
    if (length != fleet::format::kIndexRecordSize) {
        delivered_.malformed = true;
        return true;
    }
    if (!delivered_.header_seen) {
        delivered_.header = fleet::format::IndexHeader::decode(record);
        delivered_.header_seen = true;
    } else {
        delivered_.units.push_back(fleet::format::IndexUnit::decode(record));
    }
    return true;
}

bool PairWriter::finish() {
    if (dvr_ < 0) return false;
    const auto units = describes_copy(delivered_, gops_, length_) ? delivered_.units
                                                                  : recorder_units(gops_, length_);
    const std::vector<uint8_t> index = encode_index(units);
    if (!write_all(inx_, index.data(), index.size())) {
        error_ = system_reason("cannot write", inx_path_);
        return false;
    }
    const bool dvr_closed = ::close(dvr_) == 0;
    dvr_ = -1;
    if (!dvr_closed) return fail("cannot close");
    const bool inx_closed = ::close(inx_) == 0;
    inx_ = -1;
    if (!inx_closed) {
        error_ = system_reason("cannot close", inx_path_);
        return false;
    }
    return true;
}

void PairWriter::discard() {
    close_files();
    if (created_dvr_) ::unlink(dvr_path_.c_str());
    if (created_inx_) ::unlink(inx_path_.c_str());
    created_dvr_ = created_inx_ = false;
}

}  // namespace

std::unique_ptr<OutputWriter> make_pair_writer(const ExtractJob& job, std::string& error) {
    auto writer = std::make_unique<PairWriter>(
        std::string(job.dvr_path, strnlen(job.dvr_path, sizeof job.dvr_path)),
        std::string(job.inx_path, strnlen(job.inx_path, sizeof job.inx_path)));
    if (!writer->create(error)) return nullptr;
    return writer;
}

}  // namespace ombrel
