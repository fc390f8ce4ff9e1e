// Weak stand-ins for the copy and mosaic outputs until their writers are linked in: a job that
// asks for one of them fails cleanly instead of the library failing to link. The real
// definitions replace these at link time.
#include "writers.h"

namespace ombrel {

__attribute__((weak)) std::unique_ptr<OutputWriter> make_pair_writer(const ExtractJob& /*job*/,
                                                                     std::string& error) {
    error = "file-pair copy: not built yet";
    return nullptr;
}

__attribute__((weak)) std::unique_ptr<OutputWriter> make_mosaic_writer(const ExtractJob& /*job*/,
                                                                       std::string& error) {
    error = "all-channel AVI: not built yet";
    return nullptr;
}

}  // namespace ombrel
