#include "progress_bar.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace dvrtool {

namespace {
constexpr int kWidth = 40;
}

ProgressBar::ProgressBar() : drawing_(::isatty(STDERR_FILENO) == 1) {}

ProgressBar::~ProgressBar() {
    finish();
}

void ProgressBar::show(int percent) {
    percent = std::clamp(percent, 0, 100);
    if (!drawing_ || percent == shown_) return;
    shown_ = percent;
    const int filled = percent * kWidth / 100;
    const std::string bar = std::string(static_cast<size_t>(filled), '#') +
                            std::string(static_cast<size_t>(kWidth - filled), '.');
    std::fprintf(stderr, "\r[%s] %3d%%", bar.c_str(), percent);
    std::fflush(stderr);
}

void ProgressBar::finish() {
    if (drawing_ && shown_ >= 0) std::fputc('\n', stderr);
    shown_ = -1;
}

}  // namespace dvrtool
