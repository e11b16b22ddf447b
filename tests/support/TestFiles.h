#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace tessaly::test {

// The SHA-256 of a file in hex, empty when it cannot be had. `openssl dgst -sha256` hashes (it uses the
// processor's SHA instructions; QCryptographicHash manages about a tenth of its speed) what this side
// feeds it through a pipe: the file's data as read, and its holes as zeros that are never read, so a
// sparse file of gigabytes neither fills the page cache with zero pages nor takes the time to.
QByteArray Sha256OfFile(const QString& path);
QList<QByteArray> Sha256OfFiles(const QStringList& paths);

// Writes `size` bytes drawn from a QRandomGenerator seeded with `seed` to the file: the same bytes on
// every run. False when the file cannot be written.
bool WriteSeededRandomFile(const QString& path, qint64 size, quint32 seed);

} // namespace tessaly::test
