#include "support/ProcessUtils.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QThread>
#include <csignal>
#include <sys/types.h>

namespace tessaly::test {

namespace {

// "pid (comm) S ppid ...": the state letter and the parent PID; false when the process is gone.
bool readStat(qint64 pid, char* state, qint64* ppid) {
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray stat = file.readAll();
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return false;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    if (fields.size() < 2 || fields[0].isEmpty())
        return false;
    *state = fields[0].at(0);
    *ppid = fields[1].toLongLong();
    return true;
}

void signalAll(const QList<qint64>& pids, int signal) {
    for (qint64 pid : pids)
        ::kill(static_cast<pid_t>(pid), signal);
}

// Waits until none of `pids` is alive; false when some still are after timeoutMs.
bool waitUntilGone(const QList<qint64>& pids, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        bool anyAlive = false;
        for (qint64 pid : pids)
            anyAlive = anyAlive || IsProcessAlive(pid);
        if (!anyAlive)
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
}

} // namespace

QList<qint64> DescendantPids(qint64 pid) {
    QHash<qint64, QList<qint64>> children;
    QDirIterator entries(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (entries.hasNext()) {
        bool isPid = false;
        const qint64 candidate = entries.next().section(QLatin1Char('/'), -1).toLongLong(&isPid);
        char state = 0;
        qint64 parent = 0;
        if (isPid && readStat(candidate, &state, &parent) && state != 'Z' && state != 'X')
            children[parent].append(candidate);
    }
    QList<qint64> found;
    QList<qint64> pending{pid};
    while (!pending.isEmpty()) {
        for (qint64 child : children.value(pending.takeFirst())) {
            found.append(child);
            pending.append(child);
        }
    }
    return found;
}

bool IsProcessAlive(qint64 pid) {
    char state = 0;
    qint64 parent = 0;
    return pid > 0 && readStat(pid, &state, &parent) && state != 'Z' && state != 'X';
}

void EndProcesses(const QList<qint64>& pids, int graceMs) {
    signalAll(pids, SIGTERM);
    if (!waitUntilGone(pids, graceMs)) {
        signalAll(pids, SIGKILL);
        waitUntilGone(pids, graceMs);
    }
}

QString ReadTextFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace tessaly::test
