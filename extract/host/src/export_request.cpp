#include "export_host/export_request.h"

#include <algorithm>

namespace fleet::export_host {

bool ExportRequest::any_output() const {
    return all_channels || file_pair ||
           std::any_of(channels.begin(), channels.end(), [](bool asked) { return asked; });
}

}  // namespace fleet::export_host
