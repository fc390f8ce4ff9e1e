#include "extract/source_copy.h"

#include <utility>

namespace kivra {

namespace ff = fleet::format;

SourceCopier copier_of(const FileSource& pair) {
    return [dvr = pair.dvr_path(), inx = pair.inx_path()]() -> std::unique_ptr<StoredSource> {
        auto copy = std::make_unique<FileSource>();
        if (!copy->open(dvr, inx)) return nullptr;
        return copy;
    };
}

SourceCopier copier_of(const RingSource& ring, ff::MediumKind kind, std::string device_path) {
    return [known = ring.findings(), seek_error = ring.seek_error(), kind,
            path = std::move(device_path)]() -> std::unique_ptr<StoredSource> {
        ff::MediumFound found = ff::find_medium_at(kind, path);
        if (found.verdict != ff::MediumFound::Usable) return nullptr;
        auto copy = std::make_unique<RingSource>(seek_error);
        if (!copy->open_known(std::move(found.medium), known)) return nullptr;
        return copy;
    };
}

}  // namespace kivra
