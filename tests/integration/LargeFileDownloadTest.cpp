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

constexpr qint64 kServerSize = kMarkedFullSize;
constexpr qint64 kLocalSize = kMarkedResumePoint;

TEST(LargeFileDownload, ResumesPastFourGibibytesMovingOnlyTheTail) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Pyftpdlib);
    const QString remote = server->root() + u"/huge.bin"_s;
    ASSERT_TRUE(WriteMarkedSparseFile(remote, kServerSize));
    QTemporaryDir target;
    const QString local = target.filePath(QStringLiteral("huge.bin"));
    ASSERT_TRUE(WriteMarkedSparseFile(local, kLocalSize));

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
