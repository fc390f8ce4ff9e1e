// The browser page of a map view: every navigation to an "app:" address is the page talking
// to the viewer, so it is reported and cancelled, never loaded.
#pragma once

#include <QWebEnginePage>

namespace velmora {

class MapPage : public QWebEnginePage {
    Q_OBJECT
  public:
    // Uses the default profile, on which the scheme's handler is installed once.
    explicit MapPage(QObject* parent = nullptr);

    // Whether the last failed load was an "app:" navigation of the main frame being cancelled;
    // reading it clears it.
    bool take_cancelled_link();

  signals:
    // An "app:" address the page navigated to, as text.
    void link_navigated(const QString& address);

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool main_frame) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int line, const QString& source) override;

  private:
    bool cancelled_link_ = false;
};

}  // namespace velmora
