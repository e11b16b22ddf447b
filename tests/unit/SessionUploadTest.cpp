// Upload jobs against a scripted server: one job meets every fault real servers do not give on
// demand (a refused MKD, SIZE, STOR and REST, a local file gone since it was queued, a server that
// closes the data connection early but says 226, links that lead back up or nowhere, a name no
// command can carry), each ending its file while the job goes on.
#include "session/UploadJob.h"
#include "support/EngineHarness.h"
#include "support/EventPump.h"
#include "support/ListingScript.h"
#include "support/ScriptedPeer.h"
#include "support/SlowReader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>
#include <algorithm>
#include <gtest/gtest.h>

namespace tessaly::test {
namespace {

class SessionUpload : public ::testing::Test {
protected:
    void SetUp() override {
        control.accept().send("220 hi\r\n").expectLine("USER anonymous").send("230 ok\r\n");
        ScriptFirstListing(control, data);
        h.connect(control.port());
        ASSERT_TRUE(h.waitIdle()) << h.view.joined() << control.failureText();
    }
    QString write(const QString& name, const QByteArray& contents) {
        const QString path = source.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        return path;
    }
    // TYPE, PASV and STOR answered with 150: the data connection is the next one accepted.
    void serveStor(const QByteArray& path, const QByteArray& type = "TYPE I") {
        expectType(type);
        control.expectLine("PASV").send(ScriptedPeer::pasvReplyFor(data.port()));
        control.expectLine("STOR " + path).send("150 go\r\n");
    }
    bool waitJobEnded(int timeoutMs) {
        return pumpEventsUntil(
            [&] { return control.finished() && !h.engine().Session()->jobRunning && h.engine().IsIdle(); },
            timeoutMs);
    }
    // The job ends with the directory listed again.
    void serveJobEndListing() {
        control.expectLine("PWD").send("257 \"/\"\r\n").expectLine("TYPE A").send("200 ok\r\n");
        serverType = "TYPE A";
        control.expectLine("PASV").send(ScriptedPeer::pasvReplyFor(data.port()));
        control.expectLine("LIST").send("150 here\r\n");
        data.accept().close();
        control.pause(50).send("226 done\r\n");
    }
    void refuseSize(const QByteArray& path) {
        expectType("TYPE I");
        control.expectLine("SIZE " + path).send("550 No such file.\r\n");
    }
    // TYPE, only when it changes the server's type.
    void expectType(const QByteArray& type) {
        if (type != serverType) {
            control.expectLine(type).send("200 ok\r\n");
            serverType = type;
        }
    }

    EngineHarness h;
    ScriptedPeer control;
    ScriptedPeer data;
    QTemporaryDir source;
    QByteArray serverType = "TYPE A"; // the login's listing leaves the server in TYPE A
};

TEST_F(SessionUpload, EachFileEndsByItselfAndTheJobGoesOn) {
    write(QStringLiteral("top/a.txt"), "a\nb\r\n");
    write(QStringLiteral("top/.hidden"), "h");
    write(QStringLiteral("top/sub/x.bin"), "xx");
    // Skipped without a command: a link back up the tree, a broken link, a name no command can carry.
    QFile::link(QStringLiteral(".."), source.filePath(QStringLiteral("top/sub/loop")));
    QFile::link(QStringLiteral("/nonexistent/x"), source.filePath(QStringLiteral("top/broken")));
    write(QStringLiteral("top/new\nline.txt"), "n");
    const QString refused = write(QStringLiteral("refused.bin"), "r");
    const QString noRest = write(QStringLiteral("norest.bin"), "0123456789");
    const QString gone = write(QStringLiteral("gone.bin"), "g");
    const QString cut = write(QStringLiteral("cut.bin"), QByteArray(8 << 20, 'c'));
    const QString resume = write(QStringLiteral("resume.bin"), "0123456789");
    h.view.conflictAnswers = {{false, ConflictChoice::Resume, false}, {false, ConflictChoice::Resume, false}};

    // A directory MKD made: its files go without SIZE, LF line ends as CR LF in TYPE A.
    control.expectLine("MKD /top").send("257 \"/top\" created.\r\n");
    serveStor("/top/.hidden");
    data.accept().expectClosedByClient();
    control.pause(50).send("226 done\r\n");
    serveStor("/top/a.txt", "TYPE A");
    data.accept().expectClosedByClient();
    control.pause(50).send("226 done\r\n");
    // A directory that exists: MKD refused and reported, its files asked about with SIZE.
    control.expectLine("MKD /top/sub").send("550 Exists.\r\n");
    refuseSize("/top/sub/x.bin");
    serveStor("/top/sub/x.bin");
    data.accept().expectClosedByClient();
    control.pause(50).send("226 done\r\n");
    refuseSize("/refused.bin");
    expectType("TYPE I");
    control.expectLine("PASV").send(ScriptedPeer::pasvReplyFor(data.port()));
    control.expectLine("STOR /refused.bin").send("550 Permission denied.\r\n");
    data.accept().expectClosedByClient();
    // A refused REST drops its STOR: nothing is written at offset 0.
    expectType("TYPE I");
    control.expectLine("SIZE /norest.bin").send("213 3\r\n");
    expectType("TYPE I");
    control.expectLine("PASV").send(ScriptedPeer::pasvReplyFor(data.port()));
    control.expectLine("REST 3").send("502 No.\r\n");
    data.accept().expectClosedByClient();
    // Gone since it was queued: the data connection is closed at once, the file reported.
    refuseSize("/gone.bin");
    serveStor("/gone.bin");
    data.accept().expectClosedByClient();
    control.pause(50).send("226 done\r\n");
    // The server closes the data connection without reading and still says 226.
    refuseSize("/cut.bin");
    serveStor("/cut.bin");
    data.accept().close();
    control.pause(300).send("226 done\r\n");
    // Resume from the server's SIZE: REST, then only the tail.
    expectType("TYPE I");
    control.expectLine("SIZE /resume.bin").send("213 6\r\n");
    expectType("TYPE I");
    control.expectLine("PASV").send(ScriptedPeer::pasvReplyFor(data.port()));
    control.expectLine("REST 6").send("350 ok\r\n").expectLine("STOR /resume.bin").send("150 go\r\n");
    data.accept().expectClosedByClient();
    control.pause(50).send("226 done\r\n");
    serveJobEndListing();

    ASSERT_TRUE(
        h.engine().UploadPaths({source.filePath(QStringLiteral("top")), refused, noRest, gone, cut, resume}));
    ASSERT_TRUE(QFile::remove(gone));
    ASSERT_TRUE(waitJobEnded(20000)) << h.view.joined() << control.failureText();
    EXPECT_EQ(control.failureText(), "");
    EXPECT_EQ(data.failureText(), "");
    // Connection 0 carried the first listing.
    EXPECT_EQ(data.receivedBytes(1), "h");
    EXPECT_EQ(data.receivedBytes(2), "a\r\nb\r\n");
    EXPECT_EQ(data.receivedBytes(3), "xx");
    EXPECT_EQ(data.receivedBytes(8), "6789");
    EXPECT_TRUE(h.view.taskRows.isEmpty());
    const QByteArray failures = h.view.reportedTexts();
    for (const char* expected : {"MKD /top/sub", "STOR /refused.bin", "REST 3", "STOR /gone.bin",
                                 "STOR /cut.bin", "STOR /top/broken", "STOR /top/new\nline.txt"}) {
        EXPECT_TRUE(failures.contains(expected)) << expected << " in " << failures.constData();
    }
    for (const char* fine : {"a.txt", "x.bin", "resume.bin", ".hidden", "loop"}) {
        EXPECT_FALSE(failures.contains(fine)) << fine << " in " << failures.constData();
    }
    EXPECT_TRUE(h.view.paneEnabled);
}

// Abort in the middle of an upload sends ABOR at once, waits for the replies to the transfer and to
// ABOR, and lists the directory again: the session is usable.
TEST_F(SessionUpload, AbortSendsAborAndListsAgain) {
    const QString big = write(QStringLiteral("big.bin"), QByteArray(32 << 20, 'b'));
    h.setInt(u"Advance", u"SendSize", 1);
    refuseSize("/big.bin");
    serveStor("/big.bin");
    data.accept().expectClosedByClient();
    control.expectLine("ABOR").send("426 Transfer aborted.\r\n226 ABOR successful.\r\n");
    control.expectLine("CWD /").send("250 ok\r\n").expectLine("PWD").send("257 \"/\"\r\n");
    control.expectLine("TYPE A").send("200 ok\r\n");
    control.expectLine("PASV").send(ScriptedPeer::pasvReplyFor(data.port()));
    control.expectLine("LIST").send("150 here\r\n");
    data.accept().close();
    control.pause(50).send("226 done\r\n");

    ASSERT_TRUE(h.engine().UploadPaths({big}));
    ASSERT_TRUE(pumpEventsUntil(
        [&] { return h.engine().CurrentTransfer() && h.engine().CurrentTransfer()->transferred > 0; }, 20000))
        << h.view.joined();
    h.engine().AbortCommand();
    EXPECT_FALSE(h.engine().Session()->jobRunning);
    EXPECT_TRUE(h.view.taskRows.isEmpty());
    ASSERT_TRUE(pumpEventsUntil(
        [&] { return control.finished() && h.engine().IsIdle() && h.view.paneEnabled; }, 20000))
        << h.view.joined() << control.failureText();
    EXPECT_EQ(control.failureText(), "");
}

// A server that reads nothing for a while and then reads slowly. Loopback lets the client's send
// buffer grow to a few MiB, so the file is larger than that: the socket would block before the
// server reads and again while it reads, the loop runs meanwhile, and what the socket did not take
// goes out later, so the server has the file exactly (a lost or doubled byte would show in its
// numbered words).
TEST_F(SessionUpload, SlowReaderGetsTheExactFileWhileTheLoopRuns) {
    QByteArray contents(6 << 20, Qt::Uninitialized);
    for (qsizetype word = 0; word < contents.size() / 4; ++word) {
        qToLittleEndian(static_cast<quint32>(word), contents.data() + word * 4);
    }
    const QString big = write(QStringLiteral("big.bin"), contents);
    h.setInt(u"General", u"UseTimeout", 1); // the upload timer runs exactly while a send would block
    SlowReader reader(4096, 8192, 1);
    refuseSize("/big.bin");
    expectType("TYPE I");
    control.expectLine("PASV").send(ScriptedPeer::pasvReplyFor(reader.port()));
    control.expectLine("STOR /big.bin").send("150 go\r\n");
    // Counted from the loop: its turns, and the places in the file where a send would block.
    int ticks = 0;
    int blocks = 0;
    qint64 blockedAt = -1;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
        if (h.engine().UploadTimer().isActive() && !h.view.taskRows.isEmpty() &&
            h.view.taskRows[0].progress != blockedAt) {
            ++blocks;
            blockedAt = h.view.taskRows[0].progress;
        }
    });
    ticker.start(5);

    ASSERT_TRUE(h.engine().UploadPaths({big}));
    ASSERT_TRUE(pumpEventsUntil([&] { return blocks > 0; }, 5000))
        << h.view.joined() << control.failureText() << reader.failure();
    // Blocked: the loop goes on, and the once-a-second figures still reach the window.
    const int ticksAtBlock = ticks;
    ASSERT_TRUE(
        pumpEventsUntil([&] { return ticks >= ticksAtBlock + 20 && !h.view.speedText.isEmpty(); }, 5000));
    ASSERT_EQ(h.view.taskRows.size(), 1);
    EXPECT_LT(h.view.taskRows[0].progress, contents.size());
    EXPECT_EQ(reader.received(), "");

    reader.release();
    ASSERT_TRUE(pumpEventsUntil([&] { return reader.finished(); }, 20000))
        << h.view.joined() << reader.failure() << " got " << reader.received().size();
    EXPECT_GE(blocks, 2); // the slow reader made the socket block again, further on
    // The final reply ends the file; the job ends with the directory listed again.
    control.pause(20).send("226 Transfer complete.\r\n");
    serveJobEndListing();
    ASSERT_TRUE(waitJobEnded(10000)) << h.view.joined() << control.failureText();
    EXPECT_EQ(control.failureText(), "");
    EXPECT_EQ(reader.failure(), "");
    const QByteArray got = reader.received();
    ASSERT_EQ(got.size(), contents.size());
    EXPECT_TRUE(got == contents) << "first difference at byte "
                                 << std::mismatch(got.begin(), got.end(), contents.begin()).first -
                                        got.begin();
    EXPECT_TRUE(h.view.texts().contains("226 Transfer complete.")) << h.view.joined();
    EXPECT_TRUE(h.view.failureReports.isEmpty()) << h.view.reportedTexts().constData();
    EXPECT_TRUE(h.view.taskRows.isEmpty());
    EXPECT_TRUE(h.view.paneEnabled);
}

TEST(UploadJob, LineEndsGoOutAsCrLf) {
    bool lastWasCr = false;
    QByteArray out = ToNetworkLineEnds("a\nb\r", 4, lastWasCr);
    out += ToNetworkLineEnds("\nc\n", 3, lastWasCr);
    EXPECT_EQ(out, "a\r\nb\r\nc\r\n"); // a CR LF split across chunks stays one line end
}

} // namespace
} // namespace tessaly::test
