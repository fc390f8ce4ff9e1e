// Disk and volume images for the layout suites: FAT32 volumes made by our writer, filled with
// contents that tell files and offsets apart, recorder disks around them, and the system's
// FAT tools (dosfstools, mtools) to check them against.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "format/byte_source.h"
#include "format/fat_writer.h"
#include "format/mbr.h"
#include "process.h"

namespace fmt_test {

inline constexpr int64_t kMiB = 1 << 20;

// Bytes that differ from file to file and from offset to offset.
std::vector<uint8_t> file_contents(const std::string& name, int64_t size);

// Writes a FAT32 volume at `offset` of the file at `path` (created when missing) and each
// file's file_contents() where the writer placed it. Fails the current test on any error.
std::vector<fleet::format::FatFilePlaced> write_volume(
    const std::string& path, int64_t offset, int64_t length,
    const std::vector<fleet::format::FatFilePlan>& files, const std::string& label = "RECORDER");

// A recorder disk: an MBR, the index partition (a FAT32 volume of `index_length` with
// `files`) at 1 MiB and the data partition of `data_length` after it. `partitions` = 1 leaves
// out the data partition. Returns the table as written.
std::vector<fleet::format::MbrPartition> write_recorder_disk(
    const std::string& path, const std::vector<fleet::format::FatFilePlan>& files,
    int64_t index_length = 40 * kMiB, int64_t data_length = 8 * kMiB, int partitions = 2);

void write_at(const std::string& path, int64_t offset, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> read_at(const std::string& path, int64_t offset, size_t n);

// Everything a ByteSource gives from offset to offset + n; empty when the read fails.
std::vector<uint8_t> read_all(fleet::format::ByteSource& source, int64_t size);

// The absolute path of a system tool, looked for in PATH and the sbin folders; nullopt when
// it is not installed.
std::optional<std::string> find_tool(const std::string& name);
// Runs a tool found by find_tool; exit code -1 when it is missing.
fleet::test::ProcessResult run_tool(const std::string& name, std::vector<std::string> args);

// ASCII lower case, for comparing names the way FAT does.
std::string lower(std::string s);

}  // namespace fmt_test
