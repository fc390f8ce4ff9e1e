// Stand-in for the extraction library until the real one exists: it has the final interface
// and answers honestly that it cannot extract (no output is ever created or claimed open).
#include <cstdio>

#include "ombrel/ombrel.h"

namespace {

constexpr size_t kInfoSize = 19;  // the callers' buffers hold at least this much

void copy_info(char* out, const char* text) {
    if (out != nullptr) std::snprintf(out, kInfoSize, "%s", text);
}

}  // namespace

extern "C" {

void zExtractInfo(char* version, char* time, char* date) {
    copy_info(version, "0.1.0-stub");
    copy_info(time, __TIME__);
    copy_info(date, __DATE__);
}

uint8_t zExtractPre(ExtractJob /*job*/) {
    return 0;
}

void zExtractWrite(int32_t /*kind*/, const void* /*data*/, int32_t /*length*/,
                   const void* /*frame_set*/) {}

void zExtractFin(void) {}

uint8_t zIsExtractOpened(void) {
    return 0;
}

}  // extern "C"
