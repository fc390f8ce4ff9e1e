#include "disk_image_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace fmt_test {

std::vector<uint8_t> file_contents(const std::string& name, int64_t size) {
    uint32_t seed = 2166136261u;
    for (char c : name) seed = (seed ^ static_cast<uint8_t>(c)) * 16777619u;
    std::vector<uint8_t> out(static_cast<size_t>(size));
    for (size_t i = 0; i < out.size(); ++i) {
        // Offsets show in every 4-byte word, the name in the mix.
        out[i] = static_cast<uint8_t>((i >> (8 * (i % 4))) ^ (seed >> (8 * (i % 4))));
    }
    return out;
}

namespace {

int open_image(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    EXPECT_GE(fd, 0) << path;
    return fd;
}

void pwrite_all(int fd, const uint8_t* data, size_t n, int64_t at) {
    while (n > 0) {
        ssize_t put = ::pwrite(fd, data, n, static_cast<off_t>(at));
        ASSERT_GT(put, 0);
        data += put;
        n -= static_cast<size_t>(put);
        at += put;
    }
}

}  // namespace

std::vector<fleet::format::FatFilePlaced> write_volume(
    const std::string& path, int64_t offset, int64_t length,
    const std::vector<fleet::format::FatFilePlan>& files, const std::string& label) {
    int fd = open_image(path);
    if (fd < 0) return {};
    auto placed = fleet::format::write_fat32_volume(fd, offset, length, files, label);
    EXPECT_TRUE(placed.ok()) << (placed.ok() ? "" : placed.error().message);
    std::vector<fleet::format::FatFilePlaced> out;
    if (placed.ok()) out = *placed;
    for (const auto& f : out) {
        auto bytes = file_contents(f.name, f.size);
        pwrite_all(fd, bytes.data(), bytes.size(), offset + f.data_offset);
    }
    ::close(fd);
    return out;
}

std::vector<fleet::format::MbrPartition> write_recorder_disk(
    const std::string& path, const std::vector<fleet::format::FatFilePlan>& files,
    int64_t index_length, int64_t data_length, int partitions) {
    constexpr uint32_t kFirst = 2048;
    std::vector<fleet::format::MbrPartition> table = {
        {0x0C, kFirst, static_cast<uint32_t>(index_length / 512)}};
    if (partitions > 1) {
        table.push_back(
            {0x83, kFirst + table[0].sector_count, static_cast<uint32_t>(data_length / 512)});
    }
    auto mbr = fleet::format::build_mbr(table);
    write_at(path, 0, {mbr.begin(), mbr.end()});
    write_volume(path, table[0].offset(), index_length, files);
    std::filesystem::resize_file(
        path, static_cast<uintmax_t>(table.back().offset() + table.back().length()));
    return table;
}

void write_at(const std::string& path, int64_t offset, const std::vector<uint8_t>& bytes) {
    int fd = open_image(path);
    if (fd < 0) return;
    pwrite_all(fd, bytes.data(), bytes.size(), offset);
    ::close(fd);
}

std::vector<uint8_t> read_at(const std::string& path, int64_t offset, size_t n) {
    fleet::format::FileByteSource file;
    std::vector<uint8_t> out(n);
    EXPECT_TRUE(file.open(path) && file.read_at(offset, out.data(), n)) << path << " @" << offset;
    return out;
}

std::vector<uint8_t> read_all(fleet::format::ByteSource& source, int64_t size) {
    std::vector<uint8_t> out(static_cast<size_t>(size));
    if (!source.read_at(0, out.data(), out.size())) return {};
    return out;
}

std::optional<std::string> find_tool(const std::string& name) {
    std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    std::stringstream folders(path + ":/usr/sbin:/sbin:/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        std::string candidate = folder + "/" + name;
        if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return std::nullopt;
}

fleet::test::ProcessResult run_tool(const std::string& name, std::vector<std::string> args) {
    std::optional<std::string> tool = find_tool(name);
    if (!tool) return {};
    args.insert(args.begin(), *tool);
    // mtools converts names to and from the locale's character set.
    ::setenv("LC_ALL", "C.UTF-8", 1);
    return fleet::test::run_process(args);
}

std::string lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

}  // namespace fmt_test
