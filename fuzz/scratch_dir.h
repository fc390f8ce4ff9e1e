// A private directory for targets whose code under test reads files: made once per process in
// the system's temp directory, removed with everything in it when the process ends. Targets
// also remove their files after every input, so a crash leaves at most one input's files
// (libFuzzer saves the reproducer itself).
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <system_error>
#include <vector>

namespace fuzz {

class ScratchDir {
  public:
    explicit ScratchDir(const std::string& name)
        : path_(std::filesystem::temp_directory_path() /
                ("fuzz-" + name + "-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// Writes the bytes as the whole file; false when it cannot.
inline bool write_file(const std::filesystem::path& path, const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

// Removes the files when the input is done, whatever the target found.
class FileCleanup {
  public:
    explicit FileCleanup(std::initializer_list<std::filesystem::path> paths) : paths_(paths) {}
    ~FileCleanup() {
        std::error_code ignored;
        for (const auto& p : paths_) std::filesystem::remove(p, ignored);
    }
    FileCleanup(const FileCleanup&) = delete;
    FileCleanup& operator=(const FileCleanup&) = delete;

  private:
    std::vector<std::filesystem::path> paths_;
};

}  // namespace fuzz
