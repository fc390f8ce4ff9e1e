// "Add recorder...": a recorder reached directly (IPv4 address, port, name, 4 or 8 channels)
// put into the vehicle list by hand while no server fills it. Modal.
#pragma once

#include <functional>
#include <optional>

#include "model/manual_recorders.h"
#include "skin/sub_dialog.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace velmora {

class LanguageTable;

class AddRecorderDialog : public SubDialog {
    Q_OBJECT
  public:
    explicit AddRecorderDialog(const LanguageTable& texts, QWidget* parent = nullptr);

    // Ok: the recorder typed in, or a message saying what is wrong (the dialog stays open).
    void confirm();
    // Set once Ok accepted.
    const std::optional<ManualRecorder>& recorder() const { return recorder_; }

    QLineEdit* address_edit() const { return address_; }
    QLineEdit* port_edit() const { return port_; }
    QLineEdit* name_edit() const { return name_; }
    QComboBox* channels_list() const { return channels_; }
    QPushButton* ok_button() const { return ok_; }

    std::function<void(const QString&)> message_sink;

  private:
    QString text(const char* key) const;

    const LanguageTable& texts_;
    std::optional<ManualRecorder> recorder_;
    QLineEdit* address_ = nullptr;
    QLineEdit* port_ = nullptr;
    QLineEdit* name_ = nullptr;
    QComboBox* channels_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace velmora
