#include "qt_test_app.h"

#include <QDir>
#include <QPixmap>
#include <QSet>
#include <QThreadPool>
#include <cmath>
#include <cstdlib>

namespace fleet_test {

namespace {
int g_argc = 1;
char g_arg0[] = "gui_test";
char* g_argv[] = {g_arg0, nullptr};
}  // namespace

void QtTestApp::SetUp() {
    // Tests never need a display; a developer may still override it to watch.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);  // for suites with a browser
    app_ = std::make_unique<QApplication>(g_argc, g_argv);
}

void QtTestApp::TearDown() {
    // The raster engine paints with the global thread pool. Joining its threads now, long before
    // exit, keeps the leak check from catching one with its thread data half torn down.
    QThreadPool::globalInstance()->waitForDone();
    app_.reset();
}

QString artifact_dir() {
#ifdef FLEET_ARTIFACT_DIR
    QString dir = QStringLiteral(FLEET_ARTIFACT_DIR);
#else
    QString dir = QDir::currentPath() + QStringLiteral("/artifacts");
#endif
    QDir().mkpath(dir);
    return dir;
}

QImage grab_screenshot(QWidget& widget, const QString& name) {
    const QString path = artifact_dir() + QLatin1Char('/') + name + QStringLiteral(".png");
    const QImage shot = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    return shot.save(path) ? shot : QImage();
}

namespace {

QRect clipped(const QImage& image, const QRect& region) {
    return region.isEmpty() ? image.rect() : region.intersected(image.rect());
}

}  // namespace

bool is_uniform(const QImage& image, const QRect& region) {
    return colour_count(image, region, 2) <= 1;
}

int colour_count(const QImage& image, const QRect& region, int cap) {
    QSet<QRgb> colours;
    const QRect r = clipped(image, region);
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            colours.insert(image.pixel(x, y));
            if (colours.size() >= cap) return cap;
        }
    }
    return static_cast<int>(colours.size());
}

bool shows_colour(const QImage& image, const QColor& colour, const QRect& region, int tolerance) {
    const QRect r = clipped(image, region);
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c(image.pixel(x, y));
            if (std::abs(c.red() - colour.red()) <= tolerance &&
                std::abs(c.green() - colour.green()) <= tolerance &&
                std::abs(c.blue() - colour.blue()) <= tolerance)
                return true;
        }
    }
    return false;
}

QRect region_of(const QWidget& child, const QWidget& top) {
    return QRect(child.mapTo(&top, QPoint(0, 0)), child.size());
}

void process_events_for(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
}

}  // namespace fleet_test
