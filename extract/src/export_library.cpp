// The library's five exports over one process-wide export. The host serialises its calls, but
// the lock keeps a stray call from another thread from tearing an export apart.
#include <cstdio>
#include <mutex>

#include "export_session.h"
#include "ombrel/ombrel.h"

namespace {

constexpr size_t kInfoSize = 19;  // the callers' buffers hold at least this much
constexpr const char* kVersion = "1.0.0";

std::mutex& export_lock() {
    static std::mutex lock;
    return lock;
}

ombrel::ExportSession& session() {
    static ombrel::ExportSession export_session;
    return export_session;
}

void copy_info(char* out, const char* text) {
    if (out != nullptr) std::snprintf(out, kInfoSize, "%s", text);
}

}  // namespace

extern "C" {

void zExtractInfo(char* version, char* time, char* date) {
    copy_info(version, kVersion);
    copy_info(time, __TIME__);
    copy_info(date, __DATE__);
}

uint8_t zExtractPre(ExtractJob job) {
    std::lock_guard<std::mutex> hold(export_lock());
    return session().prepare(job) ? 1 : 0;
}

void zExtractWrite(int32_t kind, const void* data, int32_t length, const void* frame_set) {
    std::lock_guard<std::mutex> hold(export_lock());
    session().write(kind, data, length, frame_set);
}

void zExtractFin(void) {
    std::lock_guard<std::mutex> hold(export_lock());
    session().finish();
}

uint8_t zIsExtractOpened(void) {
    return session().is_open() ? 1 : 0;
}

}  // extern "C"
