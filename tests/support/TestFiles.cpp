#include "support/TestFiles.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cerrno>
#include <future>
#include <memory>
#include <unistd.h>
#include <vector>

namespace tessaly::test {

namespace {

constexpr int kToolTimeoutMs = 60000;
constexpr qint64 kChunk = 1024 * 1024;
constexpr qint64 kMostBuffered = 4 * kChunk;
constexpr qint64 kWriteChunk = 4 * 1024 * 1024;
constexpr quint32 kSharedRandomFileSeed = 20261208;
constexpr qint64 kMiB = 1024 * 1024;
constexpr qint64 k4GiB = 4 * 1024 * kMiB;

struct Mark {
    qint64 offset;
    QByteArrayView bytes;
};
constexpr Mark kMarks[] = {
    {0, "first-MiB"},
    {kMiB - 4, "MiB-border"},
    {k4GiB / 2 - 3, "2GiB-border"},
    {k4GiB - 5, "4GiB-border"},
    {kMarkedResumePoint - 6, "resume-point"},
    {kMarkedFullSize - 9, "last-MiB!"},
};

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
    // One thread a file, each with its own openssl: the digests of large files take as many cores as
    // there are files. A QProcess used only through its blocking calls needs no event loop there.
    std::vector<std::future<QByteArray>> pending;
    for (const QString& path : paths)
        pending.push_back(std::async(std::launch::async, [path] { return Sha256OfFile(path); }));
    QList<QByteArray> digests;
    for (std::future<QByteArray>& digest : pending)
        digests.append(digest.get());
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

const RandomTestFile& SharedRandomFile() {
    struct Made {
        QTemporaryDir dir;
        RandomTestFile file;
    };
    static const std::unique_ptr<Made> made = [] {
        auto made = std::make_unique<Made>();
        made->file.path = made->dir.filePath(QStringLiteral("random.bin"));
        if (WriteSeededRandomFile(made->file.path, RandomTestFile::kSize, kSharedRandomFileSeed)) {
            QFile::setPermissions(made->file.path,
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
            made->file.sha256 = Sha256OfFile(made->file.path);
        }
        return made;
    }();
    return made->file;
}

bool WriteMarkedSparseFile(const QString& path, qint64 size) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || !file.resize(size))
        return false;
    for (const Mark& mark : kMarks) {
        if (mark.offset >= size)
            continue;
        const QByteArrayView bytes = mark.bytes.first(qMin(mark.bytes.size(), size - mark.offset));
        if (!file.seek(mark.offset) || file.write(bytes.data(), bytes.size()) != bytes.size())
            return false;
    }
    return true;
}

} // namespace tessaly::test
