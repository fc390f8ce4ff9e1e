#include "map_page.h"

#include <QLoggingCategory>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <utility>

#include "model/map_navigation.h"
#include "ui/map_view.h"

namespace velmora {

namespace {

// The pages' console, for whoever debugs them: QT_LOGGING_RULES="velmora.map.debug=true".
Q_LOGGING_CATEGORY(map_console, "velmora.map", QtWarningMsg)

const QByteArray kScheme(kMapLinkScheme.data(), static_cast<qsizetype>(kMapLinkScheme.size()));

// Navigations are cancelled before they get here; a request that still comes (a page fetching
// an "app:" address as a resource) is refused, so nothing ever answers one.
class RefusingSchemeHandler : public QWebEngineUrlSchemeHandler {
  public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void requestStarted(QWebEngineUrlRequestJob* job) override {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
    }
};

// Without a handler on the profile, the browser drops "app:" navigations as unknown before
// the page is asked about them.
QWebEngineProfile* profile_with_handler() {
    QWebEngineProfile* profile = QWebEngineProfile::defaultProfile();
    if (profile->urlSchemeHandler(kScheme) == nullptr)
        profile->installUrlSchemeHandler(kScheme, new RefusingSchemeHandler(profile));
    return profile;
}

}  // namespace

void register_map_link_scheme() {
    if (QWebEngineUrlScheme::schemeByName(kScheme).name() == kScheme) return;
    QWebEngineUrlScheme scheme(kScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    QWebEngineUrlScheme::registerScheme(scheme);
}

// The pages are files of the program folder; their tiles come from a tile server. A file or
// link dropped on the map would replace the page.
MapPage::MapPage(QObject* parent) : QWebEnginePage(profile_with_handler(), parent) {
    settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    settings()->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
}

bool MapPage::take_refused_navigation() {
    return std::exchange(refused_navigation_, false);
}

bool MapPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool main_frame) {
    if (url.scheme() == QLatin1String(kScheme)) {
        if (main_frame) refused_navigation_ = true;
        emit link_navigated(url.toString());
        return false;
    }
    if (main_frame && url.adjusted(QUrl::RemoveFragment) != page_url_) {
        refused_navigation_ = true;
        return false;
    }
    return QWebEnginePage::acceptNavigationRequest(url, type, main_frame);
}

// Failed calls stay silent for the operator.
void MapPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message,
                                       int line, const QString& source) {
    qCDebug(map_console, "%s:%d: %s", qPrintable(source), line, qPrintable(message));
}

}  // namespace velmora
