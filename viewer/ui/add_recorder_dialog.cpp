#include "ui/add_recorder_dialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "lang/language_table.h"

namespace velmora {

namespace {

constexpr int kMargin = 12;

const char* refusal_key(RecorderEntryError error) {
    switch (error) {
        case RecorderEntryError::BadAddress:
            return "IDS_STRING_RECORDER_BAD_ADDRESS";
        case RecorderEntryError::BadPort:
            return "IDS_STRING_RECORDER_BAD_PORT";
        case RecorderEntryError::EmptyName:
            return "IDS_STRING_RECORDER_NO_NAME";
        case RecorderEntryError::LongName:
            return "IDS_STRING_RECORDER_LONG_NAME";
        case RecorderEntryError::BadChannels:
            break;  // the list offers only 4 and 8
    }
    return "IDS_STRING_RECORDER_BAD_ADDRESS";
}

}  // namespace

AddRecorderDialog::AddRecorderDialog(const LanguageTable& texts, QWidget* parent)
    : SubDialog(parent), texts_(texts) {
    setObjectName(QStringLiteral("add_recorder_dialog"));
    setModal(true);
    apply_dialog_palette(this);
    message_sink = [this](const QString& message) { QMessageBox::warning(this, title(), message); };
    set_title(text("IDC_ADDREC_TITLE"));

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    auto* form = new QFormLayout;
    address_ = new QLineEdit(this);
    address_->setPlaceholderText(QStringLiteral("192.168.1.20"));
    port_ = new QLineEdit(QString::number(kDefaultRecorderPort), this);
    name_ = new QLineEdit(this);
    name_->setMaxLength(static_cast<int>(kMaxRecorderNameBytes));
    channels_ = new QComboBox(this);
    channels_->addItems({QStringLiteral("4"), QStringLiteral("8")});
    form->addRow(text("IDC_ADDREC_ADDRESS"), address_);
    form->addRow(text("IDC_ADDREC_PORT"), port_);
    form->addRow(text("IDC_ADDREC_NAME"), name_);
    form->addRow(text("IDC_ADDREC_CHANNELS"), channels_);
    page->addLayout(form);

    auto* buttons = new QHBoxLayout;
    ok_ = new QPushButton(text("IDC_BTN_OK"), this);
    auto* cancel = new QPushButton(text("IDCANCEL"), this);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &AddRecorderDialog::confirm);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    page->addLayout(buttons);
    resize(340, sizeHint().height());
}

QString AddRecorderDialog::text(const char* key) const {
    return QString::fromStdString(texts_.text(key));
}

void AddRecorderDialog::confirm() {
    const RecorderEntry entry =
        make_manual_recorder(address_->text().toStdString(), port_->text().toStdString(),
                             name_->text().toStdString(), channels_->currentText().toInt());
    if (!entry.recorder) {
        message_sink(text(refusal_key(entry.error)));
        return;
    }
    recorder_ = entry.recorder;
    accept();
}

}  // namespace velmora
