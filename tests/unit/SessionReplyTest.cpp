// Replies after login: data commands answered in one or two reads, ABOR's two replies, server
// messages, the per-command rules, the failed-commands report, keep-alive and reply timers.
#include "session/ReplyFields.h"
#include "support/EngineHarness.h"
#include "support/EventPump.h"
#include "support/ListingScript.h"
#include "support/ScriptedPeer.h"

#include <QTimer>
#include <gtest/gtest.h>

namespace tessaly::test {
namespace {

class SessionReply : public ::testing::Test {
protected:
    // Logs in anonymously; the test then scripts the commands that follow.
    void login() {
        peer.accept().send("220 hi\r\n").expectLine("USER anonymous").send("230 ok\r\n");
        ScriptFirstListing(peer, data);
        h.connect(peer.port());
        ASSERT_TRUE(h.waitIdle()) << h.view.joined() << peer.failureText();
        logBefore = h.view.lines().size();
    }
    // The log lines written since login.
    QList<QByteArray> newLines() const { return h.view.lines().mid(logBefore); }
    bool send(const QList<QByteArray>& commands) { return h.engine().SendCommands(commands); }

    EngineHarness h;
    ScriptedPeer peer;
    ScriptedPeer data;
    qsizetype logBefore = 0;
};

TEST_F(SessionReply, DataCommandAnswered150Then226InTwoReadsWaitsForTheSecond) {
    login();
    peer.expectLine("LIST").send("150 Here it comes\r\n").pause(300).send("226 Done\r\n");
    ASSERT_TRUE(send({"LIST"}));
    ASSERT_TRUE(pumpEventsUntil([&] { return newLines().size() >= 2; }, 5000));
    EXPECT_EQ(newLines(), (QList<QByteArray>{"COMMAND:>  LIST", "              150 Here it comes"}));
    EXPECT_FALSE(h.engine().IsIdle());
    ASSERT_TRUE(h.waitIdle());
    EXPECT_EQ(newLines().last(), "              226 Done");
    EXPECT_EQ(h.engine().Session()->lastReplyCode, 226);
}

TEST_F(SessionReply, DataCommandAnswered150And226InOneReadCompletesAtOnce) {
    login();
    peer.expectLine("RETR x").send("150 Opening\r\n226 Transfer complete\r\n");
    ASSERT_TRUE(send({"RETR x"}));
    ASSERT_TRUE(h.waitIdle());
    EXPECT_EQ(newLines(), (QList<QByteArray>{"COMMAND:>  RETR x", "              150 Opening",
                                             "              226 Transfer complete"}));
    EXPECT_EQ(h.engine().Session()->lastReplyCode, 226);
}

TEST_F(SessionReply, RefusedRetrIsRecordedAndTheSequenceGoesOn) {
    login();
    peer.expectLine("RETR missing").send("550 No such file\r\n").expectLine("NOOP").send("200 ok\r\n");
    ASSERT_TRUE(send({"RETR missing", "NOOP"}));
    ASSERT_TRUE(h.waitIdle());
    EXPECT_EQ(peer.failureText(), "");
    ASSERT_EQ(h.view.failureReports.size(), 1);
    const std::vector<FailureRecord>& records = h.view.failureReports[0];
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].kind, FailureRecord::Kind::Command);
    EXPECT_EQ(records[0].text, "RETR missing");
    EXPECT_EQ(records[1].kind, FailureRecord::Kind::Reply);
    EXPECT_EQ(records[1].text, "550 No such file\r\n");
    // The report is emptied once shown.
    EXPECT_TRUE(h.engine().Session()->failedCommands.empty());
}

TEST_F(SessionReply, AborWaitsForBothRepliesAndLogsThemTogether) {
    login();
    peer.expectLine("ABOR").send("426 Transfer aborted\r\n").pause(300).send("226 Abort successful\r\n");
    ASSERT_TRUE(send({"ABOR"}));
    pumpEventsUntil([] { return false; }, 150);
    EXPECT_EQ(newLines(), (QList<QByteArray>{"COMMAND:>  ABOR"}));
    ASSERT_TRUE(h.waitIdle());
    EXPECT_EQ(newLines(), (QList<QByteArray>{"COMMAND:>  ABOR", "              426 Transfer aborted",
                                             "              226 Abort successful"}));
    // Neither reply is kept as a server message.
    EXPECT_EQ(h.engine().Session()->messages.size(), 1u);
}

TEST_F(SessionReply, MultiLineReplyToCwdIsShownAsAFolderMessage) {
    login();
    peer.expectLine("CWD /pub").send("250-Welcome to pub\r\n250-read the README\r\n250 CWD ok\r\n");
    ASSERT_TRUE(send({"CWD /pub"}));
    ASSERT_TRUE(h.waitIdle());
    ASSERT_EQ(h.view.shownMessages.size(), 2); // the welcome at login, then this one
    EXPECT_EQ(h.view.shownMessages[1], "250-Welcome to pub\r\n250-read the README\r\n250 CWD ok\r\n");
    EXPECT_TRUE(h.view.failureReports.isEmpty());
}

TEST_F(SessionReply, FolderMessagesFollowShowDirMsg) {
    h.setInt(u"Advance", u"ShowDirMsg", 0);
    login();
    peer.expectLine("CWD /pub").send("250-a\r\n250 b\r\n");
    ASSERT_TRUE(send({"CWD /pub"}));
    ASSERT_TRUE(h.waitIdle());
    EXPECT_EQ(h.view.shownMessages.size(), 1);
    EXPECT_EQ(h.engine().Session()->messages.size(), 2u);
}

TEST_F(SessionReply, MultiLineReplyToListIsNoMessage) {
    login();
    // The data command waits for its second reply; the 226 completes it.
    peer.expectLine("LIST").send("150-Opening\r\n150 now\r\n").pause(100).send("226 done\r\n");
    peer.expectLine("NOOP").send("200 ok\r\n");
    ASSERT_TRUE(send({"LIST", "NOOP"}));
    ASSERT_TRUE(h.waitIdle());
    EXPECT_EQ(peer.failureText(), "");
    EXPECT_EQ(h.engine().Session()->messages.size(), 1u);
}

TEST_F(SessionReply, RefusedRnfrDropsItsRnto) {
    login();
    peer.expectLine("RNFR a").send("550 no a\r\n").expectLine("NOOP").send("200 ok\r\n");
    ASSERT_TRUE(send({"RNFR a", "RNTO b", "NOOP"}));
    ASSERT_TRUE(h.waitIdle());
    EXPECT_EQ(peer.failureText(), "");
    EXPECT_FALSE(peer.receivedLines().contains("RNTO b"));
    ASSERT_EQ(h.view.failureReports.size(), 1);
    EXPECT_EQ(h.view.failureReports[0][0].text, "RNFR a");
}

TEST_F(SessionReply, SuccessRangesOfTheCommandTable) {
    login();
    // MKD and SITE need 101 to 399; DELE accepts up to 400; a reply to an unlisted command is never
    // a failure. The created directory makes the listing come again once the sequence is done.
    peer.expectLine("MKD d").send("257 created\r\n").expectLine("DELE f").send("400 odd\r\n");
    peer.expectLine("SITE CHMOD 644 f").send("500 no\r\n").expectLine("TYPE Z").send("504 no such type\r\n");
    ScriptedPeer again;
    peer.expectLine("CWD /").send("250 ok\r\n").expectLine("PWD").send("257 \"/\"\r\n");
    peer.expectLine("TYPE A")
        .send("200 ok\r\n")
        .expectLine("PASV")
        .send(ScriptedPeer::pasvReplyFor(again.port()));
    peer.expectLine("LIST").send("150 here\r\n");
    again.accept().send("drwxr-xr-x 2 o g 4096 Jan 01 2026 d\r\n").close();
    peer.pause(50).send("226 done\r\n");
    ASSERT_TRUE(send({"MKD d", "DELE f", "SITE CHMOD 644 f", "TYPE Z"}));
    ASSERT_TRUE(h.waitIdle());
    ASSERT_EQ(h.view.failureReports.size(), 1);
    const std::vector<FailureRecord>& records = h.view.failureReports[0];
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].text, "SITE CHMOD 644 f");
    ASSERT_TRUE(h.waitIdle()) << h.view.joined() << peer.failureText();
    EXPECT_EQ(peer.failureText(), "");
    EXPECT_FALSE(h.engine().Session()->refreshPending);
    EXPECT_EQ(h.view.shownNames(), (QList<QByteArray>{"d"}));
}

TEST_F(SessionReply, LineWithCode100IsNeverFinal) {
    login();
    peer.expectLine("NOOP").send("100 not final\r\n").pause(200).send("200 now\r\n");
    ASSERT_TRUE(send({"NOOP"}));
    ASSERT_TRUE(h.waitIdle());
    EXPECT_EQ(newLines(),
              (QList<QByteArray>{"COMMAND:>  NOOP", "              100 not final", "              200 now"}));
}

TEST_F(SessionReply, FinalLineSplitBeforeItsLineEndWaitsForTheRest) {
    login();
    peer.expectLine("PWD").send("257 \"/ho").pause(200).send("me\" is current\r\n");
    ASSERT_TRUE(send({"PWD"}));
    ASSERT_TRUE(h.waitIdle());
    EXPECT_EQ(newLines().last(), "              257 \"/home\" is current");
}

TEST_F(SessionReply, SecretsOfSitePswdAreMaskedInLogAndReport) {
    peer.accept().send("220 hi\r\n").expectLine("USER bob").send("331 pw\r\n").readLine().send("230 ok\r\n");
    ScriptFirstListing(peer, data);
    h.connect(peer.port(), "bob", "pw");
    ASSERT_TRUE(h.waitIdle());
    peer.expectLine("SITE PSWD old new").send("502 not here\r\n");
    ASSERT_TRUE(h.engine().SendCommands({"SITE PSWD old new"}));
    ASSERT_TRUE(h.waitIdle());
    EXPECT_TRUE(h.view.lines().contains("COMMAND:>  PASS ********"));
    ASSERT_EQ(h.view.failureReports.size(), 1);
    EXPECT_EQ(h.view.failureReports[0][0].text, "PASS ********");
}

TEST_F(SessionReply, KeepAliveIntervalIsClampedAndStoppedByEveryCommand) {
    const std::pair<int, int> cases[] = {{5, 30000}, {10, 10000}, {90, 90000}, {95, 30000}};
    for (const auto& [configured, expected] : cases) {
        EngineHarness local;
        ScriptedPeer server;
        ScriptedPeer serverData;
        local.setInt(u"Advance", u"IdleCommand", configured);
        server.accept().send("220 hi\r\n").expectLine("USER anonymous").send("230 ok\r\n");
        ScriptFirstListing(server, serverData);
        server.expectLine("NOOP");
        local.connect(server.port());
        ASSERT_TRUE(local.waitIdle());
        EXPECT_EQ(local.engine().KeepAliveTimer().interval(), expected) << configured;
        EXPECT_TRUE(local.engine().KeepAliveTimer().isActive());
        ASSERT_TRUE(local.engine().SendCommands({"NOOP"}));
        EXPECT_FALSE(local.engine().KeepAliveTimer().isActive());
    }
}

TEST_F(SessionReply, KeepConnectionOffStartsNoKeepAlive) {
    h.setInt(u"Advance", u"KeepConnection", 0);
    login();
    EXPECT_FALSE(h.engine().KeepAliveTimer().isActive());
}

TEST_F(SessionReply, ReplyTimerCoversOrdinaryCommandsButNotDataCommands) {
    h.setInt(u"General", u"UseTimeout", 1);
    h.setInt(u"General", u"FtpCommandTimeout", 5);
    login();
    peer.expectLine("NOOP").pause(100).send("200 ok\r\n").expectLine("LIST");
    ASSERT_TRUE(send({"NOOP"}));
    EXPECT_TRUE(h.engine().ReplyTimer().isActive());
    EXPECT_EQ(h.engine().ReplyTimer().interval(), 5000);
    ASSERT_TRUE(h.waitIdle());
    EXPECT_FALSE(h.engine().ReplyTimer().isActive());
    ASSERT_TRUE(send({"LIST"}));
    EXPECT_FALSE(h.engine().ReplyTimer().isActive());
}

TEST_F(SessionReply, NothingIsSentWhileAReplyIsAwaited) {
    login();
    peer.expectLine("NOOP").pause(300).send("200 ok\r\n");
    ASSERT_TRUE(send({"NOOP"}));
    EXPECT_FALSE(send({"STAT"}));
    ASSERT_TRUE(h.waitIdle());
    EXPECT_FALSE(peer.receivedLines().contains("STAT"));
}

TEST_F(SessionReply, LateReplyWithNoCommandDoesNotWedgeTheEngine) {
    login();
    peer.send("200 stray reply\r\n");
    pumpEventsUntil([&] { return !newLines().isEmpty(); }, 3000);
    EXPECT_EQ(newLines(), (QList<QByteArray>{"              200 stray reply"}));
    EXPECT_TRUE(h.engine().IsIdle());
    peer.expectLine("NOOP").send("200 ok\r\n");
    EXPECT_TRUE(send({"NOOP"}));
    EXPECT_TRUE(h.waitIdle());
}

// A complete reply followed by a stream that never ends a line: the bytes after the reply are
// bounded like any reply, and the engine reads them a slice at a time, so the loop keeps running
// (timers fire) until it gives up.
TEST_F(SessionReply, EndlessStreamAfterACompleteReplyIsCutOffWithoutFreezing) {
    login();
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(1);
    const QByteArray endless(4096, 'x');
    peer.expectLine("NOOP").send("200 ok\r\n" + endless).repeatSend(endless, 1 << 20);
    ASSERT_TRUE(send({"NOOP"}));
    ASSERT_TRUE(h.waitClosed(20000)) << h.view.joined();
    const QList<QByteArray> lines = newLines();
    EXPECT_TRUE(lines.contains("              200 ok")) << h.view.joined();
    EXPECT_EQ(lines.at(lines.size() - 2),
              "ERROR:>  Server reply too long without a final line, disconnect(2026-12-08 09:10:11:012).");
    EXPECT_GT(ticks, 0);
}

} // namespace
} // namespace tessaly::test

// The fields taken from reply texts: a SIZE reply's number (never negative) and a 257 reply's path,
// whose quotes come doubled.
TEST(ReplyFields, SizeAndQuotedPathAsServersWriteThem) {
    const struct {
        QByteArray reply;
        qint64 size;
    } sizes[] = {{"213 1234\r\n", 1234},
                 {"213 5368709120", 5368709120},
                 {"213 -5\r\n", 0},
                 {"213 many\r\n", 0},
                 {"213", 0},
                 {"213  77 \r\n", 77}};
    for (const auto& c : sizes) {
        EXPECT_EQ(tessaly::ParseSizeReply(c.reply), c.size) << c.reply.constData();
    }
    const struct {
        QByteArray reply;
        std::optional<QByteArray> path;
    } paths[] = {
        {"257 \"/pub\" is the current directory.", "/pub"},
        {"257 \"/a \"\"b\"\" dir\" created.", "/a \"b\" dir"},
        {"257 \"\"\"\"\"\" is current.", "\"\""},
        {"257 \"\" is current.", ""},
        {"257 \"/not closed", std::nullopt},
        {"257 \"/ends in a doubled quote\"\"", std::nullopt},
        {"257 no quotes", std::nullopt},
    };
    for (const auto& c : paths) {
        EXPECT_EQ(tessaly::ParseQuotedPath(c.reply), c.path) << c.reply.constData();
    }
}
