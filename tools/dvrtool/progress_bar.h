// A percentage drawn as a bar on one line of stderr, redrawn in place; only on a terminal,
// where a person watches it (a script reading stderr gets nothing).
#pragma once

namespace dvrtool {

class ProgressBar {
  public:
    ProgressBar();  // draws when stderr is a terminal
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void show(int percent);  // 0..100; nothing when unchanged
    void finish();           // ends the bar's line

  private:
    bool drawing_ = false;
    int shown_ = -1;
};

}  // namespace dvrtool
