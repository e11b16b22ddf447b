#include "support/TestFiles.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <cerrno>
#include <unistd.h>

namespace tessaly::test {

namespace {

constexpr int kToolTimeoutMs = 60000;
constexpr qint64 kChunk = 1024 * 1024;
constexpr qint64 kMostBuffered = 4 * kChunk;
constexpr qint64 kWriteChunk = 4 * 1024 * 1024;

// Hands `bytes` to the process's standard input, keeping at most a few chunks buffered on this side.
bool feed(QProcess& process, const QByteArray& bytes) {
    if (process.write(bytes) != bytes.size())
        return false;
    while (process.bytesToWrite() > kMostBuffered) {
        if (!process.waitForBytesWritten(kToolTimeoutMs))
            return false;
    }
    return true;
}

// Feeds the whole file: each run of data read in chunks, each hole (SEEK_HOLE) as zeros.
bool feedFile(QProcess& process, QFile& file) {
    static const QByteArray zeros(kChunk, '\0');
    const int fd = file.handle();
    const qint64 size = file.size();
    QByteArray buffer(kChunk, Qt::Uninitialized);
    for (qint64 position = 0; position < size;) {
        off_t data = ::lseek(fd, position, SEEK_DATA);
        if (data < 0 && errno == ENXIO)
            data = size; // nothing but a hole up to the end
        if (data < 0 || data > size)
            return false;
        for (; position < data; position += qMin(kChunk, data - position)) {
            if (!feed(process, zeros.left(qMin(kChunk, data - position))))
                return false;
        }
        if (position == size)
            break;
        off_t hole = ::lseek(fd, position, SEEK_HOLE);
        if (hole < 0 || hole > size)
            hole = size;
        while (position < hole) {
            const ssize_t got = ::pread(fd, buffer.data(), static_cast<size_t>(qMin(kChunk, hole - position)),
                                        static_cast<off_t>(position));
            if (got <= 0 || !feed(process, QByteArray(buffer.constData(), got)))
                return false;
            position += got;
        }
    }
    return true;
}

} // namespace

QByteArray Sha256OfFile(const QString& path) {
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    QFile file(path);
    if (openssl.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    QProcess process;
    process.start(openssl, {QStringLiteral("dgst"), QStringLiteral("-sha256"), QStringLiteral("-r")});
    if (!process.waitForStarted(kToolTimeoutMs))
        return {};
    const bool fed = feedFile(process, file);
    process.closeWriteChannel();
    if (!fed || !process.waitForFinished(kToolTimeoutMs) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
        return {};
    }
    // "-r" prints "<hex> *stdin".
    const QByteArray digest = process.readAllStandardOutput().split(' ').value(0);
    return digest.size() == 64 ? digest : QByteArray();
}

QList<QByteArray> Sha256OfFiles(const QStringList& paths) {
    QList<QByteArray> digests;
    for (const QString& path : paths)
        digests.append(Sha256OfFile(path));
    return digests;
}

bool WriteSeededRandomFile(const QString& path, qint64 size, quint32 seed) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QRandomGenerator generator(seed);
    QByteArray chunk(kWriteChunk, Qt::Uninitialized);
    for (qint64 written = 0; written < size;) {
        generator.fillRange(reinterpret_cast<quint32*>(chunk.data()), chunk.size() / 4);
        const qint64 length = qMin<qint64>(chunk.size(), size - written);
        if (file.write(chunk.constData(), length) != length)
            return false;
        written += length;
    }
    return file.flush();
}

} // namespace tessaly::test
