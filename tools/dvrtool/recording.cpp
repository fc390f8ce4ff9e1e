#include "recording.h"

#include "format/file_pair.h"
#include "messages.h"
#include "recording_kinds.h"

namespace dvrtool {

std::string not_an_index(const std::string& inx_path, uint32_t magic) {
    return inx_path + ": not a time index (magic " + hex32(magic) + ", expected " +
           hex32(fleet::format::kIndexMagic) + ")";
}

bool names_medium(const CommandLine& line) {
    return line.value("--disk") || line.value("--card");
}

std::string index_path(const CommandLine& line) {
    return line.value("--index").value_or(
        fleet::format::FilePair::index_path_for(line.operands.at(0)));
}

fleet::Result<std::unique_ptr<Recording>> open_recording(const CommandLine& line) {
    if (auto disk = line.value("--disk")) {
        return open_medium_recording(fleet::format::MediumKind::Disk, *disk);
    }
    if (auto card = line.value("--card")) {
        return open_medium_recording(fleet::format::MediumKind::Card, *card);
    }
    return open_file_pair_recording(line.operands.at(0), index_path(line));
}

}  // namespace dvrtool
