// Session control against a real vsftpd: Abort of a download and of an upload while the file moves
// sends ABOR, lists the directory again and leaves a session that fetches the next file intact;
// Reconnect after Disconnect logs in again into the directory the session had; the keep-alive sends
// its idle commands on a quiet session, which stays up and works afterwards.
#include "support/EngineHarness.h"
#include "support/EventPump.h"
#include "support/FtpServerProcess.h"
#include "support/TransferCases.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

namespace tessaly::test {
namespace {

using namespace Qt::StringLiterals;

// Far more than moves before the abort: a sparse file, so it costs neither time nor disk.
constexpr qint64 kBigFileSize = qint64(4) * 1024 * 1024 * 1024;
constexpr char kBigFileName[] = "big-sparse.bin";
// Bytes with a CR LF and a NUL in them, for the transfer after the abort.
QByteArray SmallFileBytes() {
    return (QByteArray("small\r\nfile") + '\0' + "after the abort\n").repeated(100);
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

bool WriteSparseFile(const QString& path, qint64 size) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.resize(size) &&
           file.setPermissions(file.permissions() | QFile::ReadOther);
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

struct AbortCase {
    const char* name;
    bool upload;
    bool passive;
};

constexpr AbortCase kAbortCases[] = {
    {"DownloadPassive", false, true},
    {"DownloadActive", false, false},
    {"UploadPassive", true, true},
    {"UploadActive", true, false},
};

// vsftpd with a big sparse file and a small one in its root, and an engine logged in as its user.
class SessionControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Vsftpd);
        ASSERT_TRUE(WriteSparseFile(server->root() + u'/' + QLatin1String(kBigFileName), kBigFileSize));
        ASSERT_TRUE(WriteFile(server->root() + u"/small.bin"_s, SmallFileBytes()));
    }

    void login(bool passive) {
        h.setInt(u"Advance", u"PasvMode", passive ? 1 : 0);
        h.connect(server->port(), server->userName().toUtf8(), server->password().toUtf8());
        ASSERT_TRUE(h.waitIdle()) << h.view.joined() << qPrintable(server->logText());
    }

    void changeDirectory(const QByteArray& path) {
        h.engine().ChangeDirectory(path, false);
        ASSERT_TRUE(h.waitIdle()) << h.view.joined();
        ASSERT_EQ(h.engine().Session()->currentDirectory, path) << h.view.joined();
    }

    // The session is logged in with nothing running: the next command would go out at once.
    bool quiet() {
        const FtpSession* session = h.engine().Session();
        return session && session->loggedIn && !session->jobRunning && h.engine().IsIdle() &&
               !h.engine().CurrentCommand() && h.view.paneEnabled;
    }

    // Fetches the small file by its path; it arrives byte for byte.
    void expectSmallDownloadWorks() {
        QTemporaryDir target;
        ASSERT_TRUE(h.engine().DownloadByPath("/small.bin", target.path())) << h.view.joined();
        ASSERT_TRUE(h.waitIdle(20000)) << h.view.joined() << qPrintable(server->logText());
        EXPECT_EQ(ReadFile(target.filePath(u"small.bin"_s)), SmallFileBytes()) << h.view.joined();
    }

    std::unique_ptr<FtpServerProcess> server;
    EngineHarness h;
};

class AbortTransfer : public SessionControlTest, public ::testing::WithParamInterface<AbortCase> {};

// Abort once the first bytes have moved, the file far from whole: ABOR goes out, the directory is
// listed again after the replies to the transfer and to ABOR, and the session is quiet and logged in;
// a small file fetched next arrives intact, so no reply of the aborted transfer was taken for one of
// its commands.
TEST_P(AbortTransfer, SendsAborListsAgainAndTheNextTransferWorks) {
    const AbortCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(login(c.passive));
    QTemporaryDir local;
    QString moving; // the file whose size shows the bytes that moved
    if (c.upload) {
        ASSERT_NO_FATAL_FAILURE(changeDirectory("/incoming"));
        const QString source = local.filePath(QLatin1String(kBigFileName));
        ASSERT_TRUE(WriteSparseFile(source, kBigFileSize));
        moving = server->root() + u"/incoming/"_s + QLatin1String(kBigFileName);
        ASSERT_TRUE(h.engine().UploadPaths({source})) << h.view.joined();
    } else {
        moving = local.filePath(QLatin1String(kBigFileName));
        ASSERT_TRUE(h.engine().DownloadByPath("/"_ba + kBigFileName, local.path())) << h.view.joined();
    }
    ASSERT_TRUE(pumpEventsUntil([&] { return QFileInfo(moving).size() > 0; }, 20000)) << h.view.joined();
    ASSERT_LT(QFileInfo(moving).size(), kBigFileSize);
    const QByteArray directory = h.engine().Session()->currentDirectory;
    const int listingsBefore = h.view.listingCount;
    const qsizetype logBefore = h.view.lines().size();

    h.engine().AbortCommand();
    ASSERT_TRUE(pumpEventsUntil([&] { return quiet() && h.view.listingCount > listingsBefore; }, 20000))
        << h.view.joined() << qPrintable(server->logText());
    const QList<QByteArray> after = h.view.lines().mid(logBefore);
    const qsizetype abor = after.indexOf("COMMAND:>  ABOR");
    ASSERT_GE(abor, 0) << h.view.joined();
    EXPECT_EQ(after.count("COMMAND:>  ABOR"), 1) << h.view.joined();
    // The transfer's reply and ABOR's, and only then the commands of the listing.
    const auto next = std::find_if(after.begin() + abor + 1, after.end(),
                                   [](const QByteArray& line) { return line.startsWith("COMMAND:>"); });
    EXPECT_EQ(next - (after.begin() + abor), 3) << h.view.joined();
    EXPECT_GT(after.indexOf("COMMAND:>  LIST", abor), abor) << h.view.joined();
    EXPECT_EQ(h.engine().Session()->currentDirectory, directory);
    EXPECT_EQ(h.view.path, directory);
    EXPECT_FALSE(h.engine().CurrentTransfer());
    EXPECT_TRUE(h.view.taskRows.isEmpty());

    ASSERT_NO_FATAL_FAILURE(expectSmallDownloadWorks());
    EXPECT_TRUE(quiet()) << h.view.joined();
}

INSTANTIATE_TEST_SUITE_P(Vsftpd, AbortTransfer, ::testing::ValuesIn(kAbortCases), NameOfCase());

// Reconnect after Disconnect logs in again and lands in the directory the session had: the current
// directory and the listing shown are that directory's.
TEST_F(SessionControlTest, ReconnectAfterDisconnectLandsInTheSameDirectory) {
    ASSERT_NO_FATAL_FAILURE(login(true));
    ASSERT_NO_FATAL_FAILURE(changeDirectory("/pub/docs"));
    const QList<QByteArray> shown = h.view.shownNames();
    ASSERT_TRUE(shown.contains("readme.txt")) << h.view.joined();

    h.engine().Disconnect();
    ASSERT_FALSE(h.engine().Session());
    const int loginsBefore = h.view.loggedInCount;
    const int listingsBefore = h.view.listingCount;
    ASSERT_TRUE(h.engine().Reconnect());
    ASSERT_TRUE(pumpEventsUntil(
        [&] {
            return quiet() && h.view.loggedInCount > loginsBefore && h.view.listingCount > listingsBefore;
        },
        20000))
        << h.view.joined() << qPrintable(server->logText());
    EXPECT_EQ(h.engine().Session()->currentDirectory, "/pub/docs");
    EXPECT_EQ(h.view.path, "/pub/docs");
    EXPECT_EQ(h.view.shownNames(), shown);
    ASSERT_NO_FATAL_FAILURE(expectSmallDownloadWorks());
}

// A short keep-alive on a quiet session: each idle interval sends the next pick of "IdleCmdList",
// "Reload" lists the directory again, and the session stays up and fetches a file afterwards. (The
// server's own idle time-out stays at vsftpd's default of five minutes: the test server takes no
// extra configuration.)
TEST_F(SessionControlTest, KeepAliveSendsItsIdleCommandsAndTheSessionStaysUp) {
    constexpr qint64 kShortSecondMs = 30; // "IdleCommand" 10 is 300 ms
    h.engine().SetTimeUnits(kShortSecondMs, 60000);
    quint32 picks = 0;
    h.engine().SetRandom([&picks] { return picks++; });
    h.setInt(u"Advance", u"KeepConnection", 1);
    h.setInt(u"Advance", u"IdleCommand", 10);
    h.setString(u"Advance", u"IdleCmdList", u"NOOP,PWD,Reload"_s);
    ASSERT_NO_FATAL_FAILURE(login(true));
    ASSERT_NO_FATAL_FAILURE(changeDirectory("/pub"));
    const int listingsBefore = h.view.listingCount;
    const qsizetype logBefore = h.view.lines().size();

    // NOOP, PWD, Reload, and NOOP again: the keep-alive goes on after each.
    ASSERT_TRUE(pumpEventsUntil([&] { return picks >= 4 && quiet(); }, 20000)) << h.view.joined();
    const QList<QByteArray> sent = h.view.lines().mid(logBefore);
    const qsizetype noop = sent.indexOf("COMMAND:>  NOOP");
    const qsizetype pwd = sent.indexOf("COMMAND:>  PWD", noop);
    const qsizetype list = sent.indexOf("COMMAND:>  LIST", pwd);
    EXPECT_GE(noop, 0) << h.view.joined();
    EXPECT_GT(pwd, noop) << h.view.joined();
    EXPECT_GT(list, pwd) << h.view.joined();
    EXPECT_GT(sent.indexOf("COMMAND:>  NOOP", list), list) << h.view.joined();
    EXPECT_GT(h.view.listingCount, listingsBefore);
    EXPECT_EQ(h.engine().Session()->currentDirectory, "/pub");
    EXPECT_TRUE(h.view.failureReports.isEmpty()) << h.view.joined();
    EXPECT_TRUE(h.engine().KeepAliveTimer().isActive());

    ASSERT_NO_FATAL_FAILURE(expectSmallDownloadWorks());
}

} // namespace
} // namespace tessaly::test
