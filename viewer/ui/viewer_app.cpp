#include "ui/viewer_app.h"

#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QThreadPool>
#include <cstdio>
#include <cstdlib>

#include "lang/language_table.h"
#include "model/directories.h"
#include "model/engine_host.h"
#include "model/library_binding.h"
#include "ui/main_window.h"
#include "ui/map_view.h"

namespace velmora {

namespace {

const char* const kUsage = "usage: velmora-player [FILE.dvr] [--play] [--no-web]";

// Start-up failures end the program; without a person to read a box they go to stderr.
void fatal_message(const QString& text) {
    std::fprintf(stderr, "velmora-player: %s\n", qPrintable(text));
    if (!qEnvironmentVariableIsSet("VELMORA_NONINTERACTIVE")) {
        QMessageBox::critical(nullptr, QStringLiteral("VelmoraPlayer"), text);
    }
}

void prepare_web_engine() {
    // The browser's sandbox refuses to run as root.
    if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
}

}  // namespace

CommandLine parse_command_line(const QStringList& arguments) {
    CommandLine line;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QStringLiteral("--play")) {
            line.play = true;
        } else if (arg == QStringLiteral("--no-web")) {
            line.web_maps = false;
        } else if (arg.startsWith(QStringLiteral("--")) || !line.file.isEmpty()) {
            line.ok = false;
            line.error = QStringLiteral("unexpected argument \"%1\"\n%2")
                             .arg(arg, QString::fromLatin1(kUsage));
        } else {
            line.file = arg;
        }
    }
    if (line.ok && line.play && line.file.isEmpty()) {
        line.ok = false;
        line.error = QStringLiteral("--play needs a FILE.dvr\n%1").arg(QString::fromLatin1(kUsage));
    }
    return line;
}

int run_viewer(int argc, char** argv) {
    prepare_web_engine();
    register_map_link_scheme();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);  // the browser needs it first
    QApplication app(argc, argv);
    // Pool threads the raster engine started end before the application, on every way out,
    // rather than during static destruction.
    struct PoolDrain {
        ~PoolDrain() { QThreadPool::globalInstance()->waitForDone(); }
    } drain;
    app.setApplicationName(QStringLiteral("VelmoraPlayer"));
    const CommandLine line = parse_command_line(app.arguments());
    if (!line.ok) {
        std::fprintf(stderr, "velmora-player: %s\n", qPrintable(line.error));
        return 2;
    }

    ViewerContext context;
    context.config = load_app_config(kAppConfigPath);
    ensure_app_directories(context.config);
    LanguageTable texts(".");
    if (!context.config.lang_file.empty()) texts.load(context.config.lang_file);
    context.texts = &texts;
    context.program_dir = program_folder();
    context.web_maps = line.web_maps && !qEnvironmentVariableIsSet("VELMORA_NO_WEB");

    EngineHost engine;  // outlives the window, which stops it
    MainWindow window(context, engine);
    if (const fleet::Status bound = engine.bind(context.program_dir); !bound) {
        std::fprintf(stderr, "velmora-player: %s\n", bound.error().message.c_str());
        fatal_message(bound.error().code == kEngineNotBound
                          ? QStringLiteral("InitKivraLib fail, please check and try again!")
                          : QStringLiteral("InitzExtractLib fail, please check and try again!"));
        return 1;
    }
    if (!window.start()) return 1;
    window.show();
    if (!line.file.isEmpty()) {
        window.open_path(line.file);
        if (line.play) window.session().play();
    }
    return app.exec();
}

}  // namespace velmora
