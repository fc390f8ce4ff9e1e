#include "big_disk.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

extern char** environ;

namespace bench {
namespace {

// Runs dvrsim with its output thrown away; its exit code, or -1 when it did not run or end.
int run_dvrsim(std::vector<std::string> args) {
    args.insert(args.begin(), DVRSIM_PATH);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace

BigDisk::BigDisk(const char* reuse_variable) {
    if (const char* given = std::getenv(reuse_variable)) {
        path_ = given;
    } else if (!make()) {
        return;
    }
    std::ifstream in(path_ + ".truth.json");
    truth_ = nlohmann::json::parse(in, nullptr, false);
    if (truth_.is_discarded()) error_ = "no truth beside " + path_;
}

BigDisk::~BigDisk() {
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
}

bool BigDisk::make() {
    std::string pattern = (std::filesystem::temp_directory_path() / "big-disk-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        error_ = "cannot make a temporary directory";
        return false;
    }
    dir_ = pattern;
    path_ = dir_ + "/disk.img";
    const int made =
        run_dvrsim({"disk", "--out", path_, "--size", "1T", "--sparse-units", "1000000"});
    if (made != 0) error_ = "dvrsim disk failed (exit " + std::to_string(made) + ")";
    return made == 0;
}

}  // namespace bench
