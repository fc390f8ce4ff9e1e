// One QApplication for a whole GUI test program, created in a GoogleTest environment (a static
// application object crashes at exit). Screenshots go to the build's artifacts folder.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QRect>
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

// Renders a widget (with its children), saves it as <artifacts>/<name>.png and returns the
// picture, so the test can check what it shows; a null image when it could not be written.
QImage grab_screenshot(QWidget& widget, const QString& name);

// What a picture shows, in a region of it (the whole picture for an empty region).
// True when every pixel of the region has one colour.
bool is_uniform(const QImage& image, const QRect& region = QRect());
// How many colours the region holds, counted up to `cap`.
int colour_count(const QImage& image, const QRect& region = QRect(), int cap = 256);
// True when some pixel of the region lies within `tolerance` of the colour on every channel.
bool shows_colour(const QImage& image, const QColor& colour, const QRect& region = QRect(),
                  int tolerance = 8);
// The region of `child` inside the picture of `top` (a widget it belongs to).
QRect region_of(const QWidget& child, const QWidget& top);

// The folder screenshots are written to (created on demand).
QString artifact_dir();

void process_events_for(int ms);

}  // namespace fleet_test

#include "qt_test_app_impl.h"
