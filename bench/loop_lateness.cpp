// tessaly-cli with a stopwatch on its event loop: runs exactly as tessaly-cli does (same arguments,
// same exit status) while a timer that should fire every 10 ms records how late each firing comes.
// At the end it prints the count, the median, the 99th percentile and the maximum lateness to
// standard output. A download that keeps the loop busy shows here as lateness: the user interface
// of the desktop program would freeze for as long.
#include "app/cli/CliRun.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    tessaly::ChooseCliEventLoop();
    QCoreApplication app(argc, argv);
    constexpr qint64 kPeriodMs = 10;
    std::vector<qint64> latenessUs;
    latenessUs.reserve(1 << 20);
    QElapsedTimer clock;
    clock.start();
    qint64 due = kPeriodMs * 1000;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed() / 1000;
        latenessUs.push_back(std::max<qint64>(0, now - due));
        due = now + kPeriodMs * 1000;
    });
    timer.start(int(kPeriodMs));
    const int status = tessaly::RunCli(app);
    timer.stop();
    std::sort(latenessUs.begin(), latenessUs.end());
    const auto at = [&](double fraction) {
        return latenessUs.empty()
                   ? 0.0
                   : double(latenessUs[std::size_t(fraction * double(latenessUs.size() - 1))]) / 1000;
    };
    std::printf("loop lateness: %zu ticks, median %.2f ms, p99 %.2f ms, max %.2f ms\n", latenessUs.size(),
                at(0.5), at(0.99), at(1.0));
    return status;
}
