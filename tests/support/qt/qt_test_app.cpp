#include "qt_test_app.h"

#include <QDir>
#include <QPixmap>
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

QString save_screenshot(QWidget& widget, const QString& name) {
    QString path = artifact_dir() + QLatin1Char('/') + name + QStringLiteral(".png");
    QPixmap shot = widget.grab();
    return shot.save(path) ? path : QString();
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
