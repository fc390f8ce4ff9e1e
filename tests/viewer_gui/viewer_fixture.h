// A main window over the real engine from the built program folder, with its configuration,
// logs and recordings in a temporary directory.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "lang/language_table.h"
#include "model/engine_host.h"
#include "process.h"
#include "ui/main_window.h"

namespace velmora::test {

struct Recording {
    std::string dvr;
    std::string inx;
};

// dvrsim recording of the given channels and length (D1, stream version 3).
Recording make_recording(const fleet::test::TempDir& dir, const std::string& name, int channels,
                         int seconds);

// The lines appear in this order (others may come in between).
bool in_order(const std::vector<std::string>& lines, const std::vector<std::string>& expected);

class ViewerTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Builds and starts the window; messages are collected instead of shown.
    void start_window();
    QString status() const;
    std::vector<std::string> log_lines() const;
    // The log as one text, for failure messages.
    std::string joined_log() const;
    // Clicks a control-bar or toolbar button as the mouse would.
    void click(int id);
    bool button_shown(int id) const;
    bool wait_status(const QString& text, int timeout_ms = 10000);

    fleet::test::TempDir dir_;
    std::string old_cwd_;
    std::unique_ptr<LanguageTable> texts_;
    ViewerContext context_;
    EngineHost engine_;  // outlives the window
    std::unique_ptr<MainWindow> window_;
    std::vector<QString> messages_;
};

}  // namespace velmora::test
