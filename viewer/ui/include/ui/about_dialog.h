// The about box: the viewer's version line and the versions the two loaded libraries report.
#pragma once

#include <QString>
#include <array>
#include <string>

#include "skin/sub_dialog.h"

class QLabel;

namespace velmora {

// The label's text: viewer_line, then one line per library ("version", time, date fields);
// a library that reports empty fields still gets its line.
QString about_text(const QString& viewer_line, const std::array<std::string, 3>& extract_info,
                   const std::array<std::string, 3>& engine_info);

class AboutDialog : public SubDialog {
    Q_OBJECT
  public:
    AboutDialog(const QString& viewer_line, const std::array<std::string, 3>& extract_info,
                const std::array<std::string, 3>& engine_info, QWidget* parent = nullptr);

    QString text() const;
    QLabel* label() { return label_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    QLabel* label_;
};

}  // namespace velmora
