// `dvrsim serve`: a recorder on the network until SIGINT or SIGTERM (or, dialling, until its
// link ends).
#pragma once

#include "dvrsim/serve_options.h"

namespace dvrsim {

// The process's exit code; failures are reported on standard error.
int run_serve(const ServeOptions& options);

}  // namespace dvrsim
