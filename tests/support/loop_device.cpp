#include "loop_device.h"

#include <unistd.h>

#include <vector>

#include "process.h"

namespace fleet::test {
namespace {

// run_process does not search PATH, and losetup lives in sbin, which a plain user's PATH
// often lacks.
std::string losetup_program() {
    for (const char* path : {"/usr/sbin/losetup", "/sbin/losetup", "/usr/bin/losetup"}) {
        if (::access(path, X_OK) == 0) return path;
    }
    return {};
}

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

}  // namespace

LoopDevice::~LoopDevice() {
    detach();
}

bool LoopDevice::attach(const std::string& file) {
    if (attached()) {
        failure_ = "already attached to " + path_;
        return false;
    }
    if (::geteuid() != 0) {
        failure_ = "loop devices need root";
        return false;
    }
    std::string device;
    if (!losetup("--find", file, &device)) return false;
    path_ = trimmed(device);
    return true;
}

bool LoopDevice::refresh_size() {
    return attached() && losetup("--set-capacity", path_, nullptr);
}

bool LoopDevice::detach() {
    if (!attached() || !losetup("--detach", path_, nullptr)) return false;
    path_.clear();
    return true;
}

bool LoopDevice::losetup(const std::string& option, const std::string& argument, std::string* out) {
    const std::string program = losetup_program();
    if (program.empty()) {
        failure_ = "losetup is not installed";
        return false;
    }
    std::vector<std::string> argv{program, option};
    if (out != nullptr) argv.push_back("--show");
    argv.push_back(argument);
    ProcessResult result = run_process(argv);
    if (result.exit_code != 0) {
        failure_ = "losetup " + option + " " + argument + " failed: " + trimmed(result.err);
        return false;
    }
    if (out != nullptr) *out = result.out;
    return true;
}

}  // namespace fleet::test
