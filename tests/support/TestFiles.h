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
// The digests of the files in order, worked out at the same time.
QList<QByteArray> Sha256OfFiles(const QStringList& paths);

// Writes `size` bytes drawn from a QRandomGenerator seeded with `seed` to the file: the same bytes on
// every run. False when the file cannot be written.
bool WriteSeededRandomFile(const QString& path, qint64 size, quint32 seed);

// The 100 MiB seeded random file the transfer tests move: made (readable by all, so that servers
// which drop privileges can serve it) in a temporary directory once a test program's run. sha256 is
// empty when it could not be made.
struct RandomTestFile {
    static constexpr qint64 kSize = 100 * 1024 * 1024;
    QString path;
    QByteArray sha256;
};
const RandomTestFile& SharedRandomFile();

// The files of the transfers past 4 GiB: sparse files that hold nothing but zeros except a few marks
// (distinct non-zero bytes) in their first and last MiB, across the 2 GiB and 4 GiB borders and across
// kMarkedResumePoint, so that a resume at a wrong offset or a wrapped 32-bit position cannot give the
// same bytes. The whole file is kMarkedFullSize bytes; the partial copy is its first
// kMarkedResumePoint bytes.
constexpr qint64 kMarkedFullSize = qint64(4) * 1024 * 1024 * 1024 + 1024 * 1024;
constexpr qint64 kMarkedResumePoint = qint64(4) * 1024 * 1024 * 1024 + 100;
// A sparse file of `size` bytes with the marks that begin below its end, cut at its end; false when it
// cannot be written.
bool WriteMarkedSparseFile(const QString& path, qint64 size);

} // namespace tessaly::test
