#include "format/file_pair.h"

#include <cerrno>
#include <cstring>

namespace fleet::format {
namespace {

std::string cannot_open(const std::string& path) {
    return "cannot open " + path + ": " + std::strerror(errno);
}

}  // namespace

std::string FilePair::open(const std::string& dvr_path, const std::string& inx_path) {
    close();
    if (!dvr_.open(dvr_path)) return cannot_open(dvr_path);
    if (!inx_.open(inx_path)) {
        std::string reason = cannot_open(inx_path);
        close();
        return reason;
    }
    IndexUnit first, last;
    std::string reason;
    if (!read_index_header(inx_, header_)) {
        reason = inx_path + ": index header cannot be read (file too short)";
    } else if (!read_index_unit(inx_, header_.first, first)) {
        reason =
            inx_path + ": first index unit " + std::to_string(header_.first) + " cannot be read";
    } else if (!read_index_unit(inx_, header_.last, last)) {
        reason = inx_path + ": last index unit " + std::to_string(header_.last) + " cannot be read";
    } else if (last.offset < 0) {
        reason = inx_path + ": last index unit has a negative offset";
    }
    if (!reason.empty()) {
        close();
        return reason;
    }
    begin_time_ = first.time;
    end_time_ = last.time;
    length_ = last.offset;
    return {};
}

PairClosed FilePair::close() {
    PairClosed closed{dvr_.close(), inx_.close()};
    header_ = {};
    begin_time_ = end_time_ = 0;
    length_ = 0;
    return closed;
}

std::string FilePair::index_path_for(const std::string& dvr_path) {
    auto dot = dvr_path.find_last_of('.');
    auto slash = dvr_path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return dvr_path + ".inx";
    }
    return dvr_path.substr(0, dot) + ".inx";
}

}  // namespace fleet::format
