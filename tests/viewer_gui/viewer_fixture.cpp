#include "viewer_fixture.h"

#include <QAbstractButton>
#include <QTest>
#include <algorithm>
#include <filesystem>

#include "model/operation_log.h"
#include "qt_test_app.h"
#include "skin/skin_static.h"

namespace velmora::test {

Recording make_recording(const fleet::test::TempDir& dir, const std::string& name, int channels,
                         int seconds) {
    const std::string base = dir.file(name);
    auto result = fleet::test::run_process(
        {DVRSIM_PATH, "record", "--out", base, "--channels", std::to_string(channels),
         "--stream-version", "3", "--seconds", std::to_string(seconds), "--resolution", "d1",
         "--fps", "12", "--vehicle-id", "BUS-0042", "--seed", "7"});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    return {base + ".dvr", base + ".inx"};
}

bool in_order(const std::vector<std::string>& lines, const std::vector<std::string>& expected) {
    auto it = lines.begin();
    for (const std::string& want : expected) {
        it = std::find(it, lines.end(), want);
        if (it == lines.end()) return false;
        ++it;
    }
    return true;
}

void ViewerTest::SetUp() {
    old_cwd_ = std::filesystem::current_path().string();
    // The configuration and language files are found relative to the working directory.
    std::filesystem::current_path(dir_.path());
    std::filesystem::create_directories("config/lang");
    texts_ = std::make_unique<LanguageTable>(".");
    context_.config = load_app_config(kAppConfigPath);
    context_.config.log_dir = dir_.file("log");
    std::filesystem::create_directories(context_.config.log_dir);
    context_.config_path = kAppConfigPath;
    context_.texts = texts_.get();
    context_.program_dir = VELMORA_PROGRAM_DIR;
    context_.web_maps = false;
}

void ViewerTest::TearDown() {
    if (window_) {
        // The engine keeps an open source across zRelease, so the window must close the way
        // an operator's close does: stop, close the source, then the window.
        window_->close();
        EXPECT_TRUE(fleet_test::wait_until([&] { return !window_->isVisible(); }, 8000));
        window_.reset();
    }
    std::filesystem::current_path(old_cwd_);
}

void ViewerTest::start_window() {
    const fleet::Status bound = engine_.bind(context_.program_dir);
    ASSERT_TRUE(bound) << bound.error().message;
    window_ = std::make_unique<MainWindow>(context_, engine_);
    window_->message_sink = [this](const QString& text) { messages_.push_back(text); };
    window_->question_sink = [this](const QString& text) {
        messages_.push_back(text);
        return true;
    };
    ASSERT_TRUE(window_->start());
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
}

QString ViewerTest::status() const {
    return window_->findChild<SkinStatic*>(QStringLiteral("10006"))->text();
}

std::vector<std::string> ViewerTest::log_lines() const {
    const std::string path = context_.config.log_dir + "/" + log_file_name(local_time_now());
    std::vector<std::string> lines;
    for (const std::string& line : fleet::test::split_lines(fleet::test::read_file(path))) {
        // "hh:mm:ss [Viewer]: text"
        const auto tag = line.find("[Viewer]: ");
        if (tag != std::string::npos) lines.push_back(line.substr(tag + 10));
    }
    return lines;
}

void ViewerTest::click(int id) {
    auto* button = window_->findChild<QAbstractButton*>(QString::number(id));
    ASSERT_NE(button, nullptr) << id;
    ASSERT_TRUE(button->isVisible() && button->isEnabled()) << id;
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
}

bool ViewerTest::button_shown(int id) const {
    auto* button = window_->findChild<QAbstractButton*>(QString::number(id));
    return button != nullptr && button->isVisible() && button->isEnabled();
}

bool ViewerTest::wait_status(const QString& text, int timeout_ms) {
    if (fleet_test::wait_until([&] { return status() == text; }, timeout_ms)) return true;
    ADD_FAILURE() << "status \"" << status().toStdString() << "\", not \"" << text.toStdString()
                  << "\"; the log:" << joined_log();
    return false;
}

std::string ViewerTest::joined_log() const {
    std::string all;
    for (const std::string& line : log_lines()) all += "\n  " + line;
    return all;
}

}  // namespace velmora::test
