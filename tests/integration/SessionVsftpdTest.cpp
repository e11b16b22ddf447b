// The engine against a real vsftpd where only a real server shows the behaviour.
#include "support/EngineHarness.h"
#include "support/EventPump.h"
#include "support/FtpServerProcess.h"

#include <gtest/gtest.h>

namespace tessaly::test {
namespace {

// vsftpd closes the connection after the third wrong password, by default just when the third
// login dialog is open. The answer given there belongs to the closed connection: it is dropped,
// and the new connection logs on from its own welcome, never taking the welcome for a reply.
TEST(SessionVsftpd, ServerClosingWhileTheLoginDialogIsOpenDropsTheAnswer) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Vsftpd);
    EngineHarness h;
    h.setInt(u"General", u"LoginNumber", 5);
    h.setInt(u"General", u"WaitTimes", 0);
    const QByteArray user = server->userName().toUtf8();
    h.view.loginAnswers = {
        RecordingView::LoginAnswer{user, "wrong2"}, RecordingView::LoginAnswer{user, "wrong3"},
        RecordingView::LoginAnswer{user, "secret"}, RecordingView::LoginAnswer{user, "secret"}};
    h.view.whileAskingLogin = [&] {
        if (h.view.loginRequests.size() != 3) {
            return;
        }
        // The real dialog runs the event loop: the server's close and the retry come due meanwhile.
        pumpEventsUntil(
            [&] { return h.view.texts().contains("Cannot connect target, processing next attemption..."); },
            5000);
        pumpEventsUntil([] { return false; }, 300);
    };
    h.connect(server->port(), user, "wrong1");
    ASSERT_TRUE(h.waitIdle(30000)) << h.view.joined() << qPrintable(server->logText());

    const QList<QByteArray> lines = h.view.lines();
    EXPECT_TRUE(lines.contains(
        "STATUS:>  The connection closed while the login dialog was open, the answer is dropped."))
        << h.view.joined();
    EXPECT_EQ(h.view.loginRequests.size(), 4);
    // On the second connection the welcome comes first, then the logon starts again.
    const qsizetype second = lines.lastIndexOf("STATUS:>  Connect successful, receive welcome message...");
    ASSERT_GT(second, 0);
    ASSERT_GT(lines.size(), second + 2);
    EXPECT_TRUE(lines[second + 1].trimmed().startsWith("220")) << h.view.joined();
    EXPECT_EQ(lines[second + 2], "COMMAND:>  USER " + user);
    EXPECT_TRUE(h.engine().Session()->loggedIn);
    EXPECT_EQ(lines.count("COMMAND:>  PASS ********"), 5);
}

// Data commands sent raw, as tessaly-cli's quote sends them: a PASV alone, and a PASV with a LIST,
// end without a wait and leave the listing shown and its cache entry as they were.
TEST(SessionVsftpd, RawDataCommandsEndWithTheirReplies) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Vsftpd);
    EngineHarness h;
    h.connect(server->port(), server->userName().toUtf8(), server->password().toUtf8());
    ASSERT_TRUE(h.waitIdle()) << h.view.joined();
    const QList<QByteArray> shown = h.view.shownNames();
    const QByteArray cached = h.engine().Session()->folderCache.at(0).text();
    for (const QList<QByteArray>& commands :
         {QList<QByteArray>{"PASV"}, QList<QByteArray>{"PASV", "LIST pub"}}) {
        ASSERT_TRUE(h.engine().SendCommands(commands));
        ASSERT_TRUE(h.waitIdle(10000)) << h.view.joined();
    }
    EXPECT_TRUE(h.view.lines().contains("              226 Directory send OK.")) << h.view.joined();
    EXPECT_EQ(h.view.listingCount, 1);
    EXPECT_EQ(h.view.shownNames(), shown);
    EXPECT_EQ(h.engine().Session()->folderCache.at(0).text(), cached);
    EXPECT_TRUE(h.view.failureReports.isEmpty());
}

} // namespace
} // namespace tessaly::test
