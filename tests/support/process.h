// Running the project's programs from tests: argument vectors, no shell, captured output.
#pragma once

#include <string>
#include <vector>

namespace fleet::test {

struct ProcessResult {
    int exit_code = -1;  // -1 when the program could not run or was killed by a signal
    std::string out;
    std::string err;
};

ProcessResult run_process(const std::vector<std::string>& argv);

// A fresh directory removed with everything in it at the end of the test.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

std::string read_file(const std::string& path);
std::vector<std::string> split_lines(const std::string& text);

}  // namespace fleet::test
