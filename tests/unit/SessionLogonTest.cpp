// The logon against a scripted server: the welcome, the logon tables, re-login and the ends of a
// session during logon, checked by the log a user would see.
#include "support/EngineHarness.h"
#include "support/EventPump.h"
#include "support/ListingScript.h"
#include "support/ProxyLogonCases.h"
#include "support/ScriptedPeer.h"

#include <gtest/gtest.h>

namespace tessaly::test {
namespace {

using Lines = QList<QByteArray>;

constexpr const char* kConnecting = "STATUS:>  Connecting to FTP server[127.0.0.1(2026-12-08 09:10:11)]...";
constexpr const char* kConnected = "STATUS:>  Connect successful, receive welcome message...";

class SessionLogon : public ::testing::Test {
protected:
    EngineHarness h;
    ScriptedPeer peer;
    ScriptedPeer data;
};

TEST_F(SessionLogon, PasswordLoginLogsEveryStepAndMasksThePassword) {
    peer.accept()
        .sendInPieces("220-Welcome to the test server\r\n220-second line\r\n220 ready\r\n", {10, 25, 20})
        .expectLine("USER alice")
        .send("331 Password required\r\n")
        .expectLine("PASS secret")
        .send("230 Logged in\r\n");
    ScriptFirstListing(peer, data);
    h.connect(peer.port(), "alice", "secret");
    ASSERT_TRUE(h.waitIdle()) << h.view.joined();
    EXPECT_EQ(peer.failureText(), "");
    const Lines expected = {
        kConnecting,
        kConnected,
        "              220-Welcome to the test server",
        "              220-second line",
        "              220 ready",
        "COMMAND:>  USER alice",
        "              331 Password required",
        "COMMAND:>  PASS ********",
        "              230 Logged in",
    };
    EXPECT_EQ(h.view.lines().mid(0, expected.size()), expected);
    EXPECT_EQ(h.view.title, QStringLiteral("Tessaly Client - 127.0.0.1"));
    EXPECT_TRUE(h.view.paneEnabled);
    // The welcome and the logon replies are shown once, as the login message.
    ASSERT_EQ(h.view.shownMessages.size(), 1);
    EXPECT_TRUE(h.view.shownMessages[0].startsWith("220-Welcome"));
    EXPECT_TRUE(h.view.shownMessages[0].contains("230 Logged in"));
    EXPECT_EQ(h.engine().KeepAliveTimer().interval(), 30000);
    EXPECT_TRUE(h.engine().KeepAliveTimer().isActive());
    ASSERT_NE(h.engine().LastSession(), nullptr);
    EXPECT_EQ(h.engine().LastSession()->userName, "alice");

    h.engine().Disconnect();
    EXPECT_EQ(h.view.lines().last(), "STATUS:>  Disconnect by client(2026-12-08 09:10:11:012).");
    EXPECT_EQ(h.view.title, QStringLiteral("Tessaly Client"));
    EXPECT_EQ(h.engine().Session(), nullptr);
    EXPECT_FALSE(h.view.paneEnabled);
}

TEST_F(SessionLogon, AnonymousPasswordIsLoggedAsSentAndColoursFollowTheKind) {
    peer.accept().send("220 hi\r\n").expectLine("USER anonymous").send("331 pw\r\n");
    peer.expectLine("PASS guest@").send("230 ok\r\n");
    ScriptFirstListing(peer, data);
    h.connect(peer.port());
    ASSERT_TRUE(h.waitIdle()) << h.view.joined();
    EXPECT_TRUE(h.view.lines().contains("COMMAND:>  PASS guest@"));
    const QList<LogColour> expected = {{0, 0, 255}, {0, 0, 255}, {0, 0, 0}, {0, 128, 0},
                                       {0, 0, 0},   {0, 128, 0}, {0, 0, 0}};
    EXPECT_EQ(h.view.colours.mid(0, expected.size()), expected);
}

TEST_F(SessionLogon, HiddePassWordOffShowsThePassword) {
    h.setInt(u"General", u"HiddePassWord", 0);
    peer.accept().send("220 hi\r\n").expectLine("USER bob").send("331 pw\r\n");
    peer.expectLine("PASS pw1").send("230 ok\r\n");
    ScriptFirstListing(peer, data);
    h.connect(peer.port(), "bob", "pw1");
    ASSERT_TRUE(h.waitIdle());
    EXPECT_TRUE(h.view.lines().contains("COMMAND:>  PASS pw1"));
}

TEST_F(SessionLogon, UserAnsweredWith230LogsInWithoutPass) {
    peer.accept().send("220 hi\r\n").expectLine("USER anonymous").send("230 no password needed\r\n");
    ScriptFirstListing(peer, data);
    h.connect(peer.port());
    ASSERT_TRUE(h.waitIdle());
    EXPECT_FALSE(h.view.texts().contains("PASS ********"));
    EXPECT_EQ(h.view.texts().at(4), "230 no password needed");
    EXPECT_EQ(h.view.texts().at(5), "SYST");
}

TEST_F(SessionLogon, PassAnswered332SendsAcctWithTheProxyPassword) {
    h.setString(u"FtpProxy", u"PassWord", QStringLiteral("acct-secret"));
    peer.accept().send("220 hi\r\n").expectLine("USER u").send("331 pw\r\n").expectLine("PASS p");
    peer.send("332 need account\r\n").expectLine("ACCT acct-secret").send("230 ok\r\n");
    ScriptFirstListing(peer, data);
    h.connect(peer.port(), "u", "p");
    ASSERT_TRUE(h.waitIdle()) << h.view.joined();
    EXPECT_EQ(peer.failureText(), "");
    // The proxy password from the settings never reaches the log.
    EXPECT_TRUE(h.view.lines().contains("COMMAND:>  ACCT ********")) << h.view.joined();
    EXPECT_FALSE(h.view.joined().find("acct-secret") != std::string::npos);
}

TEST_F(SessionLogon, RefusedAcctFailsTheLogonWithTheProxyMessage) {
    peer.accept().send("220 hi\r\n").expectLine("USER u").send("331 pw\r\n").expectLine("PASS p");
    peer.send("332 need account\r\n").readLine().send("332 still no\r\n");
    h.connect(peer.port(), "u", "p");
    ASSERT_TRUE(h.waitClosed());
    EXPECT_EQ(h.view.lines().last(),
              "ERROR:>  Login ftp proxy failed, please check ftp proxy setting(2026-12-08 09:10:11:012).");
}

TEST_F(SessionLogon, WelcomeWith421IsRefused) {
    peer.accept().send("421 Too many users\r\n");
    h.connect(peer.port());
    ASSERT_TRUE(h.waitClosed());
    const Lines expected = {kConnecting, kConnected, "              421 Too many users",
                            "ERROR:>  FTP server refuse to logon(2026-12-08 09:10:11:012)."};
    EXPECT_EQ(h.view.lines(), expected);
    EXPECT_EQ(h.view.closedCount, 1);
}

TEST_F(SessionLogon, RefusedPasswordAsksAgainUpToLoginNumberTimes) {
    h.setInt(u"General", u"LoginNumber", 3);
    h.view.loginAnswers = {RecordingView::LoginAnswer{"u2", "p2"}, RecordingView::LoginAnswer{"u3", "p3"},
                           RecordingView::LoginAnswer{"u4", "p4"}};
    peer.accept().send("220 hi\r\n");
    const QByteArray users[] = {"u1", "u2", "u3", "u4"};
    for (const QByteArray& user : users) {
        peer.expectLine("USER " + user).send("331 pw\r\n").readLine().send("530 Login incorrect\r\n");
    }
    h.connect(peer.port(), "u1", "p1");
    ASSERT_TRUE(h.waitClosed()) << h.view.joined();
    EXPECT_EQ(peer.failureText(), "");
    ASSERT_EQ(h.view.loginRequests.size(), 3);
    EXPECT_EQ(h.view.loginRequests[0].userName, "u1");
    EXPECT_EQ(h.view.loginRequests[0].host, "127.0.0.1");
    EXPECT_TRUE(h.view.loginRequests[0].password.isEmpty());
    EXPECT_EQ(h.view.loginRequests[2].userName, "u3");
    EXPECT_EQ(h.view.lines().last(), "ERROR:>  Password error, logon failed, disconnect.");
    const QList<QByteArray> sent = peer.receivedLines();
    EXPECT_EQ(sent.count("PASS p4"), 1);
}

TEST_F(SessionLogon, CancelledLoginQuestionDisconnects) {
    peer.accept().send("220 hi\r\n").expectLine("USER u").send("331 pw\r\n").readLine();
    peer.send("530 Login incorrect\r\n");
    h.connect(peer.port(), "u", "bad");
    ASSERT_TRUE(h.waitClosed());
    EXPECT_EQ(h.view.loginRequests.size(), 1);
    EXPECT_EQ(h.view.lines().last(), "STATUS:>  Disconnect by client.");
}

TEST_F(SessionLogon, ServerClosingAfterLoginEndsTheSessionWithoutRetry) {
    peer.accept().send("220 hi\r\n").expectLine("USER anonymous").send("230 ok\r\n").pause(100).close();
    h.connect(peer.port());
    ASSERT_TRUE(h.waitClosed()) << h.view.joined();
    EXPECT_EQ(h.view.lines().last(), "ERROR:>  Disconnect by remote ftp server.");
    EXPECT_EQ(peer.connectionCount(), 1);
}

TEST_F(SessionLogon, ServerClosingBeforeTheWelcomeCountsAsAFailedAttempt) {
    h.setInt(u"General", u"RetryNumber", 2);
    peer.accept().close().accept().send("220 second try\r\n").expectLine("USER anonymous").send("230 ok\r\n");
    ScriptFirstListing(peer, data);
    h.connect(peer.port());
    ASSERT_TRUE(h.waitIdle()) << h.view.joined();
    EXPECT_EQ(peer.connectionCount(), 2);
    const Lines texts = h.view.texts();
    EXPECT_TRUE(texts.contains("Cannot connect target, processing next attemption..."));
    EXPECT_EQ(texts.count("Connect successful, receive welcome message..."), 2);
}

TEST_F(SessionLogon, EndlessReplyWithoutFinalLineIsCutOff) {
    peer.accept().repeatSend("220-this reply never ends, it only grows and grows\r\n", 40000);
    h.connect(peer.port());
    ASSERT_TRUE(h.waitClosed(20000));
    EXPECT_EQ(h.view.lines().at(h.view.lines().size() - 2),
              "ERROR:>  Server reply too long without a final line, disconnect(2026-12-08 09:10:11:012).");
    EXPECT_EQ(h.view.texts().count("220-this reply never ends, it only grows and grows"), 0);
}

TEST_F(SessionLogon, ReplyTimeoutAbortsTheLogon) {
    h.setInt(u"General", u"UseTimeout", 1);
    h.setInt(u"General", u"FtpCommandTimeout", 1);
    peer.accept().send("220 hi\r\n").expectLine("USER anonymous").pause(3000);
    h.connect(peer.port());
    ASSERT_TRUE(h.waitClosed(8000)) << h.view.joined();
    const Lines lines = h.view.lines();
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[lines.size() - 3], "");
    EXPECT_EQ(lines[lines.size() - 2], "ERROR:>  Command reply timeout!");
    EXPECT_EQ(lines.last(), "STATUS:>  Aborted by client(2026-12-08 09:10:11:012).");
}

// The FTP-proxy conventions, each against a scripted proxy that checks the commands in order.
class SessionProxyLogon : public ::testing::TestWithParam<ProxyCase> {};

TEST_P(SessionProxyLogon, SendsTheConventionsCommands) {
    ExpectProxyLogon(GetParam(), &WriteProxySettings);
}

// With the FTP proxy on, a "ProxyType" that names no convention (0 is what "None" stores) starts
// nothing: no connection to the proxy or the target, and an error line says why.
TEST(SessionProxyLogonChoice, NoConventionConnectsNowhere) {
    for (const int proxyType : {0, 9, -1}) {
        EngineHarness h;
        ScriptedPeer peer;
        h.setInt(u"FtpProxy", u"UseProxy", 1);
        h.setInt(u"FtpProxy", u"ProxyType", proxyType);
        h.setString(u"FtpProxy", u"ProxyName", QStringLiteral("127.0.0.1"));
        h.setInt(u"FtpProxy", u"ProxyPort", peer.port());
        h.connect(peer.port());
        EXPECT_EQ(h.engine().Session(), nullptr) << proxyType;
        EXPECT_FALSE(h.engine().HasControlConnection());
        EXPECT_TRUE(h.view.lines().last().startsWith("ERROR:>  The FTP proxy is on but no logon type"))
            << h.view.joined();
        pumpEventsUntil([] { return false; }, 100);
        EXPECT_EQ(peer.connectionCount(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Conventions, SessionProxyLogon, ::testing::ValuesIn(ProxyLogonCases()),
                         [](const ::testing::TestParamInfo<ProxyCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
} // namespace tessaly::test
