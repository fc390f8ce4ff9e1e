// The browser page of a map view: every navigation to an "app:" address is the page talking
// to the viewer, so it is reported and cancelled, never loaded. The main frame stays on the page
// the view loaded: a drop, a link or a script cannot lead it elsewhere.
#pragma once

#include <QUrl>
#include <QWebEnginePage>

namespace velmora {

class MapPage : public QWebEnginePage {
    Q_OBJECT
  public:
    // Uses the default profile, on which the scheme's handler is installed once.
    explicit MapPage(QObject* parent = nullptr);

    // The only address the main frame may load (fragments aside); set before loading it.
    void set_page_url(const QUrl& url) { page_url_ = url.adjusted(QUrl::RemoveFragment); }

    // Whether the last failed load was a navigation of the main frame being refused (an "app:"
    // address or another page); reading it clears it.
    bool take_refused_navigation();

  signals:
    // An "app:" address the page navigated to, as text.
    void link_navigated(const QString& address);

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool main_frame) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int line, const QString& source) override;

  private:
    QUrl page_url_;
    bool refused_navigation_ = false;
};

}  // namespace velmora
