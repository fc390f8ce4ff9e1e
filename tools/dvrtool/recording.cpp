#include "recording.h"

#include "format/index_format.h"
#include "messages.h"

namespace dvrtool {
namespace {

// True when the file has a complete index header with another magic. A file that is
// missing or too short is left to FilePair, whose reason says so.
bool has_foreign_header(const std::string& inx_path, uint32_t& magic) {
    fleet::format::FileByteSource source;
    fleet::format::IndexHeader header;
    if (!source.open(inx_path) || !fleet::format::read_index_header(source, header)) return false;
    magic = header.magic;
    return magic != fleet::format::kIndexMagic;
}

}  // namespace

std::string not_an_index(const std::string& inx_path, uint32_t magic) {
    return inx_path + ": not a time index (magic " + hex32(magic) + ", expected " +
           hex32(fleet::format::kIndexMagic) + ")";
}

std::string index_path(const CommandLine& line) {
    return line.value("--index").value_or(
        fleet::format::FilePair::index_path_for(line.operands.at(0)));
}

fleet::Status open_recording(fleet::format::FilePair& pair, const CommandLine& line) {
    const std::string inx = index_path(line);
    std::string reason = pair.open(line.operands.at(0), inx);
    uint32_t magic = 0;
    if (has_foreign_header(inx, magic)) {
        pair.close();
        return fleet::fail(not_an_index(inx, magic));
    }
    if (!reason.empty()) return fleet::fail(std::move(reason));
    return {};
}

}  // namespace dvrtool
