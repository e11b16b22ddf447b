// Uploads to real servers, passive and active: a large random file compared by SHA-256 with the copy
// the server stored, and a truncated copy on the server resumed from its SIZE with only the tail on
// the wire; a resumed upload each through a SOCKS5 and an HTTP CONNECT proxy.
#include "support/CliRunner.h"
#include "support/TestFiles.h"
#include "support/TransferCases.h"
#include "transfer/ConflictQuestion.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <memory>

namespace tessaly::test {
namespace {

using namespace Qt::StringLiterals;

constexpr qint64 kRandomFileSize = RandomTestFile::kSize;
constexpr int kTransferTimeoutMs = 100000;
// The directory every server lets its user write into (their roots belong to root).
constexpr char kUploadDirectory[] = "/incoming";

// Puts the first `size` bytes of the random file at `path`, writable by the server's user whichever it is.
void PlaceWritablePartialCopy(const QString& path, qint64 size) {
    ASSERT_TRUE(QFile::copy(SharedRandomFile().path, path)) << qPrintable(path);
    ASSERT_TRUE(QFile::resize(path, size));
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                                QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther));
}

// A server of the case's kind, and an engine that logs in to it and uploads into incoming/.
class Upload : public ServerModeTest {
protected:
    void SetUp() override {
        ASSERT_FALSE(SharedRandomFile().sha256.isEmpty())
            << "cannot make " << qPrintable(SharedRandomFile().path);
        TESSALY_START_FTP_SERVER_OR_SKIP(server, GetParam().server);
    }

    // Logs in, changes into incoming/ and uploads the local paths there as one job.
    void upload(const QStringList& localPaths) {
        ASSERT_NO_FATAL_FAILURE(login());
        h.engine().ChangeDirectory(kUploadDirectory, false);
        ASSERT_TRUE(h.waitIdle()) << h.view.joined();
        ASSERT_EQ(h.engine().Session()->currentDirectory, kUploadDirectory) << h.view.joined();
        ASSERT_TRUE(h.engine().UploadPaths(localPaths));
        ASSERT_NO_FATAL_FAILURE(expectTransferJobDone(kTransferTimeoutMs));
    }

    QString stored(const QString& name) const {
        return server->root() + QLatin1String(kUploadDirectory) + u'/' + name;
    }
};

TEST_P(Upload, BinaryFileIsStoredIntact) {
    ASSERT_NO_FATAL_FAILURE(upload({SharedRandomFile().path}));
    EXPECT_TRUE(h.view.conflictQuestions.isEmpty()) << h.view.joined();
    EXPECT_EQ(TypeBeforeTransfer(h.view.texts(), "STOR", "random.bin"), "TYPE I") << h.view.joined();
    EXPECT_EQ(server->receivedFileBytes(u"random.bin"_s), QList<qint64>{kRandomFileSize});
    EXPECT_EQ(Sha256OfFile(stored(u"random.bin"_s)), SharedRandomFile().sha256);
}

// The server holds the first part of the file: its SIZE comes into the conflict question as an upload's
// target, Resume sends REST at that size and only the rest of the file, and the server's copy is whole.
TEST_P(Upload, TruncatedCopyIsResumedFromItsSize) {
    constexpr qint64 kPartialSize = 75 * 1024 * 1024 + 7;
    const QString copy = stored(u"random.bin"_s);
    ASSERT_NO_FATAL_FAILURE(PlaceWritablePartialCopy(copy, kPartialSize));
    h.view.conflictAnswers = {{false, ConflictChoice::Resume, false}};

    ASSERT_NO_FATAL_FAILURE(upload({SharedRandomFile().path}));
    ASSERT_EQ(h.view.conflictQuestions.size(), 1) << h.view.joined();
    const ConflictQuestion& question = h.view.conflictQuestions[0];
    EXPECT_TRUE(question.upload);
    EXPECT_EQ(question.remoteSizeValue, kPartialSize);
    EXPECT_EQ(question.localSizeValue, kRandomFileSize);
    // What the question proposes: the server's copy is the shorter one, so it can be resumed.
    EXPECT_TRUE(DefaultConflictChoice(question).resumeEnabled);
    EXPECT_TRUE(h.view.texts().contains("REST " + QByteArray::number(kPartialSize))) << h.view.joined();
    EXPECT_EQ(TypeBeforeTransfer(h.view.texts(), "STOR", "random.bin"), "TYPE I") << h.view.joined();
    EXPECT_EQ(server->receivedFileBytes(u"random.bin"_s), QList<qint64>{kRandomFileSize - kPartialSize});
    EXPECT_EQ(QFileInfo(copy).size(), kRandomFileSize);
    EXPECT_EQ(Sha256OfFile(copy), SharedRandomFile().sha256);
}

INSTANTIATE_TEST_SUITE_P(RealServers, Upload, ::testing::ValuesIn(kServerModeCases), NameOfCase());

class UploadThroughProxy : public ::testing::TestWithParam<TunnelProxyCase> {};

// tessaly-cli completes a copy the server holds half of through the proxy: `--on-conflict resume`
// sends REST at the copy's size and the rest of the file, the passive data connection goes through a
// tunnel of its own (the proxy's log names a passive port), and the server's copy is whole.
TEST_P(UploadThroughProxy, HalfCopyIsResumed) {
    constexpr qint64 kHalf = kRandomFileSize / 2;
    ASSERT_FALSE(SharedRandomFile().sha256.isEmpty());
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Vsftpd);
    std::unique_ptr<ProxyProcess> proxy;
    TESSALY_START_PROXY_OR_SKIP(proxy, GetParam().kind, {}); // any target port
    const QString copy = server->root() + QLatin1String(kUploadDirectory) + u"/random.bin"_s;
    ASSERT_NO_FATAL_FAILURE(PlaceWritablePartialCopy(copy, kHalf));
    Cli cli;
    UseProxy(cli.settings(), *proxy, GetParam().socksType);
    const CliRun run = cli.run({QStringLiteral("--user"), server->userName(), QStringLiteral("--pass"),
                                server->password(), QStringLiteral("--on-conflict"), QStringLiteral("resume"),
                                QStringLiteral("127.0.0.1:%1").arg(server->port()), QStringLiteral("put"),
                                SharedRandomFile().path, QLatin1String(kUploadDirectory)},
                               20000);
    EXPECT_EQ(run.exitCode, 0) << run.text();
    EXPECT_EQ(run.count("tessaly-cli: the remote file ftp://127.0.0.1/incoming/random.bin exists: resumed "
                        "after its 52428800 bytes (--on-conflict resume)"),
              1)
        << run.text();
    EXPECT_EQ(run.count(">  REST 52428800"), 1) << run.text();
    EXPECT_EQ(server->receivedFileBytes(u"random.bin"_s), QList<qint64>{kRandomFileSize - kHalf});
    EXPECT_EQ(Sha256OfFile(copy), SharedRandomFile().sha256);
    EXPECT_TRUE(ProxyLogNamesPassivePort(*proxy, *server)) << qPrintable(proxy->logText());
}

INSTANTIATE_TEST_SUITE_P(RealProxies, UploadThroughProxy, ::testing::ValuesIn(kTunnelProxyCases),
                         NameOfCase());

} // namespace
} // namespace tessaly::test
