#include "ui/about_dialog.h"

#include <QLabel>

namespace velmora {
namespace {

QString library_line(const char* library, const std::array<std::string, 3>& info) {
    return QStringLiteral("\n\n%1 version %2 %3 %4")
        .arg(QString::fromUtf8(library), QString::fromStdString(info[0]),
             QString::fromStdString(info[1]), QString::fromStdString(info[2]));
}

}  // namespace

QString about_text(const QString& viewer_line, const std::array<std::string, 3>& extract_info,
                   const std::array<std::string, 3>& engine_info) {
    return viewer_line + library_line("libombrel.so", extract_info) +
           library_line("libkivra.so", engine_info);
}

AboutDialog::AboutDialog(const QString& viewer_line, const std::array<std::string, 3>& extract_info,
                         const std::array<std::string, 3>& engine_info, QWidget* parent)
    : SubDialog(parent), label_(new QLabel(this)) {
    setObjectName(QStringLiteral("2124"));
    apply_dialog_palette(this);
    set_title(QStringLiteral("About"));
    label_->setObjectName(QStringLiteral("28000"));
    label_->setAlignment(Qt::AlignCenter);
    label_->setWordWrap(true);
    label_->setTextFormat(Qt::PlainText);
    QPalette pal = label_->palette();
    pal.setColor(QPalette::WindowText, Qt::white);
    label_->setPalette(pal);
    label_->setText(about_text(viewer_line, extract_info, engine_info));
    resize(420, 280);
}

QString AboutDialog::text() const {
    return label_->text();
}

void AboutDialog::resizeEvent(QResizeEvent* event) {
    SubDialog::resizeEvent(event);
    const int top = caption_height();
    label_->setGeometry(10, top + 10, width() - 20, height() - top - 20);
}

}  // namespace velmora
