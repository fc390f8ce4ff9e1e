// The operation log manager: the log days (the oldest beyond the kept number are deleted when it
// opens) and the lines of the chosen day.
#pragma once

#include <string>

#include "skin/sub_dialog.h"

class QListWidget;

namespace velmora {

class LanguageTable;

class LogManagerDialog : public SubDialog {
    Q_OBJECT
  public:
    LogManagerDialog(const std::string& log_dir, const LanguageTable& texts,
                     QWidget* parent = nullptr);

    QListWidget* days_list() { return days_; }
    QListWidget* lines_list() { return lines_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void fill_days();
    void show_day(int row);

    std::string log_dir_;
    QListWidget* days_;
    QListWidget* lines_;
};

}  // namespace velmora
