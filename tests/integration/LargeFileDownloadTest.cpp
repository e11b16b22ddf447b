// A download resumed past 4 GiB, without moving gigabytes: both copies are sparse files.
#include "support/EngineHarness.h"
#include "support/FtpServerProcess.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace tessaly::test {
namespace {

using namespace Qt::StringLiterals;

constexpr qint64 kMiB = 1024 * 1024;
constexpr qint64 k4GiB = qint64(4) * 1024 * kMiB;
constexpr qint64 kServerSize = k4GiB + kMiB;
constexpr qint64 kLocalSize = k4GiB + 100; // the resume point

// Distinct non-zero bytes at a few places of the otherwise empty (all-zero) file: in its first and
// last MiB, across the 2 GiB and 4 GiB borders and across the resume point, so that a resume at a
// wrong offset or a wrapped 32-bit position cannot give the same bytes.
struct Mark {
    qint64 offset;
    QByteArray bytes;
};
const Mark kMarks[] = {
    {0, "first-MiB"},           {kMiB - 4, "MiB-border"},         {k4GiB / 2 - 3, "2GiB-border"},
    {k4GiB - 5, "4GiB-border"}, {kLocalSize - 6, "resume-point"}, {kServerSize - 9, "last-MiB!"},
};

// A sparse file of `size` bytes with the marks that begin below its end, cut at its end.
void WriteSparseFile(const QString& path, qint64 size) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << qPrintable(path);
    ASSERT_TRUE(file.resize(size));
    for (const Mark& mark : kMarks) {
        if (mark.offset >= size)
            continue;
        const QByteArray bytes = mark.bytes.left(size - mark.offset);
        ASSERT_TRUE(file.seek(mark.offset));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
}

TEST(LargeFileDownload, ResumesPastFourGibibytesMovingOnlyTheTail) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Pyftpdlib);
    const QString remote = server->root() + u"/huge.bin"_s;
    ASSERT_NO_FATAL_FAILURE(WriteSparseFile(remote, kServerSize));
    QTemporaryDir target;
    const QString local = target.filePath(QStringLiteral("huge.bin"));
    ASSERT_NO_FATAL_FAILURE(WriteSparseFile(local, kLocalSize));

    EngineHarness h;
    h.view.conflictAnswers = {{false, ConflictChoice::Resume, false}};
    h.connect(server->port(), server->userName().toUtf8(), server->password().toUtf8());
    ASSERT_TRUE(h.waitIdle()) << h.view.joined() << qPrintable(server->logText());
    QList<RemoteItem> files;
    for (const RemoteItem& item : h.engine().CurrentItems().files) {
        if (item.name() == "huge.bin")
            files.append(item);
    }
    ASSERT_EQ(files.size(), 1) << h.view.joined();
    EXPECT_EQ(files[0].size(), kServerSize);
    ASSERT_TRUE(h.engine().DownloadItems(files, target.path()));
    ASSERT_TRUE(h.waitIdle(60000)) << h.view.joined() << qPrintable(server->logText());

    EXPECT_TRUE(h.view.failureReports.isEmpty()) << h.view.joined();
    EXPECT_TRUE(h.view.texts().contains("REST 4294967396")) << h.view.joined();
    EXPECT_EQ(server->sentFileBytes(u"huge.bin"_s), QList<qint64>{kServerSize - kLocalSize});
    EXPECT_EQ(QFileInfo(local).size(), kServerSize);
    const QList<QByteArray> digests = Sha256OfFiles({remote, local});
    ASSERT_EQ(digests.size(), 2);
    EXPECT_FALSE(digests[0].isEmpty());
    EXPECT_EQ(digests[1], digests[0]);
}

} // namespace
} // namespace tessaly::test
