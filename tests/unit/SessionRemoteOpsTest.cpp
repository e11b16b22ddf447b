// Remote operations against a scripted server: the recursive delete's command order and the faults
// that must not make it leave the selected tree, a rename that takes its chmod with it when refused,
// the password change, and an aborted delete, which tells the server nothing.
#include "support/EngineHarness.h"
#include "support/EventPump.h"
#include "support/ListingScript.h"
#include "support/ScriptedPeer.h"

#include <gtest/gtest.h>

namespace tessaly::test {
namespace {

QByteArray Line(char type, const char* name) {
    return type + QByteArray("rwxr-xr-x 1 o g 10 Jan 01 2026 ") + name + "\r\n";
}

class SessionRemoteOps : public ::testing::Test {
protected:
    void SetUp() override {
        control.accept().send("220 hi\r\n").expectLine("USER alice").send("331 pw\r\n");
        control.expectLine("PASS secret").send("230 ok\r\n");
        ScriptFirstListing(control, data, Line('d', "a") + Line('-', "keep.txt") + Line('d', "b"));
        h.connect(control.port(), "alice", "secret");
        ASSERT_TRUE(h.waitIdle()) << h.view.joined() << control.failureText();
    }
    void serveDirectory(const QByteArray& path, const QByteArray& pwd, const QByteArray& listing) {
        control.expectLine("CWD " + path).send("250 ok\r\n");
        control.expectLine("PWD").send("257 \"" + pwd + "\"\r\n");
        control.expectLine("TYPE A").send("200 ok\r\n");
        control.expectLine("PASV").send(ScriptedPeer::pasvReplyFor(data.port()));
        control.expectLine("LIST").send("150 here\r\n");
        data.accept().send(listing).close();
        control.pause(50).send("226 done\r\n");
    }
    QList<RemoteItem> directories() { return h.engine().CurrentItems().directories; }
    bool waitQuiet() {
        return pumpEventsUntil(
            [&] { return control.finished() && h.engine().IsIdle() && h.view.paneEnabled; }, 10000);
    }

    EngineHarness h;
    ScriptedPeer control;
    ScriptedPeer data;
};

// Contents in listing order, then CDUP and RMD; a link is deleted itself, never gone into, and a
// directory whose PWD shows it leads elsewhere is left alone; a name that would reach elsewhere is
// skipped; a refused CWD ends its entry without listing anything else; a refused RMD is reported and
// the job goes on; at the end the starting directory is listed again.
TEST_F(SessionRemoteOps, DeleteRemovesOnlyTheSelectedTrees) {
    serveDirectory("/a", "/a",
                   Line('-', "b.txt") + Line('d', "c") + Line('l', "outside -> /etc") + Line('d', "hidden") +
                       Line('-', "x/y") + Line('d', "locked"));
    control.expectLine("DELE /a/b.txt").send("250 ok\r\n");
    serveDirectory("/a/c", "/a/c", Line('-', "d.txt"));
    control.expectLine("DELE /a/c/d.txt").send("250 ok\r\n");
    control.expectLine("CDUP").send("250 ok\r\n").expectLine("RMD /a/c").send("250 ok\r\n");
    control.expectLine("DELE /a/outside").send("250 ok\r\n");
    // Listed as a directory, but the server's PWD shows a link: nothing there is touched.
    control.expectLine("CWD /a/hidden").send("250 ok\r\n").expectLine("PWD").send("257 \"/etc\"\r\n");
    control.expectLine("CWD /a/locked").send("550 Permission denied.\r\n");
    control.expectLine("CDUP").send("250 ok\r\n").expectLine("RMD /a").send("550 Directory not empty.\r\n");
    serveDirectory("/b", "/b", "");
    control.expectLine("CDUP").send("250 ok\r\n").expectLine("RMD /b").send("250 ok\r\n");
    serveDirectory("/", "/", Line('d', "a") + Line('-', "keep.txt"));

    ASSERT_TRUE(h.engine().DeleteItems(directories()));
    EXPECT_FALSE(h.view.paneEnabled);
    ASSERT_TRUE(waitQuiet()) << h.view.joined() << control.failureText();
    EXPECT_EQ(control.failureText(), "");
    EXPECT_FALSE(h.engine().Session()->jobRunning);
    EXPECT_EQ(h.engine().Session()->currentDirectory, "/");
    const QByteArray failures = h.view.reportedTexts();
    for (const char* expected : {"CWD /a/locked", "RMD /a", "DELE /a/x/y", "RMD /a/hidden"}) {
        EXPECT_TRUE(failures.contains(expected)) << expected << " in " << failures.constData();
    }
}

// Abort of a delete job sends no ABOR: the job stops, the reply to the command on its way is still
// taken as that command's, the starting directory is listed again, and the next command gets its
// own reply.
TEST_F(SessionRemoteOps, AbortOfDeleteSendsNoAbor) {
    serveDirectory("/a", "/a", Line('-', "b.txt") + Line('-', "c.txt"));
    control.expectLine("DELE /a/b.txt");
    ASSERT_TRUE(h.engine().DeleteItems({directories().front()}));
    ASSERT_TRUE(control.runEventLoopUntilFinished(10000)) << h.view.joined() << control.failureText();
    h.engine().AbortCommand();
    EXPECT_FALSE(h.engine().Session()->jobRunning);
    control.pause(50).send("250 Deleted.\r\n");
    serveDirectory("/", "/", Line('d', "a") + Line('-', "keep.txt"));
    ASSERT_TRUE(waitQuiet()) << h.view.joined() << control.failureText();
    control.expectLine("MKD n").send("257 \"/n\" created.\r\n");
    serveDirectory("/", "/", Line('d', "a") + Line('d', "n") + Line('-', "keep.txt"));
    ASSERT_TRUE(h.engine().MakeDirectory("n"));
    ASSERT_TRUE(waitQuiet()) << h.view.joined() << control.failureText();
    EXPECT_EQ(control.failureText(), "");
    EXPECT_FALSE(control.receivedLines().contains("ABOR"));
    EXPECT_EQ(h.engine().Session()->currentDirectory, "/");
    EXPECT_EQ(h.view.shownNames(), (QList<QByteArray>{"a", "n", "keep.txt"}));
    EXPECT_TRUE(h.view.failureReports.isEmpty()) << h.view.reportedTexts().constData();
}

// A refused RNFR sends no RNTO and no chmod; a refused RNTO drops the chmod of the new name; a
// rename and a chmod that go through are followed by a listing. A refused SITE PSWD is reported and
// changes nothing; once taken, the new password becomes the session's.
TEST_F(SessionRemoteOps, RenameChmodAndPassword) {
    control.expectLine("RNFR keep.txt").send("550 No such file.\r\n");
    control.expectLine("RNFR keep.txt").send("350 ok\r\n").expectLine("RNTO new.txt").send("553 Exists.\r\n");
    control.expectLine("RNFR keep.txt").send("350 ok\r\n").expectLine("RNTO other.txt").send("250 ok\r\n");
    control.expectLine("SITE CHMOD 640 other.txt").send("200 ok\r\n");
    serveDirectory("/", "/", Line('-', "other.txt"));
    control.expectLine("SITE PSWD \"secret\" \"worse\"").send("530 Not allowed.\r\n");

    ASSERT_TRUE(h.engine().ApplyRemoteProperties("keep.txt", "new.txt", 0644, 0600));
    ASSERT_TRUE(h.waitIdle()) << h.view.joined() << control.failureText();
    EXPECT_FALSE(h.engine().RenameRemote("same", "same")); // nothing to send
    ASSERT_TRUE(h.engine().ApplyRemoteProperties("keep.txt", "new.txt", 0644, 0600));
    ASSERT_TRUE(h.waitIdle()) << h.view.joined() << control.failureText();
    ASSERT_TRUE(h.engine().ApplyRemoteProperties("keep.txt", "other.txt", 0644, 0640));
    ASSERT_TRUE(h.waitIdle()) << h.view.joined() << control.failureText(); // the sequence
    ASSERT_TRUE(h.waitIdle()) << h.view.joined() << control.failureText(); // the listing after it
    ASSERT_TRUE(h.engine().ChangePassword("secret", "worse"));
    ASSERT_TRUE(waitQuiet()) << h.view.joined() << control.failureText();
    EXPECT_EQ(h.engine().Session()->password, "secret");
    ASSERT_FALSE(h.view.failureReports.isEmpty());
    EXPECT_TRUE(h.view.failureReports.back().back().text.contains("530 Not allowed."))
        << h.view.reportedTexts().constData();
    EXPECT_FALSE(h.view.reportedTexts().contains("worse")); // shown as the log shows it, masked
    control.expectLine("SITE PSWD \"secret\" \"better\"").send("200 Password changed.\r\n");
    ASSERT_TRUE(h.engine().ChangePassword("secret", "better"));
    ASSERT_TRUE(waitQuiet()) << h.view.joined() << control.failureText();
    EXPECT_EQ(control.failureText(), "");
    EXPECT_FALSE(control.receivedLines().contains("SITE CHMOD 600 new.txt"));
    EXPECT_EQ(h.engine().Session()->password, "better");
    EXPECT_TRUE(h.view.lines().contains("COMMAND:>  PASS ********")) << h.view.joined();
}

} // namespace
} // namespace tessaly::test
