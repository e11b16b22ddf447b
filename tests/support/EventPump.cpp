#include "support/EventPump.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace tessaly::test {

bool pumpEventsUntil(const std::function<bool()>& done, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs, Qt::PreciseTimer);
    // The ticking timer bounds each blocking wait, so a condition another thread sets is seen soon.
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(5);
    tick.start();
    for (;;) {
        if (done()) {
            return true;
        }
        if (deadline.hasExpired()) {
            return done();
        }
        if (QCoreApplication::instance() == nullptr) {
            QThread::msleep(5);
            continue;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        // Outside exec(), objects released with deleteLater() are only deleted when asked for.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

} // namespace tessaly::test
