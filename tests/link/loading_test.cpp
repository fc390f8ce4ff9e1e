// libfennick.so as hosts load it: found beside a library that links it (the engine in the
// viewer's utilities/ folder), and unloaded or ended with links open without hanging.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "fennick/fennick.h"

namespace {

namespace fs = std::filesystem;

// Threads of this process named like the library's io thread.
size_t io_threads() {
    size_t count = 0;
    for (const auto& task : fs::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        count += name == "fennick-io";
    }
    return count;
}

size_t entries_in(const char* folder) {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++count;
    return count;
}

template <typename F>
F symbol(void* library, const char* name) {
    return reinterpret_cast<F>(dlsym(library, name));
}

int32_t ignore_events(int32_t, int32_t, const void*, int32_t, int32_t) {
    return 0;
}

TEST(FennickLoading, LibraryBesideItsUserIsTheOneLoaded) {
    const fs::path folder =
        fs::temp_directory_path() / ("fennick-utilities-" + std::to_string(getpid()));
    fs::create_directories(folder);
    fs::copy_file(FENNICK_LIBRARY_PATH, folder / "libfennick.so");
    fs::copy_file(FENNICK_PROBE_PATH, folder / "libfennick_probe.so");

    void* probe = dlopen((folder / "libfennick_probe.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(probe, nullptr) << dlerror();
    auto entry = symbol<void* (*)()>(probe, "fennick_probe_entry");
    ASSERT_NE(entry, nullptr);
    Dl_info info{};
    ASSERT_NE(dladdr(entry(), &info), 0);
    EXPECT_EQ(fs::path(info.dli_fname), folder / "libfennick.so");
    dlclose(probe);
    fs::remove_all(folder);
}

TEST(FennickLoading, OnlyTheSixFunctionsAreExported) {
    void* library = dlopen(FENNICK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
#define EXPECT_EXPORTED(name) EXPECT_NE(dlsym(library, #name), nullptr) << #name;
    FENNICK_FOR_EACH_EXPORT(EXPECT_EXPORTED)
#undef EXPECT_EXPORTED
    for (const char* hidden :
         {"_ZN5fleet7fennick7runtimeEv", "_ZN5fleet10LinkHeader6decodeEPKhm"}) {
        EXPECT_EQ(dlsym(library, hidden), nullptr) << hidden;
    }
    dlclose(library);
}

// Unloading ends the io thread and closes every socket, also ones still open.
TEST(FennickLoading, UnloadJoinsTheThreadAndClosesTheSockets) {
    const size_t descriptors = entries_in("/proc/self/fd");
    void* library = dlopen(FENNICK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto listen = symbol<decltype(&zInitTcp_S)>(library, "zInitTcp_S");
    auto connect = symbol<decltype(&zInitTcp_C)>(library, "zInitTcp_C");
    const int32_t listener = listen(0, ignore_events);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    socklen_t size = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    ASSERT_GE(connect("127.0.0.1", ntohs(address.sin_port), ignore_events, nullptr), 0);
    EXPECT_EQ(io_threads(), 1u);
    dlclose(library);
    EXPECT_EQ(io_threads(), 0u);
    EXPECT_EQ(entries_in("/proc/self/fd"), descriptors);
}

// Loaded to stay (RTLD_NODELETE, as the viewer's binding loads its libraries), the library's
// state ends with the process: a process that returns with links open exits cleanly.
TEST(FennickLoading, ProcessWithOpenLinksExitsCleanly) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        void* library = dlopen(FENNICK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (library == nullptr) _exit(2);
        auto listen = symbol<decltype(&zInitTcp_S)>(library, "zInitTcp_S");
        auto connect = symbol<decltype(&zInitTcp_C)>(library, "zInitTcp_C");
        const int32_t listener = listen(0, ignore_events);
        sockaddr_in address{};
        socklen_t size = sizeof address;
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
        if (connect("127.0.0.1", ntohs(address.sin_port), ignore_events, nullptr) < 0) _exit(3);
        std::exit(0);  // runs the static destructors
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
