#include "ui/recorded_data_dialog.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "lang/language_table.h"
#include "model/connect_mode.h"
#include "model/directories.h"
#include "model/engine_api.h"

namespace velmora {

namespace {

constexpr int kMargin = 12;
constexpr int kTimeColumnWidth = 130;
constexpr int kPositionColumnWidth = 120;
constexpr int kStatusColumnWidth = 80;
// The vehicle list's tag for a recorder whose recorded data is open.
constexpr int kRecordedConnectionType = 5;

template <typename Widget>
Widget* named(Widget* widget, int id) {
    widget->setObjectName(QString::number(id));
    return widget;
}

std::tm local_now() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

// The engine reads the name as a 32-byte block.
std::array<char, 32> name_block(const std::string& name) {
    std::array<char, 32> block{};
    std::copy_n(name.data(), std::min(name.size(), block.size() - 1), block.data());
    return block;
}

}  // namespace

RecordedDataDialog::RecordedDataDialog(const EngineApi& engine, const LanguageTable& texts,
                                       QWidget* parent)
    : SubDialog(parent), engine_(engine), texts_(texts) {
    setObjectName(QStringLiteral("2114"));
    setModal(false);
    apply_dialog_palette(this);
    message_sink = [this](const QString& message) {
        QMessageBox::information(this, title(), message);
    };
    question_sink = [this](const QString& question) {
        return QMessageBox::question(this, title(), question,
                                     QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
    };
    clock = local_now;
    build_controls();
    retranslate();
    resize(420, 460);
}

QString RecordedDataDialog::text(const char* key) const {
    return QString::fromStdString(texts_.text(key));
}

void RecordedDataDialog::build_controls() {
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    page->setSpacing(8);

    rows_ = named(new QTreeWidget(this), kRows);
    rows_->setColumnCount(3);
    rows_->setRootIsDecorated(false);
    rows_->setSelectionBehavior(QAbstractItemView::SelectRows);
    rows_->setUniformRowHeights(true);
    // At least the width of a whole time in this font.
    const int time_width =
        rows_->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + 16;
    rows_->setColumnWidth(0, std::max(kTimeColumnWidth, time_width));
    rows_->setColumnWidth(1, kPositionColumnWidth);
    rows_->setColumnWidth(2, kStatusColumnWidth);
    connect(rows_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int) {
        row_double_clicked(rows_->indexOfTopLevelItem(item));
    });
    page->addWidget(rows_, 1);

    auto* times = new QGridLayout;
    start_label_ = named(new QLabel(this), kStartLabel);
    end_label_ = named(new QLabel(this), kEndLabel);
    start_time_ = named(new QLineEdit(this), kStartTime);
    end_time_ = named(new QLineEdit(this), kEndTime);
    for (QLineEdit* edit : {start_time_, end_time_}) edit->setReadOnly(true);
    reset_ = named(new QPushButton(this), kReset);
    connect(reset_, &QPushButton::clicked, this, &RecordedDataDialog::reset_selection);
    times->addWidget(start_label_, 0, 0);
    times->addWidget(start_time_, 0, 1);
    times->addWidget(end_label_, 1, 0);
    times->addWidget(end_time_, 1, 1);
    times->addWidget(reset_, 0, 2, 2, 1);
    page->addLayout(times);

    progress_ = named(new QProgressBar(this), kProgress);
    progress_->setRange(0, 100);
    page->addWidget(progress_);
    status_ = named(new QLabel(this), kStatus);
    page->addWidget(status_);

    auto* buttons = new QHBoxLayout;
    download_ = named(new QPushButton(this), kDownload);
    link_again_ = named(new QPushButton(this), kLinkAgain);
    exit_ = named(new QPushButton(this), kExit);
    for (QPushButton* button : {download_, link_again_, exit_, reset_})
        button->setAutoDefault(false);
    connect(download_, &QPushButton::clicked, this, &RecordedDataDialog::download_clicked);
    connect(link_again_, &QPushButton::clicked, this, &RecordedDataDialog::link_again);
    connect(exit_, &QPushButton::clicked, this, &RecordedDataDialog::exit_dialog);
    buttons->addWidget(download_);
    buttons->addWidget(link_again_);
    buttons->addStretch(1);
    buttons->addWidget(exit_);
    page->addLayout(buttons);
}

void RecordedDataDialog::retranslate() {
    set_title(text("IDC_NETHIS_TITLE"));
    rows_->setHeaderLabels({text("IDS_STRING298"), text("IDS_STRING299"), text("IDS_STRING300")});
    start_label_->setText(text("IDC_TEXT_STIME"));
    end_label_->setText(text("IDC_TEXT_ETIME"));
    reset_->setText(text("IDC_BUTTON_CLEAR"));
    link_again_->setText(text("IDC_BTN_LINK"));
    exit_->setText(text("IDC_BTN_EXIT"));
    show_download_caption(downloading_);
}

void RecordedDataDialog::clear_view() {
    progress_->setValue(0);
    rows_->clear();
    start_time_->clear();
    end_time_->clear();
    status_->clear();
    selection_.reset();
}

// Every open starts from a cleared dialog whose two action buttons wait for the link.
bool RecordedDataDialog::open_for(const RecordedTarget& target) {
    target_ = target;
    retranslate();
    clear_view();
    downloading_ = false;
    show_download_caption(false);
    download_->setEnabled(false);
    link_again_->setEnabled(false);
    paths_ = {};
    closing_quietly_ = false;
    return connect_link(false);
}

bool RecordedDataDialog::connect_link(bool again) {
    const std::array<char, 32> name = name_block(target_.name);
    const bool linked =
        engine_.zOpenRx(target_.address.data(), name.data(), target_.recorder_address.c_str(),
                        target_.run_mode, target_.capability, &unbound_connector) != 0;
    if (!linked) {
        if (log_sink) log_sink(texts_.text("IDS_STRING424"));
        return false;
    }
    // A live link keeps the dialog open until the index has arrived or failed.
    can_close_ = false;
    if (mark_sink) mark_sink(true, kRecordedConnectionType);
    if (again) link_again_->setEnabled(false);
    return true;
}

void RecordedDataDialog::link_event(int code, int value, const IndexRowBytes& row) {
    const RecordedLinkReaction reaction = recorded_link_reaction(code);
    if (reaction.clear_status) status_->clear();
    if (reaction.status_key != nullptr) status_->setText(text(reaction.status_key));
    if (reaction.add_row) add_row(row);
    if (reaction.message != RecordedMessage::None) handle_message(reaction.message, value);
}

void RecordedDataDialog::add_row(const IndexRowBytes& bytes) {
    const IndexRow row = parse_index_row(bytes);
    auto* item = new QTreeWidgetItem(QStringList{
        QString::fromStdString(index_row_time_text(row.time)),
        QString::fromStdString(index_row_position_text(row.position)),
        QString::fromStdString(index_row_status_text(index_row_event_type(row), event_names_))});
    rows_->addTopLevelItem(item);
}

void RecordedDataDialog::tell(const char* key) {
    if (isVisible()) message_sink(text(key));
}

void RecordedDataDialog::handle_message(RecordedMessage message, int value) {
    using M = RecordedMessage;
    switch (message) {
        case M::LinkFailed:
            tell("IDS_STRING310");
            can_close_ = true;
            link_again_->setEnabled(true);
            return;
        case M::IndexFailed:
            tell("IDS_STRING311");
            can_close_ = true;
            close();
            return;
        case M::IndexComplete:
            tell("IDS_STRING312");
            can_close_ = true;
            download_->setEnabled(true);
            return;
        case M::DownloadFailed:
        case M::LinkBroken:
            tell(message == M::DownloadFailed ? "IDS_STRING313" : "IDS_STRING314");
            can_close_ = true;
            downloading_ = false;
            show_download_caption(false);
            return;
        case M::Progress:
            progress_->setValue(std::clamp(value, 0, 100));
            return;
        case M::DownloadComplete:
            // The session closes the link and opens the files; the dialog only goes away.
            can_close_ = true;
            closing_quietly_ = true;
            downloading_ = false;
            show_download_caption(false);
            close();
            return;
        case M::None:
            return;
    }
}

void RecordedDataDialog::row_double_clicked(int row) {
    if (row < 0 || row >= rows_->topLevelItemCount()) return;
    const QString time = rows_->topLevelItem(row)->text(0);
    (selection_.click(row) ? start_time_ : end_time_)->setText(time);
}

void RecordedDataDialog::reset_selection() {
    start_time_->clear();
    end_time_->clear();
    selection_.reset();
}

void RecordedDataDialog::download_clicked() {
    downloading_ ? stop_download() : start_download();
}

void RecordedDataDialog::start_download() {
    if (!selection_.valid()) {
        message_sink(text("IDS_STRING315"));
        return;
    }
    if (!ensure_directory(download_folder_)) {
        message_sink(text("IDS_STRING316"));
        return;
    }
    const DownloadPaths paths = download_paths(download_folder_, target_.name, clock());
    if (engine_.zDownload(selection_.start_row(), selection_.end_row(), paths.dvr.c_str(),
                          paths.inx.c_str()) == 0) {
        message_sink(text("IDS_STRING317"));
        return;
    }
    paths_ = paths;
    status_->setText(text("IDS_STRING321"));
    can_close_ = false;
    downloading_ = true;
    show_download_caption(true);
}

void RecordedDataDialog::stop_download() {
    engine_.zStopDownload();
    const QString question = text("IDS_STRING320") + QStringLiteral("\n\n") +
                             QString::fromStdString(paths_.dvr) + QStringLiteral("\n") +
                             QString::fromStdString(paths_.inx);
    if (!question_sink(question)) delete_download_files();
    paths_ = {};
    can_close_ = true;
    downloading_ = false;
    show_download_caption(false);
    progress_->setValue(0);
    status_->clear();
}

void RecordedDataDialog::show_download_caption(bool downloading) {
    download_->setText(text(downloading ? "IDS_STRING309" : "IDC_BTN_DOWNLOAD"));
}

void RecordedDataDialog::delete_download_files() {
    std::error_code ignored;
    for (const std::string* path : {&paths_.dvr, &paths_.inx})
        if (!path->empty()) std::filesystem::remove(*path, ignored);
}

void RecordedDataDialog::link_again() {
    clear_view();
    connect_link(true);
}

void RecordedDataDialog::exit_dialog() {
    engine_.zStopDownload();
    delete_download_files();
    paths_ = {};
    downloading_ = false;
    show_download_caption(false);
    can_close_ = true;
    close();
}

DownloadPaths RecordedDataDialog::take_finished_download() {
    DownloadPaths finished = paths_;
    paths_ = {};
    return finished;
}

// A close leaves the recorder unmarked and closes its link, unless a live link or a download
// would be cut: then the operator is told, and Exit is the way out.
void RecordedDataDialog::closeEvent(QCloseEvent* event) {
    if (!can_close_) {
        event->ignore();
        message_sink(text("IDS_STRING318"));
        return;
    }
    if (mark_sink) mark_sink(false, kRecordedConnectionType);
    if (!closing_quietly_) engine_.zPlayMSG(KIVRA_CMD_CLOSE, 0, 0, 0, nullptr);
    closing_quietly_ = false;
    // Not QDialog's close handling: it would reject(), which comes back here.
    event->accept();
}

void RecordedDataDialog::reject() {
    close();
}

}  // namespace velmora
