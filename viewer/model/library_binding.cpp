#include "model/library_binding.h"

#include <array>
#include <filesystem>
#include <system_error>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace velmora {

namespace {

namespace fs = std::filesystem;

#if defined(_WIN32)
fleet::Result<void*> load_module(const std::string& path) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) {
        const auto code = static_cast<int>(GetLastError());
        return fleet::fail("cannot load " + path + " (system error " + std::to_string(code) + ")",
                           code);
    }
    return reinterpret_cast<void*>(module);
}
void* find_symbol(void* module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}
void unload_module(void* module) {
    FreeLibrary(static_cast<HMODULE>(module));
}
#else
// Unloading gives the handle back but keeps the code mapped (RTLD_NODELETE): the extraction
// library's codec libraries keep state from their first use that unmapping could neither run
// down nor free.
fleet::Result<void*> load_module(const std::string& path) {
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (module == nullptr) {
        const char* reason = dlerror();
        return fleet::fail("cannot load " + path + ": " +
                           (reason != nullptr ? reason : "unknown reason"));
    }
    return module;
}
void* find_symbol(void* module, const char* name) {
    return dlsym(module, name);
}
void unload_module(void* module) {
    dlclose(module);
}
#endif

// Makes folder current for its lifetime, then returns to where the process was.
class CurrentDirectoryScope {
  public:
    explicit CurrentDirectoryScope(const fs::path& folder) {
        std::error_code ec;
        previous_ = fs::current_path(ec);
        if (ec) return;
        fs::current_path(folder, ec);
        entered_ = !ec;
    }
    ~CurrentDirectoryScope() {
        if (!entered_) return;
        std::error_code ec;
        fs::current_path(previous_, ec);
    }
    CurrentDirectoryScope(const CurrentDirectoryScope&) = delete;
    CurrentDirectoryScope& operator=(const CurrentDirectoryScope&) = delete;
    bool entered() const { return entered_; }

  private:
    fs::path previous_;
    bool entered_ = false;
};

// The library's own dependencies are found through its RPATH; the folder is made current while
// loading as well, for libraries built without one.
fleet::Result<void*> load_from_folder(const std::string& path) {
    const fs::path folder = fs::path(path).parent_path();
    CurrentDirectoryScope scope(folder);
    if (!scope.entered()) return fleet::fail("cannot enter the library folder " + folder.string());
    return load_module(path);
}

template <class Api>
fleet::Status bind_api(Api& api, const std::string& path) {
    if (api.module != nullptr) return fleet::fail(path + " is already loaded");
    std::array<void*, Api::kNames.size()> addresses{};
    fleet::Status bound = bind_library(path, Api::kNames, addresses, &api.module);
    api.assign(addresses);
    return bound;
}

std::string utilities_path(const std::string& program_dir, const char* file_name) {
    return (fs::path(program_dir) / "utilities" / file_name).string();
}

}  // namespace

std::string program_folder() {
#if defined(_WIN32)
    std::vector<char> buffer(32768);
    const DWORD length =
        GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0 || length >= buffer.size()) return {};
    return fs::path(std::string(buffer.data(), length)).parent_path().string();
#else
    std::error_code ec;
    const fs::path executable = fs::read_symlink("/proc/self/exe", ec);
    if (ec || executable.empty()) return {};
    return executable.parent_path().string();
#endif
}

fleet::Status bind_library(const std::string& path, std::span<const char* const> names,
                           std::span<void*> slots, void** handle) {
    if (handle == nullptr || slots.size() < names.size())
        return fleet::fail("binding of " + path + " has no room for its entry points");
    if (*handle != nullptr) return fleet::fail(path + " is already loaded");
    for (void*& slot : slots) slot = nullptr;
    if (path.empty() || fs::path(path).is_relative())
        return fleet::fail("library path \"" + path + "\" is not a full path");
    fleet::Result<void*> module = load_from_folder(path);
    if (!module) return module.error();
    *handle = *module;
    for (size_t i = 0; i < names.size(); ++i) {
        slots[i] = find_symbol(*handle, names[i]);
        if (slots[i] == nullptr)
            return fleet::fail(std::string("entry point ") + names[i] + " missing in " + path);
    }
    return {};
}

fleet::Status bind_engine(EngineApi& api, const std::string& program_dir) {
    if (program_dir.empty()) return fleet::fail("program folder unknown");
    return bind_api(api, utilities_path(program_dir, "libkivra.so"));
}

fleet::Status bind_extract(ExtractApi& api, const std::string& program_dir) {
    if (program_dir.empty()) return fleet::fail("program folder unknown");
    return bind_api(api, utilities_path(program_dir, "libombrel.so"));
}

void unbind_extract(ExtractApi& api) {
    api.clear();
    if (api.module != nullptr) unload_module(api.module);
    api.module = nullptr;
}

}  // namespace velmora
