// The start and end rows chosen in the recorded-data dialog: double-clicks set the start and the
// end in turn, Reset clears both.
#pragma once

namespace velmora {

class RowSelection {
  public:
    // A double-click on the 0-based row: the start when the last click set the end (or none
    // was made), else the end. Returns true when it set the start.
    bool click(int row);
    void reset();

    int start_row() const { return start_; }  // 1-based, 0 = not chosen
    int end_row() const { return end_; }
    // A download needs a start before its end.
    bool valid() const { return start_ > 0 && start_ < end_; }

  private:
    int start_ = 0;
    int end_ = 0;
    bool next_is_end_ = false;
};

}  // namespace velmora
