#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace fleet_test {

template <typename Pred>
bool wait_until(Pred pred, int timeout_ms) {
    QElapsedTimer clock;
    clock.start();
    while (!pred()) {
        if (clock.elapsed() > timeout_ms) return pred();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

}  // namespace fleet_test
