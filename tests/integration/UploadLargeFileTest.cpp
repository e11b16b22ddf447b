// An upload resumed past 4 GiB, without moving gigabytes: both copies are sparse files.
#include "support/EngineHarness.h"
#include "support/FtpServerProcess.h"
#include "support/TestFiles.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace tessaly::test {
namespace {

using namespace Qt::StringLiterals;

constexpr qint64 kLocalSize = kMarkedFullSize;
constexpr qint64 kServerSize = kMarkedResumePoint;

TEST(LargeFileUpload, ResumesPastFourGibibytesSendingOnlyTheTail) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Pyftpdlib);
    QTemporaryDir source;
    const QString local = source.filePath(QStringLiteral("huge.bin"));
    ASSERT_TRUE(WriteMarkedSparseFile(local, kLocalSize));
    // The server's copy: the local file cut after 4 GiB + 100 bytes.
    const QString remote = server->root() + u"/huge.bin"_s;
    ASSERT_TRUE(WriteMarkedSparseFile(remote, kServerSize));

    EngineHarness h;
    h.view.conflictAnswers = {{false, ConflictChoice::Resume, false}};
    h.connect(server->port(), server->userName().toUtf8(), server->password().toUtf8());
    ASSERT_TRUE(h.waitIdle()) << h.view.joined() << qPrintable(server->logText());
    ASSERT_TRUE(h.engine().UploadPaths({local}));
    ASSERT_TRUE(h.waitIdle(60000)) << h.view.joined() << qPrintable(server->logText());

    EXPECT_TRUE(h.view.failureReports.isEmpty()) << h.view.joined();
    ASSERT_EQ(h.view.conflictQuestions.size(), 1) << h.view.joined();
    EXPECT_EQ(h.view.conflictQuestions[0].remoteSizeValue, kServerSize);
    EXPECT_TRUE(h.view.texts().contains("REST 4294967396")) << h.view.joined();
    EXPECT_EQ(server->receivedFileBytes(u"huge.bin"_s), QList<qint64>{kLocalSize - kServerSize});
    EXPECT_EQ(QFileInfo(remote).size(), kLocalSize);
    const QList<QByteArray> digests = Sha256OfFiles({local, remote});
    ASSERT_EQ(digests.size(), 2);
    EXPECT_FALSE(digests[0].isEmpty());
    EXPECT_EQ(digests[1], digests[0]);
}

} // namespace
} // namespace tessaly::test
