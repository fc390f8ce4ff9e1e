// Recordings made once per test program by the simulated recorder.
#pragma once

#include <string>

namespace fleet::test {

// BASE of a recording made with these dvrsim options (cached by options).
std::string recording(const std::string& options);

}  // namespace fleet::test
