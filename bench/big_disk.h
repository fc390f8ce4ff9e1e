// A recorder disk of a million time units for the benchmarks that need one: made by
// `dvrsim disk --size 1T --sparse-units 1000000` in a temporary directory (a sparse file of
// about 150 MB on disk, made in a few seconds) and removed at exit, or an image made by that
// command before, named by an environment variable.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace bench {

class BigDisk {
  public:
    // `reuse_variable`: the environment variable that names an image to use instead.
    explicit BigDisk(const char* reuse_variable);
    ~BigDisk();
    BigDisk(const BigDisk&) = delete;
    BigDisk& operator=(const BigDisk&) = delete;

    const std::string& path() const { return path_; }
    const nlohmann::json& truth() const { return truth_; }
    // Empty when the image and its truth are there.
    const std::string& error() const { return error_; }

  private:
    bool make();

    std::string dir_;  // made here, removed at exit
    std::string path_;
    nlohmann::json truth_;
    std::string error_;
};

}  // namespace bench
