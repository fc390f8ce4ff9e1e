#include "common/block_devices.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

namespace fleet {
namespace {

namespace fs = std::filesystem;

// Where a disk sorts: its kind, then the kernel's numbers for it in order.
struct DiskOrder {
    std::string kind;
    std::vector<uint64_t> numbers;
    auto operator<=>(const DiskOrder&) const = default;
};

bool all_in(std::string_view text, char first, char last) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [=](char c) { return c >= first && c <= last; });
}

std::optional<uint64_t> decimal(std::string_view text) {
    if (!all_in(text, '0', '9') || text.size() > 18) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) value = value * 10 + static_cast<uint64_t>(c - '0');
    return value;
}

// sd/vd/xvd letters count like spreadsheet columns: a..z, then aa, ab...
std::optional<uint64_t> drive_letters(std::string_view text) {
    if (!all_in(text, 'a', 'z') || text.size() > 12) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) value = value * 26 + static_cast<uint64_t>(c - 'a' + 1);
    return value;
}

std::optional<DiskOrder> lettered(std::string_view kind, std::string_view rest) {
    auto n = drive_letters(rest);
    if (!n) return std::nullopt;
    return DiskOrder{std::string(kind), {*n}};
}

std::optional<DiskOrder> numbered(std::string_view kind, std::string_view rest) {
    auto n = decimal(rest);
    if (!n) return std::nullopt;
    return DiskOrder{std::string(kind), {*n}};
}

// nvme<controller>n<namespace>; partitions (p1) and multipath paths (c0) do not match.
std::optional<DiskOrder> nvme_namespace(std::string_view rest) {
    const size_t n = rest.find('n');
    if (n == std::string_view::npos) return std::nullopt;
    auto controller = decimal(rest.substr(0, n));
    auto space = decimal(rest.substr(n + 1));
    if (!controller || !space) return std::nullopt;
    return DiskOrder{"nvme", {*controller, *space}};
}

// The order of a whole-disk name of a kind we search; nothing for every other name. The
// patterns leave out partitions (sda1, mmcblk0p1, nvme0n1p1) and mmcblk's boot and rpmb areas.
std::optional<DiskOrder> searchable_disk(std::string_view name) {
    struct Kind {
        std::string_view prefix;
        std::optional<DiskOrder> (*order)(std::string_view kind, std::string_view rest);
    };
    static constexpr Kind kKinds[] = {
        {"sd", lettered},     {"vd", lettered},   {"xvd", lettered},
        {"mmcblk", numbered}, {"loop", numbered},
    };
    if (name.starts_with("nvme")) return nvme_namespace(name.substr(4));
    for (const Kind& kind : kKinds) {
        if (name.starts_with(kind.prefix)) {
            return kind.order(kind.prefix, name.substr(kind.prefix.size()));
        }
    }
    return std::nullopt;
}

bool present(const fs::path& path) {
    std::error_code ignored;
    return fs::exists(path, ignored);
}

// A loop device without a backing file is an empty slot.
bool holds_a_disk(const std::string& name, const fs::path& dir) {
    return !name.starts_with("loop") || present(dir / "loop" / "backing_file");
}

std::string resolved(const fs::path& path) {
    std::error_code failed;
    fs::path real = fs::canonical(path, failed);
    return failed ? path.string() : real.string();
}

std::vector<WholeDisk> scan_sysfs(const std::string& sys_root) {
    std::vector<std::pair<DiskOrder, WholeDisk>> found;
    std::error_code failed;
    // Stepped with error codes: a directory read that fails ends the list, never the thread.
    for (fs::directory_iterator it(sys_root + "/block", failed), end; !failed && it != end;
         it.increment(failed)) {
        const std::string name = it->path().filename().string();
        auto order = searchable_disk(name);
        if (!order || !holds_a_disk(name, it->path())) continue;
        found.push_back({std::move(*order), WholeDisk{"/dev/" + name, resolved(it->path())}});
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<WholeDisk> disks;
    for (auto& [order, disk] : found) disks.push_back(std::move(disk));
    return disks;
}

std::vector<WholeDisk> named_devices(std::string_view list, const std::string& sys_root) {
    std::vector<WholeDisk> disks;
    while (!list.empty()) {
        const size_t colon = list.find(':');
        const std::string path(list.substr(0, colon));
        list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
        struct stat st;
        if (path.empty() || ::stat(path.c_str(), &st) != 0) continue;
        disks.push_back(WholeDisk{
            path, S_ISBLK(st.st_mode) ? sysfs_dir_of_block_device(st.st_rdev, sys_root) : ""});
    }
    return disks;
}

}  // namespace

std::vector<WholeDisk> list_whole_disks(const std::string& sys_root) {
    if (const char* named = std::getenv(kScanDevicesVariable)) {
        return named_devices(named, sys_root);
    }
    return scan_sysfs(sys_root);
}

std::string sysfs_dir_of_block_device(dev_t rdev, const std::string& sys_root) {
    const fs::path link =
        sys_root + "/dev/block/" + std::to_string(major(rdev)) + ":" + std::to_string(minor(rdev));
    return present(link) ? resolved(link) : std::string();
}

std::vector<std::string> devices_refusing_access(const std::vector<WholeDisk>& disks) {
    std::vector<std::string> refusing;
    for (const WholeDisk& disk : disks) {
        // Non-blocking so a drive without its medium answers at once instead of waiting.
        const int fd = ::open(disk.path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd >= 0) {
            ::close(fd);
        } else if (errno == EACCES || errno == EPERM) {
            refusing.push_back(disk.path);
        }
    }
    return refusing;
}

}  // namespace fleet
