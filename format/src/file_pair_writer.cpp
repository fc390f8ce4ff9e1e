#include "format/file_pair_writer.h"

#include <cerrno>
#include <vector>

#include "format/gop_header.h"
#include "format/index_format.h"

namespace fleet::format {

TimeIndexWriter::~TimeIndexWriter() {
    if (file_ != nullptr) std::fclose(file_);
}

bool TimeIndexWriter::create(const std::string& path) {
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) return false;
    IndexHeader header;
    auto bytes = header.encode();
    if (std::fwrite(bytes.data(), bytes.size(), 1, file_) != 1) return false;
    records_ = 1;
    gops_ = 0;
    return true;
}

bool TimeIndexWriter::append_unit(uint32_t time, uint32_t tag, int64_t offset) {
    IndexUnit unit{time, tag, offset};
    auto bytes = unit.encode();
    if (std::fseek(file_, 0, SEEK_END) != 0 ||
        std::fwrite(bytes.data(), bytes.size(), 1, file_) != 1) {
        return false;
    }
    ++records_;
    return true;
}

bool TimeIndexWriter::add_gop(uint32_t time, int64_t offset, uint32_t tag) {
    if (file_ == nullptr) return false;
    const bool due = gops_ % unit_every_ == 0 || tag != 0;
    ++gops_;
    return !due || append_unit(time, tag, offset);
}

bool TimeIndexWriter::finish(uint32_t last_time, int64_t stream_length, bool min_last_one) {
    if (file_ == nullptr) return false;
    bool ok = append_unit(last_time, 0, stream_length);
    IndexHeader header;
    header.last = records_ - 1;
    if (min_last_one && header.last == 0) header.last = 1;
    auto bytes = header.encode();
    ok = ok && std::fseek(file_, 0, SEEK_SET) == 0 &&
         std::fwrite(bytes.data(), bytes.size(), 1, file_) == 1;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    return ok;
}

FilePairWriter::~FilePairWriter() {
    if (dvr_ != nullptr) std::fclose(dvr_);
}

bool FilePairWriter::create(const std::string& dvr_path, const std::string& inx_path) {
    dvr_ = std::fopen(dvr_path.c_str(), "wb");
    if (dvr_ == nullptr) return false;
    if (!index_.create(inx_path)) {
        int saved = errno;
        std::fclose(dvr_);
        dvr_ = nullptr;
        errno = saved;
        return false;
    }
    return true;
}

bool FilePairWriter::append_gop(const uint8_t* gop, size_t length, uint32_t time, uint32_t tag) {
    if (dvr_ == nullptr || !index_.add_gop(time, length_, tag)) return false;
    static const std::vector<uint8_t> zeros(kBlockSize, 0);
    int64_t stored = round_up_block(static_cast<int64_t>(length));
    size_t padding = static_cast<size_t>(stored - static_cast<int64_t>(length));
    if (std::fwrite(gop, 1, length, dvr_) != length ||
        std::fwrite(zeros.data(), 1, padding, dvr_) != padding) {
        return false;
    }
    length_ += stored;
    ++gops_;
    last_time_ = time;
    return true;
}

bool FilePairWriter::append_filler(const uint8_t* bytes, size_t length) {
    if (dvr_ == nullptr || std::fwrite(bytes, 1, length, dvr_) != length) return false;
    length_ += static_cast<int64_t>(length);
    return true;
}

bool FilePairWriter::finish(bool min_last_one) {
    if (dvr_ == nullptr) return false;
    bool ok = std::fflush(dvr_) == 0;
    ok = std::fclose(dvr_) == 0 && ok;
    dvr_ = nullptr;
    return index_.finish(last_time_, length_, min_last_one) && ok;
}

}  // namespace fleet::format
