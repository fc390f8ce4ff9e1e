#include "ui/log_manager_dialog.h"

#include <QListWidget>

#include "lang/language_table.h"
#include "model/operation_log.h"
#include "skin/skin_scroll.h"

namespace velmora {
namespace {

constexpr int kMargin = 10;
constexpr int kDaysWidth = 150;

QListWidget* make_list(const char* object_name, QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setObjectName(QString::fromLatin1(object_name));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    wrap_with_skin_scroll(list);
    return list;
}

}  // namespace

LogManagerDialog::LogManagerDialog(const std::string& log_dir, const LanguageTable& texts,
                                   QWidget* parent)
    : SubDialog(parent),
      log_dir_(log_dir),
      days_(make_list("15000", this)),
      lines_(make_list("15001", this)) {
    setObjectName(QStringLiteral("2106"));
    apply_dialog_palette(this);
    set_title(QString::fromStdString(texts.text("ID_MENU_LOG_MGR")));
    lines_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(days_, &QListWidget::currentRowChanged, this, &LogManagerDialog::show_day);
    resize(760, 480);
    fill_days();
}

void LogManagerDialog::fill_days() {
    days_->clear();
    int newest_day = -1;  // days come first, oldest to newest; other log files follow
    for (const std::string& name : prune_and_list_log_days(log_dir_)) {
        if (is_log_day_name(name)) newest_day = days_->count();
        days_->addItem(QString::fromStdString(name));
    }
    if (days_->count() > 0) days_->setCurrentRow(newest_day >= 0 ? newest_day : days_->count() - 1);
}

void LogManagerDialog::show_day(int row) {
    lines_->clear();
    const QListWidgetItem* entry = days_->item(row);
    if (entry == nullptr) return;
    for (const std::string& line : read_log_lines(log_dir_, entry->text().toStdString())) {
        lines_->addItem(QString::fromStdString(line));
    }
}

void LogManagerDialog::resizeEvent(QResizeEvent* event) {
    SubDialog::resizeEvent(event);
    const int top = caption_height() + kMargin;
    const int list_height = height() - top - kMargin;
    days_->setGeometry(kMargin, top, kDaysWidth, list_height);
    const int lines_left = kMargin + kDaysWidth + kMargin;
    lines_->setGeometry(lines_left, top, width() - lines_left - kMargin, list_height);
}

}  // namespace velmora
