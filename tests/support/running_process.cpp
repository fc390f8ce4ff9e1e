#include "running_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "process.h"

extern char** environ;

namespace fleet::test {

namespace {

int milliseconds_until(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

RunningProcess::RunningProcess(const std::vector<std::string>& argv) {
    int pipe_ends[2];
    if (pipe2(pipe_ends, O_CLOEXEC) != 0) return;
    char err_template[] = "/tmp/fleet-process-err-XXXXXX";
    const int err_fd = mkstemp(err_template);
    if (err_fd >= 0) {
        close(err_fd);
        err_path_ = err_template;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, err_path_.empty() ? "/dev/null" : err_template,
                                     O_WRONLY | O_TRUNC, 0600);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_ends[1]);
    if (rc != 0) {
        close(pipe_ends[0]);
        return;
    }
    pid_ = pid;
    out_ = pipe_ends[0];
}

RunningProcess::~RunningProcess() {
    if (pid_ > 0 && !exited_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
    if (!err_path_.empty()) std::filesystem::remove(err_path_);
}

std::string RunningProcess::wait_for_line(const std::string& prefix, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            if (line.rfind(prefix, 0) == 0) return line;
        }
        if (out_ < 0) return {};
        pollfd ready{out_, POLLIN, 0};
        const int polled = poll(&ready, 1, milliseconds_until(deadline));
        if (polled < 0 && errno == EINTR) continue;
        if (polled <= 0) return {};
        char chunk[512];
        const ssize_t got = read(out_, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return {};
        pending_.append(chunk, static_cast<size_t>(got));
    }
}

bool RunningProcess::signal(int number) {
    return pid_ > 0 && !exited_ && kill(pid_, number) == 0;
}

int RunningProcess::wait(std::chrono::seconds limit) {
    if (pid_ <= 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!exited_) {
        int status = 0;
        const pid_t got = waitpid(pid_, &status, WNOHANG);
        if (got == pid_) {
            exited_ = true;
            exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        } else if (got < 0 && errno != EINTR) {
            return -1;
        } else if (std::chrono::steady_clock::now() >= deadline) {
            return -1;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    return exit_code_;
}

std::string RunningProcess::err() const {
    return err_path_.empty() ? std::string() : read_file(err_path_);
}

}  // namespace fleet::test
