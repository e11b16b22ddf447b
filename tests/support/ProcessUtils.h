#pragma once

#include <QList>
#include <QString>

namespace tessaly::test {

// Every live descendant of `pid` (children, their children...), read from /proc.
QList<qint64> DescendantPids(qint64 pid);

// True while `pid` exists and is not a zombie.
bool IsProcessAlive(qint64 pid);

// Ends the processes: SIGTERM, and SIGKILL for those still alive after graceMs; waits for them.
void EndProcesses(const QList<qint64>& pids, int graceMs);

// A file's text, empty when it cannot be read.
QString ReadTextFile(const QString& path);

} // namespace tessaly::test
