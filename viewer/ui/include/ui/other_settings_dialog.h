// The "Other" settings: interface language, the log, picture and screen recording directories
// and the longest screen recording. Apply updates the running configuration, the operation log
// directory and the configuration file.
#pragma once

#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "skin/sub_dialog.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace velmora {

struct AppConfig;
class LanguageTable;

struct LanguageChoice {
    QString display_name;
    std::string file_name;  // empty for the built-in English
};

// Built-in English plus every "*.lang" file (suffix in any case) of lang_dir with a non-empty
// display name, sorted by display name without regard to case. English is always offered.
std::vector<LanguageChoice> list_language_choices(const std::string& lang_dir);

class OtherSettingsDialog : public SubDialog {
    Q_OBJECT
  public:
    OtherSettingsDialog(AppConfig& config, LanguageTable& texts, std::string config_path,
                        std::string lang_dir, std::function<void()> on_language_changed,
                        QWidget* parent = nullptr);

    // Checks (and creates) the directories, updates the configuration and, when another language
    // was chosen, loads it and calls on_language_changed; then writes the configuration file.
    // False, with nothing changed, when a directory cannot be created (its message is shown).
    bool apply();
    // Sets the dialog's own labels, buttons and title from the language table.
    void retranslate();

    // Where messages go; shows a message box unless replaced.
    std::function<void(const QString&)> message_sink;

    QComboBox* language_combo() { return language_; }
    const std::vector<LanguageChoice>& language_choices() const { return choices_; }
    QLineEdit* log_dir_edit() { return log_dir_; }
    QLineEdit* jpeg_dir_edit() { return jpeg_dir_; }
    QLineEdit* screen_dir_edit() { return screen_dir_; }
    QLineEdit* time_span_edit() { return time_span_; }
    QPushButton* ok_button() { return ok_; }
    QPushButton* apply_button() { return apply_; }
    QPushButton* exit_button() { return exit_; }

  private:
    void build_controls();
    void fill_values();
    void fill_languages();
    void browse_into(QLineEdit* edit);
    bool check_directories();
    std::string selected_language_file() const;

    AppConfig& config_;
    LanguageTable& texts_;
    std::string config_path_;
    std::string lang_dir_;
    std::function<void()> on_language_changed_;
    std::vector<LanguageChoice> choices_;

    QLabel* language_label_ = nullptr;
    QLabel* log_label_ = nullptr;
    QLabel* jpeg_label_ = nullptr;
    QLabel* screen_label_ = nullptr;
    QLabel* time_span_label_ = nullptr;
    QComboBox* language_ = nullptr;
    QLineEdit* log_dir_ = nullptr;
    QLineEdit* jpeg_dir_ = nullptr;
    QLineEdit* screen_dir_ = nullptr;
    QLineEdit* time_span_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* apply_ = nullptr;
    QPushButton* exit_ = nullptr;
};

}  // namespace velmora
