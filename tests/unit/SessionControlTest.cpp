// Keeping a session in step with its server: the keep-alive and operations asked for while its
// command runs, the reply time-out and replies that come late for commands given up, the bounded
// wait for a welcome, time-outs that never outlive what they guard, and Reconnect.
#include "support/EngineHarness.h"
#include "support/EventPump.h"
#include "support/ListingScript.h"
#include "support/ScriptedPeer.h"

#include <QTimer>
#include <gtest/gtest.h>
#include <limits>

namespace tessaly::test {
namespace {

constexpr int kShortSecondMs = 20; // the settings' seconds, made short

class SessionControl : public ::testing::Test {
protected:
    void login() {
        peer.accept().send("220 hi\r\n").expectLine("USER anonymous").send("230 ok\r\n");
        ScriptFirstListing(peer, data, "drwxr-xr-x 1 u g 0 Jan 01 2026 sub\r\n");
        h.connect(peer.port());
        ASSERT_TRUE(h.waitIdle()) << h.view.joined() << peer.failureText();
        logBefore = h.view.lines().size();
    }
    QList<QByteArray> newLines() const { return h.view.lines().mid(logBefore); }
    // The position of a log line written since login, or -1.
    qsizetype lineAt(const QByteArray& line) const { return newLines().indexOf(line); }
    bool settled() { return peer.finished() && h.engine().IsIdle() && !h.engine().CurrentCommand(); }

    EngineHarness h;
    ScriptedPeer peer;
    ScriptedPeer data;
    qsizetype logBefore = 0;
};

TEST(IdleCommandList, IsCutAtEveryCommaWithoutTrimming) {
    const std::pair<QByteArray, QList<QByteArray>> cases[] = {
        {"Reload,PWD,NOOP,REST 0,TYPE A,TYPE I", {"Reload", "PWD", "NOOP", "REST 0", "TYPE A", "TYPE I"}},
        {"NOOP,,PWD", {"NOOP", "", "PWD"}},
        {"NOOP,", {"NOOP"}},
        {",NOOP", {"", "NOOP"}},
        {" NOOP , PWD", {" NOOP ", " PWD"}},
        {"", {}},
        {",", {""}},
    };
    for (const auto& [list, expected] : cases) {
        EXPECT_EQ(CutIdleCommandList(list), expected) << list.constData();
    }
}

// Each idle interval sends the picked idle command; "reload" in any case and an empty list list the
// directory again; an empty text between two commas is sent as an empty line.
TEST(KeepAlive, SendsThePickedIdleCommandAfterEachIdleInterval) {
    struct Case {
        QByteArray list;
        quint32 random;
        QByteArray expectedLine; // "LIST": the directory is listed again
    };
    for (const Case& c : {Case{"NOOP", 7, "NOOP"}, Case{"NOOP,,PWD", 1, ""}, Case{"NOOP,rElOaD", 3, "LIST"},
                          Case{"", 0, "LIST"}}) {
        SCOPED_TRACE(c.list.constData());
        EngineHarness h;
        ScriptedPeer peer;
        ScriptedPeer data;
        ScriptedPeer relist;
        h.engine().SetTimeUnits(kShortSecondMs, 60000);
        h.engine().SetRandom([&c] { return c.random; });
        h.setInt(u"Advance", u"IdleCommand", 10);
        h.setString(u"Advance", u"IdleCmdList", QString::fromLatin1(c.list));
        peer.accept().send("220 hi\r\n").expectLine("USER anonymous").send("230 ok\r\n");
        ScriptFirstListing(peer, data);
        for (int tick = 0; tick < 2; ++tick) {
            if (c.expectedLine == "LIST") {
                peer.expectLine("PWD").send("257 \"/\"\r\n").expectLine("TYPE A").send("200 ok\r\n");
                peer.expectLine("PASV").send(ScriptedPeer::pasvReplyFor(relist.port()));
                peer.expectLine("LIST").send("150 here\r\n");
                relist.accept().close();
                peer.pause(30).send("226 ok\r\n");
            } else {
                peer.expectLine(c.expectedLine).send("200 ok\r\n");
            }
        }
        h.connect(peer.port());
        ASSERT_TRUE(pumpEventsUntil([&] { return peer.finished(); }, 5000)) << h.view.joined();
        EXPECT_EQ(peer.failureText(), "");
        ASSERT_TRUE(pumpEventsUntil([&] { return h.engine().IsIdle(); }, 5000));
        EXPECT_TRUE(h.engine().KeepAliveTimer().isActive()); // and so on, while the session idles
    }
}

// An operation asked for while the keep-alive's command is out waits for its reply, then runs.
TEST_F(SessionControl, AnOperationWaitsForTheKeepAliveReply) {
    h.engine().SetTimeUnits(kShortSecondMs, 60000);
    h.engine().SetRandom([] { return 0u; });
    h.setInt(u"Advance", u"IdleCommand", 10);
    h.setString(u"Advance", u"IdleCmdList", QStringLiteral("NOOP"));
    login();
    peer.expectLine("NOOP").pause(200).send("200 ok\r\n").expectLine("MKD new").send("257 \"/new\" made\r\n");
    ASSERT_TRUE(pumpEventsUntil([&] { return lineAt("COMMAND:>  NOOP") >= 0; }, 5000));
    ASSERT_TRUE(h.engine().MakeDirectory("new"));
    ASSERT_TRUE(pumpEventsUntil([&] { return lineAt("COMMAND:>  MKD new") >= 0; }, 5000)) << h.view.joined();
    EXPECT_GT(lineAt("COMMAND:>  MKD new"), lineAt("              200 ok"));
    EXPECT_EQ(peer.failureText(), "");
}

// A server that never answers: the reply time-out aborts the command, and the next command goes out
// once the wait for the owed reply has ended, and gets its own reply.
TEST_F(SessionControl, AfterAReplyTimeOutTheNextCommandGetsItsOwnReply) {
    h.setInt(u"General", u"UseTimeout", 1);
    h.setInt(u"General", u"FtpCommandTimeout", 5);
    h.engine().SetTimeUnits(kShortSecondMs, 60000);
    h.engine().SetOwedReplyWait(200);
    login();
    peer.expectLine("STAT").expectLine("TYPE I").send("200 Type set to I\r\n");
    ASSERT_TRUE(h.engine().SendCommands({"STAT"}));
    ASSERT_TRUE(pumpEventsUntil([&] { return lineAt("ERROR:>  Command reply timeout!") >= 0; }, 5000));
    EXPECT_FALSE(h.engine().ReplyTimer().isActive());
    ASSERT_TRUE(h.engine().SendCommands({"TYPE I"}));
    ASSERT_TRUE(pumpEventsUntil([&] { return settled(); }, 5000)) << h.view.joined();
    EXPECT_EQ(peer.failureText(), "");
    EXPECT_EQ(h.engine().Session()->lastReplyCode, 200);
    EXPECT_TRUE(h.view.failureReports.empty());
}

// Replies that come late for a command given up are dropped, whether they come before the next
// command is asked for or after: that command goes out only after them and gets its own reply.
TEST_F(SessionControl, LateRepliesOfAnAbortedCommandAreNotTakenForTheNext) {
    login();
    for (const bool askFirst : {false, true}) {
        SCOPED_TRACE(askFirst);
        peer.expectLine("DELE gone").pause(200).send("550 gone: no such file\r\n");
        peer.expectLine("NOOP").send("200 NOOP ok\r\n");
        ASSERT_TRUE(h.engine().SendCommands({"DELE gone"}));
        ASSERT_TRUE(pumpEventsUntil([&] { return lineAt("COMMAND:>  DELE gone") >= 0; }, 5000));
        h.engine().AbortCommand();
        if (!askFirst) {
            ASSERT_TRUE(
                pumpEventsUntil([&] { return lineAt("              550 gone: no such file") >= 0; }, 5000));
        }
        ASSERT_TRUE(h.engine().SendCommands({"NOOP"}));
        ASSERT_TRUE(pumpEventsUntil([&] { return settled(); }, 5000)) << h.view.joined();
        EXPECT_GT(lineAt("COMMAND:>  NOOP"), lineAt("              550 gone: no such file"));
        EXPECT_EQ(h.engine().Session()->lastReplyCode, 200);
        EXPECT_TRUE(h.view.failureReports.empty()); // the 550 was nobody's: nothing is reported
        EXPECT_EQ(peer.failureText(), "");
        logBefore = h.view.lines().size();
    }
}

// Abort of a directory change leaves the session in the directory the pane shows, on both sides.
TEST_F(SessionControl, AbortOfADirectoryChangeGoesBackToTheShownDirectory) {
    login();
    peer.expectLine("CWD /sub").pause(150).send("250 ok\r\n");
    peer.expectLine("CWD /").send("250 back\r\n");
    peer.expectLine("DELE x").send("250 deleted\r\n");
    h.engine().ChangeDirectory("/sub", false);
    ASSERT_TRUE(pumpEventsUntil([&] { return lineAt("COMMAND:>  CWD /sub") >= 0; }, 5000));
    h.engine().AbortCommand();
    EXPECT_EQ(h.engine().Session()->currentDirectory, "/");
    ASSERT_TRUE(
        pumpEventsUntil([&] { return lineAt("              250 back") >= 0 && h.engine().IsIdle(); }, 5000))
        << h.view.joined();
    ASSERT_TRUE(h.engine().SendCommands({"DELE x"}));
    ASSERT_TRUE(pumpEventsUntil([&] { return settled(); }, 5000)) << h.view.joined();
    EXPECT_EQ(peer.failureText(), "");
    EXPECT_EQ(h.engine().Session()->currentDirectory, "/");
}

// With time-outs on, a server that accepts and says nothing is given up after the reply time-out.
TEST(SessionWelcome, ASilentServerIsGivenUpAfterTheReplyTimeOut) {
    EngineHarness h;
    ScriptedPeer peer;
    h.setInt(u"General", u"UseTimeout", 1);
    h.setInt(u"General", u"FtpCommandTimeout", 3);
    h.engine().SetTimeUnits(kShortSecondMs, 60000);
    peer.accept().pause(3000);
    h.connect(peer.port());
    ASSERT_TRUE(h.waitClosed(2500)) << h.view.joined();
    EXPECT_TRUE(h.view.lines().contains("ERROR:>  Command reply timeout!")) << h.view.joined();
}

// Time-outs of 0 or below take the key's default, so nothing times out at once.
TEST(SessionTimeouts, PeriodsBelowOneTakeTheDefault) {
    EXPECT_EQ(TimeoutPeriod(0, 1000, 300), 300000);
    EXPECT_EQ(TimeoutPeriod(-4, 60000, 60), 3600000);
    EXPECT_EQ(TimeoutPeriod(7, 1000, 300), 7000);
    EXPECT_EQ(TimeoutPeriod(qint64(1) << 40, 60000, 60), std::numeric_limits<int>::max());
}

// An abort stops the time-out of what it gives up and leaves the keep-alive running; a closed
// session leaves no timer running.
TEST_F(SessionControl, NoTimeOutOutlivesWhatItGuards) {
    h.setInt(u"General", u"UseTimeout", 1);
    h.engine().SetOwedReplyWait(100);
    login();
    peer.expectLine("NOOP").pause(50).send("200 late\r\n");
    ASSERT_TRUE(h.engine().SendCommands({"NOOP"}));
    EXPECT_TRUE(h.engine().ReplyTimer().isActive());
    h.engine().AbortCommand();
    EXPECT_FALSE(h.engine().ReplyTimer().isActive());
    ASSERT_TRUE(pumpEventsUntil([&] { return settled(); }, 5000));
    EXPECT_TRUE(h.engine().KeepAliveTimer().isActive()); // idle again after the abort
    h.engine().Disconnect();
    for (const QTimer* timer :
         {&h.engine().KeepAliveTimer(), &h.engine().ConnectTimer(), &h.engine().ReplyTimer(),
          &h.engine().DownloadTimer(), &h.engine().UploadTimer()}) {
        EXPECT_FALSE(timer->isActive());
    }
}

// Reconnect closes the session and logs in again with the same parameters, into the directory the
// session had when it closed, without spending a connection attempt.
TEST_F(SessionControl, ReconnectLogsInAgainIntoTheLastDirectory) {
    // The listing of /sub after CWD, its data from dataPeer.
    const auto serveSubListing = [&](ScriptedPeer& dataPeer) {
        peer.expectLine("CWD /sub").send("250 ok\r\n").expectLine("PWD").send("257 \"/sub\"\r\n");
        peer.expectLine("TYPE A").send("200 ok\r\n");
        peer.expectLine("PASV").send(ScriptedPeer::pasvReplyFor(dataPeer.port()));
        peer.expectLine("LIST").send("150 here\r\n");
        dataPeer.accept().close();
        peer.pause(30).send("226 ok\r\n");
    };
    EXPECT_FALSE(h.engine().Reconnect()); // no session yet
    login();
    ScriptedPeer subData;
    serveSubListing(subData);
    h.engine().ChangeDirectory("/sub", false);
    ASSERT_TRUE(pumpEventsUntil([&] { return settled(); }, 5000)) << h.view.joined();
    const unsigned attempts = h.engine().Session()->attemptsLeft;

    ScriptedPeer secondData;
    peer.expectClosedByClient();
    peer.accept().send("220 again\r\n").expectLine("USER anonymous").send("230 ok\r\n");
    ScriptProbe(peer);
    serveSubListing(secondData);
    ASSERT_TRUE(h.engine().Reconnect());
    EXPECT_TRUE(newLines().contains("STATUS:>  Disconnect(2026-12-08 09:10:11:012).")) << h.view.joined();
    ASSERT_TRUE(pumpEventsUntil([&] { return settled(); }, 5000)) << h.view.joined() << peer.failureText();
    EXPECT_EQ(peer.failureText(), "");
    EXPECT_EQ(h.engine().Session()->currentDirectory, "/sub");
    EXPECT_GE(h.engine().Session()->attemptsLeft, attempts);
}

} // namespace
} // namespace tessaly::test
