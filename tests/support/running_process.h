// A program of the project running beside a test (a served recorder, say): its standard output
// read line by line as it comes, signals sent to it, its end awaited. The waits have generous
// limits only so that a broken program fails the test instead of hanging it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace fleet::test {

class RunningProcess {
  public:
    explicit RunningProcess(const std::vector<std::string>& argv);
    ~RunningProcess();  // kills the program if it still runs
    RunningProcess(const RunningProcess&) = delete;
    RunningProcess& operator=(const RunningProcess&) = delete;

    bool started() const { return pid_ > 0; }
    // Reads standard output up to a line that starts with `prefix` and returns it; empty when
    // the output ends first or nothing comes within the limit.
    std::string wait_for_line(const std::string& prefix,
                              std::chrono::seconds limit = std::chrono::seconds(30));
    bool signal(int number);
    // The exit code; -1 when killed by a signal or still running after the limit.
    int wait(std::chrono::seconds limit = std::chrono::seconds(30));
    // Everything written to standard error so far.
    std::string err() const;

  private:
    pid_t pid_ = -1;
    int out_ = -1;  // read end of the standard output pipe
    std::string pending_;
    std::string err_path_;
    bool exited_ = false;
    int exit_code_ = -1;
};

}  // namespace fleet::test
