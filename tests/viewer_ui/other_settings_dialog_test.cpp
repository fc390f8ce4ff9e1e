#include "ui/other_settings_dialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <fstream>

#include "lang/language_table.h"
#include "model/app_config.h"
#include "model/ini_file.h"
#include "model/operation_log.h"
#include "process.h"
#include "qt_test_app.h"
#include "skin/sub_dialog.h"
#include "skin/theme.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using fleet::test::TempDir;

void write_text(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A working folder with config/lang/ and an AppConfig.ini path, and a dialog over them.
class SettingsDialogTest : public ::testing::Test {
  protected:
    SettingsDialogTest() : texts(base.path()) {
        fs::create_directories(lang_dir());
        config.log_dir = base.file("log");
        config.jpeg_dir = base.file("pic");
        config.screen_capture_dir = base.file("capture");
        config.max_time_span_minutes = 30;
    }

    std::string lang_dir() const { return base.file("config/lang"); }
    std::string config_path() const { return base.file("AppConfig.ini"); }
    void add_language(const std::string& file, const std::string& content) {
        write_text(lang_dir() + "/" + file, content);
    }

    std::unique_ptr<OtherSettingsDialog> open_dialog() {
        auto dialog = std::make_unique<OtherSettingsDialog>(
            config, texts, config_path(), lang_dir(), [this] { ++language_changes; });
        dialog->message_sink = [this](const QString& text) { messages << text; };
        return dialog;
    }

    static QStringList combo_names(const QComboBox& combo) {
        QStringList names;
        for (int i = 0; i < combo.count(); ++i) names << combo.itemText(i);
        return names;
    }

    static void select_language(OtherSettingsDialog& dialog, const QString& name) {
        const int index = dialog.language_combo()->findText(name);
        ASSERT_GE(index, 0) << name.toStdString();
        dialog.language_combo()->setCurrentIndex(index);
    }

    TempDir base;
    LanguageTable texts;
    AppConfig config;
    int language_changes = 0;
    QStringList messages;
};

TEST_F(SettingsDialogTest, LanguagesAreSortedWithEnglishAlwaysOfferedAndNamelessFilesSkipped) {
    add_language("de.lang", "Language=Deutsch\nIDC_BTN_OK=Gut\n");
    add_language("ar.LANG", "Language=Arabic\n");
    add_language("bg.Lang", "Language=bulgarian\n");
    add_language("zh.lang", "Language=\xE4\xB8\xAD\xE6\x96\x87\n");
    add_language("blank.lang", "Language=\nIDC_BTN_OK=?\n");
    add_language("none.lang", "IDC_BTN_OK=?\n");
    add_language("other.txt", "Language=Other\n");
    fs::create_directory(lang_dir() + "/folder.lang");
    auto dialog = open_dialog();
    EXPECT_EQ(combo_names(*dialog->language_combo()),
              (QStringList{"Arabic", "bulgarian", "Deutsch", "English",
                           QString::fromUtf8("\xE4\xB8\xAD\xE6\x96\x87")}));
    EXPECT_EQ(dialog->language_choices()[3].file_name, "");
    EXPECT_EQ(dialog->language_choices()[1].file_name, "bg.Lang");
    EXPECT_EQ(dialog->language_combo()->currentText(), QStringLiteral("English"));
}

TEST_F(SettingsDialogTest, EnglishIsOfferedWhenEveryNameSortsBeforeIt) {
    add_language("ar.lang", "Language=Arabic\n");
    add_language("de.lang", "Language=Deutsch\n");
    config.lang_file = "de.lang";
    auto dialog = open_dialog();
    EXPECT_EQ(combo_names(*dialog->language_combo()),
              (QStringList{"Arabic", "Deutsch", "English"}));
    EXPECT_EQ(dialog->language_combo()->currentText(), QStringLiteral("Deutsch"));
}

TEST_F(SettingsDialogTest, NoLanguageFilesStillOffersEnglish) {
    fs::remove_all(lang_dir());
    auto dialog = open_dialog();
    EXPECT_EQ(combo_names(*dialog->language_combo()), QStringList{"English"});
    EXPECT_TRUE(dialog->apply());
    EXPECT_EQ(language_changes, 0);
}

TEST_F(SettingsDialogTest, ControlsShowTheCurrentValuesAndIds) {
    auto dialog = open_dialog();
    EXPECT_EQ(dialog->log_dir_edit()->text().toStdString(), config.log_dir);
    EXPECT_EQ(dialog->jpeg_dir_edit()->text().toStdString(), config.jpeg_dir);
    EXPECT_EQ(dialog->screen_dir_edit()->text().toStdString(), config.screen_capture_dir);
    EXPECT_EQ(dialog->time_span_edit()->text(), QStringLiteral("30"));
    EXPECT_EQ(dialog->language_combo()->objectName(), QStringLiteral("19018"));
    EXPECT_EQ(dialog->log_dir_edit()->objectName(), QStringLiteral("19001"));
    EXPECT_EQ(dialog->time_span_edit()->objectName(), QStringLiteral("19010"));
    EXPECT_EQ(dialog->ok_button()->text(), QStringLiteral("Ok"));
    EXPECT_EQ(dialog->apply_button()->text(), QStringLiteral("Apply"));
    EXPECT_EQ(dialog->exit_button()->text(), QStringLiteral("Exit"));
    EXPECT_NE(dialog->findChild<QPushButton*>(QStringLiteral("19005")), nullptr);
}

TEST_F(SettingsDialogTest, UncreatableDirectoryStopsApplyWithItsMessageAndChangesNothing) {
    write_text(base.file("plainfile"), "not a folder");
    const std::string blocked = base.file("plainfile/sub");
    struct Case {
        QLineEdit* (OtherSettingsDialog::*edit)();
        const char* message;
    };
    const Case cases[] = {
        {&OtherSettingsDialog::log_dir_edit, "Can't create the log file default directory!"},
        {&OtherSettingsDialog::jpeg_dir_edit, "Can't create the jepg file default directory!"},
        {&OtherSettingsDialog::screen_dir_edit,
         "Can't create the screen avi file default directory!"},
    };
    add_language("de.lang", "Language=Deutsch\nIDC_BTN_OK=Gut\n");
    const AppConfig before = config;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        messages.clear();
        auto dialog = open_dialog();
        select_language(*dialog, QStringLiteral("Deutsch"));
        dialog->time_span_edit()->setText(QStringLiteral("45"));
        ((*dialog).*(c.edit))()->setText(QString::fromStdString(blocked));
        EXPECT_FALSE(dialog->apply());
        EXPECT_EQ(messages, QStringList{QString::fromUtf8(c.message)});
        EXPECT_EQ(config.log_dir, before.log_dir);
        EXPECT_EQ(config.jpeg_dir, before.jpeg_dir);
        EXPECT_EQ(config.screen_capture_dir, before.screen_capture_dir);
        EXPECT_EQ(config.max_time_span_minutes, 30);
        EXPECT_EQ(config.lang_file, "");
        EXPECT_EQ(texts.text("IDC_BTN_OK"), "Ok");
        EXPECT_EQ(language_changes, 0);
        EXPECT_FALSE(fs::exists(config_path()));
    }
}

TEST_F(SettingsDialogTest, ApplyCreatesDirectoriesUpdatesConfigLogAndFile) {
    auto dialog = open_dialog();
    const std::string log_dir = base.file("new/log/deeper");
    const std::string pic_dir = base.file("new/pic");
    const std::string avi_dir = base.file("new/avi");
    dialog->log_dir_edit()->setText(QString::fromStdString(log_dir));
    dialog->jpeg_dir_edit()->setText(QString::fromStdString(pic_dir));
    dialog->screen_dir_edit()->setText(QString::fromStdString(avi_dir));
    dialog->time_span_edit()->setText(QStringLiteral("abc"));
    ASSERT_TRUE(dialog->apply());
    EXPECT_TRUE(messages.isEmpty());
    for (const auto& dir : {log_dir, pic_dir, avi_dir}) EXPECT_TRUE(fs::is_directory(dir)) << dir;

    EXPECT_EQ(config.log_dir, log_dir);
    EXPECT_EQ(config.jpeg_dir, pic_dir);
    EXPECT_EQ(config.screen_capture_dir, avi_dir);
    EXPECT_EQ(config.max_time_span_minutes, 0);
    // The next log line goes to the new directory.
    EXPECT_EQ(OperationLog::instance().directory(), log_dir);

    const IniFile ini(config_path());
    EXPECT_EQ(ini.get_string("ScreenCaptureSetting", "DefaultMAXTimeSpan", "?"), "abc");
    EXPECT_EQ(ini.get_string("MutiLanguage", "LangFile", "?"), "");
    const AppConfig reread = load_app_config(config_path());
    EXPECT_EQ(reread.log_dir, log_dir);
    EXPECT_EQ(reread.jpeg_dir, pic_dir);
    EXPECT_EQ(reread.screen_capture_dir, avi_dir);
    EXPECT_EQ(reread.max_time_span_minutes, 0);
    EXPECT_EQ(language_changes, 0) << "an unchanged language is not reloaded";

    dialog->time_span_edit()->setText(QStringLiteral("12min"));
    ASSERT_TRUE(dialog->apply());
    EXPECT_EQ(config.max_time_span_minutes, 12);
    EXPECT_EQ(load_app_config(config_path()).max_time_span_minutes, 12);
}

TEST_F(SettingsDialogTest, SwitchingLanguageReloadsOnceAndRetranslatesTheDialog) {
    add_language("de.lang",
                 "Language=Deutsch\nIDC_BTN_OK=Gut\nIDC_BTN_EXIT=Beenden\n"
                 "IDC_STATIC_LANGUAGE=Sprache\nID_MENU_SETTING=Einstellungen\n");
    auto dialog = open_dialog();
    select_language(*dialog, QStringLiteral("Deutsch"));
    ASSERT_TRUE(dialog->apply());
    EXPECT_EQ(language_changes, 1);
    EXPECT_EQ(config.lang_file, "de.lang");
    EXPECT_EQ(texts.text("IDC_BTN_OK"), "Gut");
    EXPECT_EQ(dialog->ok_button()->text(), QStringLiteral("Gut"));
    EXPECT_EQ(dialog->exit_button()->text(), QStringLiteral("Beenden"));
    EXPECT_EQ(dialog->apply_button()->text(), QStringLiteral("Apply"))
        << "missing keys stay English";
    EXPECT_EQ(dialog->title(), QStringLiteral("Einstellungen"));
    EXPECT_EQ(IniFile(config_path()).get_string("MutiLanguage", "LangFile", "?"), "de.lang");

    ASSERT_TRUE(dialog->apply());
    EXPECT_EQ(language_changes, 1) << "the same language again does not reload";

    select_language(*dialog, QStringLiteral("English"));
    ASSERT_TRUE(dialog->apply());
    EXPECT_EQ(language_changes, 2);
    EXPECT_EQ(config.lang_file, "");
    EXPECT_EQ(texts.text("IDC_BTN_OK"), "Ok");
    EXPECT_EQ(dialog->ok_button()->text(), QStringLiteral("Ok"));
    EXPECT_EQ(IniFile(config_path()).get_string("MutiLanguage", "LangFile", "?"), "");
}

TEST_F(SettingsDialogTest, OkClosesOnlyAfterASuccessfulApplyAndExitWritesNothing) {
    write_text(base.file("plainfile"), "x");
    {
        auto dialog = open_dialog();
        dialog->show();
        dialog->jpeg_dir_edit()->setText(QString::fromStdString(base.file("plainfile/x")));
        dialog->ok_button()->click();
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(messages.size(), 1);
        dialog->jpeg_dir_edit()->setText(QString::fromStdString(base.file("fine")));
        dialog->ok_button()->click();
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
        EXPECT_EQ(config.jpeg_dir, base.file("fine"));
    }
    fs::remove(config_path());
    {
        auto dialog = open_dialog();
        dialog->show();
        dialog->time_span_edit()->setText(QStringLiteral("99"));
        dialog->exit_button()->click();
        EXPECT_EQ(dialog->result(), QDialog::Rejected);
        EXPECT_EQ(config.max_time_span_minutes, 30);
        EXPECT_FALSE(fs::exists(config_path()));
    }
}

TEST_F(SettingsDialogTest, Screenshot) {
    add_language("de.lang", "Language=Deutsch\n");
    add_language("zh.lang", "Language=\xE4\xB8\xAD\xE6\x96\x87\n");
    config.log_dir = "/home/operator/DVR/log";
    config.jpeg_dir = "/home/operator/DVR/pic";
    config.screen_capture_dir = "/home/operator/DVR/capture";
    auto dialog = open_dialog();
    dialog->show();
    fleet_test::process_events_for(30);
    const QImage shot = fleet_test::grab_screenshot(*dialog, QStringLiteral("settings_dialog"));
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(fleet_test::shows_colour(shot, theme::kCaption,
                                         QRect(0, 0, shot.width(), SubDialog::caption_height())));
    // The edits show their paths, the combo box its language, the buttons their captions.
    for (const QWidget* filled : {static_cast<QWidget*>(dialog->log_dir_edit()),
                                  static_cast<QWidget*>(dialog->jpeg_dir_edit()),
                                  static_cast<QWidget*>(dialog->language_combo()),
                                  static_cast<QWidget*>(dialog->ok_button())}) {
        EXPECT_GT(fleet_test::colour_count(shot, fleet_test::region_of(*filled, *dialog)), 8)
            << filled->objectName().toStdString();
    }
}

}  // namespace
}  // namespace velmora
