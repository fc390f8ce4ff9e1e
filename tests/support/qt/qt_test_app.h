// One QApplication for a whole GUI test program, created in a GoogleTest environment (a static
// application object crashes at exit). Screenshots go to the build's artifacts folder.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QString>
#include <QWidget>
#include <memory>

namespace fleet_test {

class QtTestApp : public ::testing::Environment {
  public:
    void SetUp() override;
    void TearDown() override;

  private:
    std::unique_ptr<QApplication> app_;
};

// Processes posted events until pred() is true or timeout_ms passes; returns pred().
template <typename Pred>
bool wait_until(Pred pred, int timeout_ms);

// Renders a widget (with its children) into <artifacts>/<name>.png; returns the path, or an
// empty string when it could not be written.
QString save_screenshot(QWidget& widget, const QString& name);

// The folder screenshots are written to (created on demand).
QString artifact_dir();

void process_events_for(int ms);

}  // namespace fleet_test

#include "qt_test_app_impl.h"
