// Downloads from real servers, passive and active: a random file compared by SHA-256, a text file
// under the automatic ASCII rule, and a resumed partial copy.
#include "support/CliRunner.h"
#include "support/EngineHarness.h"
#include "support/FtpServerProcess.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace tessaly::test {
namespace {

QByteArray Sha256(const QString& path) {
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return file.open(QIODevice::ReadOnly) && hash.addData(&file) ? hash.result().toHex()
                                                                 : QByteArray("<unreadable>");
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

struct DownloadCase {
    FtpServerProcess::Kind server;
    bool passive;
};

class Download : public ::testing::TestWithParam<DownloadCase> {};

TEST_P(Download, FilesArriveIntactAndAPartialCopyIsResumed) {
    const DownloadCase& c = GetParam();
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, c.server);
    QByteArray random(8 * 1024 * 1024 + 123, Qt::Uninitialized);
    QRandomGenerator generator(42);
    generator.fillRange(reinterpret_cast<quint32*>(random.data()), random.size() / 4);
    WriteFile(server->root() + QStringLiteral("/random.bin"), random);
    WriteFile(server->root() + QStringLiteral("/lines.txt"), "one\ntwo\r\nthree\n");

    QTemporaryDir target;
    WriteFile(target.filePath(QStringLiteral("partial.bin")), random.left(3 * 1024 * 1024 + 7));
    WriteFile(server->root() + QStringLiteral("/partial.bin"), random);

    EngineHarness h;
    h.setInt(u"Advance", u"PasvMode", c.passive ? 1 : 0);
    h.view.conflictAnswers = {{false, ConflictChoice::Resume, false}};
    h.connect(server->port(), server->userName().toUtf8(), server->password().toUtf8());
    ASSERT_TRUE(h.waitIdle()) << h.view.joined() << qPrintable(server->logText());
    QList<RemoteItem> files;
    for (const RemoteItem& item : h.engine().CurrentItems().files) {
        if (item.name() == "random.bin" || item.name() == "lines.txt" || item.name() == "partial.bin") {
            files.append(item);
        }
    }
    ASSERT_EQ(files.size(), 3) << h.view.joined();
    ASSERT_TRUE(h.engine().DownloadItems(files, target.path()));
    ASSERT_TRUE(h.waitIdle(60000)) << h.view.joined() << qPrintable(server->logText());

    const QByteArray expected = QCryptographicHash::hash(random, QCryptographicHash::Sha256).toHex();
    EXPECT_EQ(Sha256(target.filePath(QStringLiteral("random.bin"))), expected);
    EXPECT_EQ(Sha256(target.filePath(QStringLiteral("partial.bin"))), expected);
    QFile lines(target.filePath(QStringLiteral("lines.txt")));
    ASSERT_TRUE(lines.open(QIODevice::ReadOnly));
    // In TYPE A the server sends CR LF line ends, and they become LF here; vsftpd sends the bytes as
    // stored, which end in LF already.
    EXPECT_EQ(lines.readAll(), "one\ntwo\nthree\n");
    EXPECT_TRUE(h.view.failureReports.isEmpty()) << h.view.joined();
    const QList<QByteArray> lines2 = h.view.lines();
    EXPECT_TRUE(lines2.contains("COMMAND:>  TYPE A"));
    // The probe asks in binary type, so both servers offer REST, and the partial copy is resumed.
    EXPECT_TRUE(h.engine().Session()->restSupported);
    EXPECT_TRUE(lines2.contains("COMMAND:>  REST " + QByteArray::number(3 * 1024 * 1024 + 7)))
        << h.view.joined();
}

INSTANTIATE_TEST_SUITE_P(RealServers, Download,
                         ::testing::Values(DownloadCase{FtpServerProcess::Kind::Vsftpd, true},
                                           DownloadCase{FtpServerProcess::Kind::Vsftpd, false},
                                           DownloadCase{FtpServerProcess::Kind::Pyftpdlib, true},
                                           DownloadCase{FtpServerProcess::Kind::Pyftpdlib, false}),
                         [](const ::testing::TestParamInfo<DownloadCase>& info) {
                             return FtpServerProcess::kindName(info.param.server).toStdString() +
                                    (info.param.passive ? "Passive" : "Active");
                         });

// tessaly-cli get: a name of the current listing and a path that is in no listing arrive intact; a
// missing path is reported with exit status 1.
TEST(CliGet, FetchesByNameAndByPathAndReportsAMissingFile) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Pyftpdlib);
    QTemporaryDir target;
    Cli cli;
    const QString host = QStringLiteral("127.0.0.1:%1").arg(server->port());
    const CliRun run = cli.run({host, QStringLiteral("cd"), QStringLiteral("pub"), QStringLiteral("get"),
                                QStringLiteral("big.bin"), target.path(), QStringLiteral("get"),
                                QStringLiteral("/pub/docs/readme.txt"), target.path()});
    EXPECT_EQ(run.exitCode, 0) << run.text();
    EXPECT_EQ(Sha256(target.filePath(QStringLiteral("big.bin"))),
              Sha256(server->root() + QStringLiteral("/pub/big.bin")));
    EXPECT_EQ(Sha256(target.filePath(QStringLiteral("readme.txt"))),
              Sha256(server->root() + QStringLiteral("/pub/docs/readme.txt")));

    const CliRun missing =
        cli.run({host, QStringLiteral("get"), QStringLiteral("no-such-file"), target.path()});
    EXPECT_EQ(missing.exitCode, 1) << missing.text();
    EXPECT_FALSE(QFile::exists(target.filePath(QStringLiteral("no-such-file"))));
}

} // namespace
} // namespace tessaly::test
