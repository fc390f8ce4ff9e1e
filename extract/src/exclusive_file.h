// Outputs are created, never overwritten: evidence already exported under a name stays as it is.
#pragma once

#include <string>

namespace ombrel {

// Creates an empty file at `path` only when nothing is there (O_EXCL); false otherwise, with
// the system's reason in `error`. Writers that open their file through libavformat call this
// first, then let libavformat write into the file made here.
bool create_exclusively(const std::string& path, std::string& error);

}  // namespace ombrel
