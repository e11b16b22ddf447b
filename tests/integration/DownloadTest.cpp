// Downloads from real servers, passive and active: a large random file compared by SHA-256, text files
// under the automatic ASCII rule, and a resumed partial copy of which only the tail moves.
#include "support/CliRunner.h"
#include "support/TestFiles.h"
#include "support/TransferCases.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace tessaly::test {
namespace {

using Kind = FtpServerProcess::Kind;
using namespace Qt::StringLiterals;

constexpr qint64 kRandomFileSize = RandomTestFile::kSize;
constexpr int kTransferTimeoutMs = 100000;

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << qPrintable(path);
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// About 64 KiB of text with lines of many lengths, so that line ends fall across every chunk border,
// some empty lines and some UTF-8; `lineEnd` ends each line.
QByteArray TextWithLineEnds(const QByteArray& lineEnd) {
    QByteArray text;
    for (int i = 0; i < 2000; ++i) {
        if (i % 17 != 0) {
            text += QByteArray::number(i) + ' ';
            text += QByteArray("Gr\xC3\xBC\xC3\x9F"
                               "e aus der Datei, line ")
                        .repeated(1 + i % 3)
                        .left(i % 61);
        }
        text += lineEnd;
    }
    return text;
}

// A server of the case's kind with the random file and two text files in its root, and an engine
// logged in to it.
class Download : public ServerModeTest {
protected:
    void SetUp() override {
        TESSALY_START_FTP_SERVER_OR_SKIP(server, GetParam().server);
        ASSERT_NO_FATAL_FAILURE(ServeRandomFile(*server, QStringLiteral("random.bin")));
        ASSERT_NO_FATAL_FAILURE(WriteFile(server->root() + u"/lf.txt"_s, TextWithLineEnds("\n")));
        ASSERT_NO_FATAL_FAILURE(WriteFile(server->root() + u"/crlf.txt"_s, TextWithLineEnds("\r\n")));
        ASSERT_NO_FATAL_FAILURE(login());
    }

    // Downloads the named files of the login directory's listing into target as one job.
    void fetch(const QList<QByteArray>& names) {
        QList<RemoteItem> files;
        for (const RemoteItem& item : h.engine().CurrentItems().files) {
            if (names.contains(item.name().toByteArray()))
                files.append(item);
        }
        ASSERT_EQ(files.size(), names.size()) << h.view.joined();
        ASSERT_TRUE(h.engine().DownloadItems(files, target.path()));
        ASSERT_NO_FATAL_FAILURE(expectTransferJobDone(kTransferTimeoutMs));
    }

    QString local(const QString& name) const { return target.filePath(name); }

    QTemporaryDir target;
};

TEST_P(Download, BinaryFileArrivesIntact) {
    ASSERT_NO_FATAL_FAILURE(fetch({"random.bin"}));
    EXPECT_EQ(Sha256OfFile(local(u"random.bin"_s)), SharedRandomFile().sha256);
    EXPECT_EQ(TypeBeforeTransfer(h.view.texts(), "RETR", "random.bin"), "TYPE I") << h.view.joined();
    EXPECT_EQ(server->sentFileBytes(u"random.bin"_s), QList<qint64>{kRandomFileSize});
}

// Fetched in TYPE A, a text file stored with LF or with CR LF line ends arrives with LF line ends and
// its text unchanged, whether the server converts line ends (pyftpdlib, proftpd, pure-ftpd) or sends
// the bytes as stored (vsftpd). pure-ftpd alone puts a CR before every LF, one stored before it or
// not: CR CR LF comes for a stored CR LF, only its CR LF becomes LF, and the stored CR stays.
TEST_P(Download, TextFilesArriveWithLfLineEnds) {
    ASSERT_NO_FATAL_FAILURE(fetch({"lf.txt", "crlf.txt"}));
    const QByteArray expected = TextWithLineEnds("\n");
    EXPECT_EQ(ReadFile(local(u"lf.txt"_s)), expected);
    EXPECT_EQ(ReadFile(local(u"crlf.txt"_s)),
              GetParam().server == Kind::PureFtpd ? TextWithLineEnds("\r\n") : expected);
    EXPECT_EQ(TypeBeforeTransfer(h.view.texts(), "RETR", "lf.txt"), "TYPE A") << h.view.joined();
    EXPECT_EQ(TypeBeforeTransfer(h.view.texts(), "RETR", "crlf.txt"), "TYPE A") << h.view.joined();
}

// A local copy holding the first part of the file is completed from its end: REST at its size, only
// the rest of the file on the wire, and the whole is equal to the server's file.
TEST_P(Download, PartialCopyIsResumedFromItsEnd) {
    constexpr qint64 kPartialSize = 75 * 1024 * 1024 + 7;
    QFile partial(local(u"random.bin"_s));
    ASSERT_TRUE(QFile::copy(SharedRandomFile().path, partial.fileName()));
    ASSERT_TRUE(partial.resize(kPartialSize));
    h.view.conflictAnswers = {{false, ConflictChoice::Resume, false}};

    ASSERT_NO_FATAL_FAILURE(fetch({"random.bin"}));
    EXPECT_EQ(h.view.conflictQuestions.size(), 1);
    EXPECT_TRUE(h.view.texts().contains("REST " + QByteArray::number(kPartialSize))) << h.view.joined();
    EXPECT_EQ(TypeBeforeTransfer(h.view.texts(), "RETR", "random.bin"), "TYPE I") << h.view.joined();
    EXPECT_EQ(server->sentFileBytes(u"random.bin"_s), QList<qint64>{kRandomFileSize - kPartialSize});
    EXPECT_EQ(Sha256OfFile(partial.fileName()), SharedRandomFile().sha256);
}

INSTANTIATE_TEST_SUITE_P(RealServers, Download, ::testing::ValuesIn(kServerModeCases), NameOfCase());

class DownloadThroughProxy : public ::testing::TestWithParam<TunnelProxyCase> {};

// tessaly-cli fetches the random file through the proxy: the passive data connection goes through a
// tunnel of its own (the proxy's log names a passive port) and the file arrives intact.
TEST_P(DownloadThroughProxy, FileArrivesIntact) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, Kind::Vsftpd);
    ASSERT_NO_FATAL_FAILURE(ServeRandomFile(*server, QStringLiteral("random.bin")));
    std::unique_ptr<ProxyProcess> proxy;
    TESSALY_START_PROXY_OR_SKIP(proxy, GetParam().kind, {}); // any target port
    QTemporaryDir target;
    Cli cli;
    UseProxy(cli.settings(), *proxy, GetParam().socksType);
    const CliRun run = cli.run({QStringLiteral("--user"), server->userName(), QStringLiteral("--pass"),
                                server->password(), QStringLiteral("127.0.0.1:%1").arg(server->port()),
                                QStringLiteral("get"), QStringLiteral("random.bin"), target.path()});
    EXPECT_EQ(run.exitCode, 0) << run.text();
    EXPECT_EQ(Sha256OfFile(target.filePath(QStringLiteral("random.bin"))), SharedRandomFile().sha256);
    EXPECT_EQ(server->sentFileBytes(u"random.bin"_s), QList<qint64>{kRandomFileSize});
    EXPECT_TRUE(ProxyLogNamesPassivePort(*proxy, *server)) << qPrintable(proxy->logText());
}

INSTANTIATE_TEST_SUITE_P(RealProxies, DownloadThroughProxy, ::testing::ValuesIn(kTunnelProxyCases),
                         NameOfCase());

// tessaly-cli get: a name of the current listing and a path that is in no listing arrive intact; a
// missing path is reported with exit status 1.
TEST(CliGet, FetchesByNameAndByPathAndReportsAMissingFile) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, Kind::Pyftpdlib);
    QTemporaryDir target;
    Cli cli;
    const QString host = QStringLiteral("127.0.0.1:%1").arg(server->port());
    const CliRun run = cli.run({host, QStringLiteral("cd"), QStringLiteral("pub"), QStringLiteral("get"),
                                QStringLiteral("big.bin"), target.path(), QStringLiteral("get"),
                                QStringLiteral("/pub/docs/readme.txt"), target.path()});
    EXPECT_EQ(run.exitCode, 0) << run.text();
    EXPECT_EQ(Sha256OfFile(target.filePath(QStringLiteral("big.bin"))),
              Sha256OfFile(server->root() + QStringLiteral("/pub/big.bin")));
    EXPECT_EQ(ReadFile(target.filePath(QStringLiteral("readme.txt"))),
              ReadFile(server->root() + QStringLiteral("/pub/docs/readme.txt")));

    const CliRun missing =
        cli.run({host, QStringLiteral("get"), QStringLiteral("no-such-file"), target.path()});
    EXPECT_EQ(missing.exitCode, 1) << missing.text();
    EXPECT_FALSE(QFile::exists(target.filePath(QStringLiteral("no-such-file"))));
}

} // namespace
} // namespace tessaly::test
