#include "ui/other_settings_dialog.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "lang/language_table.h"
#include "model/app_config.h"
#include "model/directories.h"
#include "model/operation_log.h"

namespace velmora {
namespace {

// The configuration kept directories in 260-character buffers.
constexpr int kMaxDirectoryChars = 259;
constexpr int kMargin = 14;

QString qt_text(const LanguageTable& texts, std::string_view key) {
    return QString::fromStdString(texts.text(key));
}

QLineEdit* make_edit(const char* object_name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(object_name));
    return edit;
}

QLabel* make_label(const char* object_name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(object_name));
    return label;
}

QPushButton* make_button(const char* object_name, QWidget* parent) {
    auto* button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(object_name));
    button->setAutoDefault(false);
    return button;
}

bool has_lang_suffix(const QString& name) {
    return name.endsWith(QStringLiteral(".lang"), Qt::CaseInsensitive);
}

}  // namespace

std::vector<LanguageChoice> list_language_choices(const std::string& lang_dir) {
    std::vector<LanguageChoice> choices{{QStringLiteral("English"), std::string()}};
    const QDir dir(QString::fromStdString(lang_dir));
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString& name : names) {
        if (!has_lang_suffix(name)) continue;
        const std::string display = LanguageTable::display_name(dir.filePath(name).toStdString());
        if (display.empty()) continue;
        choices.push_back({QString::fromStdString(display), name.toStdString()});
    }
    std::stable_sort(choices.begin(), choices.end(),
                     [](const LanguageChoice& a, const LanguageChoice& b) {
                         return a.display_name.compare(b.display_name, Qt::CaseInsensitive) < 0;
                     });
    return choices;
}

OtherSettingsDialog::OtherSettingsDialog(AppConfig& config, LanguageTable& texts,
                                         std::string config_path, std::string lang_dir,
                                         std::function<void()> on_language_changed, QWidget* parent)
    : SubDialog(parent),
      message_sink(
          [this](const QString& text) { QMessageBox::warning(this, windowTitle(), text); }),
      config_(config),
      texts_(texts),
      config_path_(std::move(config_path)),
      lang_dir_(std::move(lang_dir)),
      on_language_changed_(std::move(on_language_changed)) {
    setObjectName(QStringLiteral("2111"));
    apply_dialog_palette(this);
    build_controls();
    fill_values();
    fill_languages();
    retranslate();
    resize(560, sizeHint().height());
}

void OtherSettingsDialog::build_controls() {
    language_label_ = make_label("19017", this);
    log_label_ = make_label("19000", this);
    jpeg_label_ = make_label("19003", this);
    screen_label_ = make_label("19006", this);
    time_span_label_ = make_label("19009", this);
    language_ = new QComboBox(this);
    language_->setObjectName(QStringLiteral("19018"));
    log_dir_ = make_edit("19001", this);
    jpeg_dir_ = make_edit("19004", this);
    screen_dir_ = make_edit("19007", this);
    time_span_ = make_edit("19010", this);
    for (QLineEdit* edit : {log_dir_, jpeg_dir_, screen_dir_})
        edit->setMaxLength(kMaxDirectoryChars);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(10);
    grid->setColumnStretch(1, 1);
    grid->addWidget(language_label_, 0, 0);
    grid->addWidget(language_, 0, 1);
    const std::pair<QLabel*, QLineEdit*> rows[] = {
        {log_label_, log_dir_}, {jpeg_label_, jpeg_dir_}, {screen_label_, screen_dir_}};
    const char* browse_ids[] = {"19002", "19005", "19008"};
    int row = 1;
    for (const auto& [label, edit] : rows) {
        QPushButton* browse = make_button(browse_ids[row - 1], this);
        browse->setText(QStringLiteral("..."));
        browse->setFixedWidth(32);
        QLineEdit* target = edit;
        connect(browse, &QPushButton::clicked, this, [this, target] { browse_into(target); });
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        grid->addWidget(browse, row, 2);
        ++row;
    }
    grid->addWidget(time_span_label_, row, 0);
    grid->addWidget(time_span_, row, 1);

    ok_ = make_button("19014", this);
    apply_ = make_button("19015", this);
    exit_ = make_button("19016", this);
    connect(ok_, &QPushButton::clicked, this, [this] {
        if (apply()) accept();
    });
    connect(apply_, &QPushButton::clicked, this, [this] { apply(); });
    connect(exit_, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* button : {ok_, apply_, exit_}) {
        button->setMinimumWidth(80);
        buttons->addWidget(button);
    }

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(kMargin, caption_height() + kMargin, kMargin, kMargin);
    page->setSpacing(16);
    page->addLayout(grid);
    page->addStretch(1);
    page->addLayout(buttons);
}

void OtherSettingsDialog::fill_values() {
    log_dir_->setText(QString::fromStdString(config_.log_dir));
    jpeg_dir_->setText(QString::fromStdString(config_.jpeg_dir));
    screen_dir_->setText(QString::fromStdString(config_.screen_capture_dir));
    time_span_->setText(QString::number(config_.max_time_span_minutes));
}

void OtherSettingsDialog::fill_languages() {
    choices_ = list_language_choices(lang_dir_);
    language_->clear();
    int selected = 0;  // English when the configured file is not offered (it loaded as English)
    for (std::size_t i = 0; i < choices_.size(); ++i) {
        language_->addItem(choices_[i].display_name);
        if (choices_[i].file_name == config_.lang_file) selected = static_cast<int>(i);
    }
    language_->setCurrentIndex(selected);
}

void OtherSettingsDialog::retranslate() {
    set_title(qt_text(texts_, "ID_MENU_SETTING"));
    setWindowTitle(title());
    language_label_->setText(qt_text(texts_, "IDC_STATIC_LANGUAGE"));
    log_label_->setText(qt_text(texts_, "IDC_STATIC_LOG"));
    jpeg_label_->setText(qt_text(texts_, "IDC_STATIC_JT"));
    screen_label_->setText(qt_text(texts_, "IDC_STATIC_AVI"));
    time_span_label_->setText(qt_text(texts_, "IDC_STATIC_TIMESPAN"));
    ok_->setText(qt_text(texts_, "IDC_BTN_OK"));
    apply_->setText(qt_text(texts_, "IDC_BTN_APPLY"));
    exit_->setText(qt_text(texts_, "IDC_BTN_EXIT"));
}

void OtherSettingsDialog::browse_into(QLineEdit* edit) {
    const QString chosen = QFileDialog::getExistingDirectory(this, QString(), edit->text());
    if (!chosen.isEmpty()) edit->setText(QDir::toNativeSeparators(chosen));
}

std::string OtherSettingsDialog::selected_language_file() const {
    const int index = language_->currentIndex();
    if (index < 0 || index >= static_cast<int>(choices_.size())) return config_.lang_file;
    return choices_[static_cast<std::size_t>(index)].file_name;
}

bool OtherSettingsDialog::check_directories() {
    const std::pair<QLineEdit*, const char*> checks[] = {
        {log_dir_, "IDS_STRING367"}, {jpeg_dir_, "IDS_STRING364"}, {screen_dir_, "IDS_STRING365"}};
    for (const auto& [edit, message_key] : checks) {
        const std::string path = expand_home(edit->text().toStdString());
        // An empty log directory is allowed: the log then goes to the program folder.
        if (path.empty() && edit == log_dir_) continue;
        if (!directory_exists(path) && !ensure_directory(path)) {
            if (message_sink) message_sink(qt_text(texts_, message_key));
            return false;
        }
    }
    return true;
}

bool OtherSettingsDialog::apply() {
    if (!check_directories()) return false;
    OtherSettings settings;
    settings.lang_file = selected_language_file();
    settings.log_dir = log_dir_->text().toStdString();
    settings.jpeg_dir = jpeg_dir_->text().toStdString();
    settings.screen_capture_dir = screen_dir_->text().toStdString();
    settings.max_time_span_text = time_span_->text().toStdString();

    const bool language_changed = settings.lang_file != config_.lang_file;
    apply_other_settings(config_, settings);
    OperationLog::instance().set_directory(expand_home(config_.log_dir));
    if (language_changed) {
        // An empty name resets every text to English; load() then reports false because there
        // is no file to read, which is expected. A file that fails to load leaves English too.
        texts_.load(settings.lang_file);
        retranslate();
        if (on_language_changed_) on_language_changed_();
    }
    // A file that cannot be written keeps the old values for the next start; the running
    // viewer already uses the new ones, so Apply still counts as done.
    write_other_settings(config_path_, settings);
    return true;
}

}  // namespace velmora
