// Download jobs against a scripted server: the faults real servers do not give on demand (a refused
// RETR, a cut transfer, more bytes than listed, a refused REST, unsafe names, an unusable local
// target), each ending its file while the job goes on.
#include "session/DownloadJob.h"
#include "support/ActiveModeServer.h"
#include "support/EngineHarness.h"
#include "support/EventPump.h"
#include "support/ListingScript.h"
#include "support/ScriptedPeer.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace tessaly::test {
namespace {

QByteArray Line(const char* name, int size) {
    return "-rw-r--r-- 1 o g " + QByteArray::number(size) + " Jan 01 2026 " + name + "\r\n";
}
QByteArray Dir(const char* name) {
    return QByteArray("drwxr-xr-x 2 o g 4096 Jan 01 2026 ") + name + "\r\n";
}
QByteArray Link(const char* name, const char* target) {
    return QByteArray("lrwxrwxrwx 1 o g 2 Jan 01 2026 ") + name + " -> " + target + "\r\n";
}

class SessionDownload : public ::testing::Test {
protected:
    void loginWith(const QByteArray& listing) {
        control.accept().send("220 hi\r\n").expectLine("USER anonymous").send("230 ok\r\n");
        ScriptFirstListing(control, data, listing);
        h.connect(control.port());
        ASSERT_TRUE(h.waitIdle()) << h.view.joined() << control.failureText();
    }
    // TYPE, only when the type changes, and PASV pointing at the data peer.
    void expectTypeAndPasv(const QByteArray& type = "TYPE I") {
        if (type != serverType) {
            control.expectLine(type).send("200 ok\r\n");
            serverType = type;
        }
        control.expectLine("PASV").send(ScriptedPeer::pasvReplyFor(data.port()));
    }
    // The server's side of one file: its type (TYPE only when it changes), PASV to the data peer,
    // RETR answered with 150.
    void serveRetr(const QByteArray& path, const QByteArray& type = "TYPE I") {
        expectTypeAndPasv(type);
        control.expectLine("RETR " + path).send("150 here\r\n");
    }
    // A file served whole: its RETR, the bytes, the close and 226.
    void serveFile(const QByteArray& path, const QByteArray& contents, const QByteArray& type = "TYPE I") {
        serveRetr(path, type);
        data.accept().send(contents).close();
        control.pause(50).send("226 done\r\n");
    }
    // A directory a job lists: CWD, PWD (answered with pwd), TYPE A, PASV, LIST.
    void serveDirectory(const QByteArray& path, const QByteArray& pwd, const QByteArray& listing) {
        control.expectLine("CWD " + path).send("250 ok\r\n");
        control.expectLine("PWD").send("257 \"" + pwd + "\" is the current directory\r\n");
        control.expectLine("TYPE A").send("200 ok\r\n");
        serverType = "TYPE A";
        control.expectLine("PASV").send(ScriptedPeer::pasvReplyFor(data.port()));
        control.expectLine("LIST").send("150 here\r\n");
        data.accept().send(listing).close();
        control.pause(50).send("226 done\r\n");
    }
    QList<RemoteItem> items(const QList<QByteArray>& names) {
        QList<RemoteItem> out;
        const ListingItems& listed = h.engine().CurrentItems();
        for (const QList<RemoteItem>* kind : {&listed.directories, &listed.files}) {
            for (const RemoteItem& item : *kind) {
                if (names.contains(item.name().toByteArray())) {
                    out.append(item);
                }
            }
        }
        return out;
    }
    QStringList localFiles() const {
        QStringList files;
        QDirIterator it(target.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            files.append(QDir(target.path()).relativeFilePath(it.next()));
        }
        files.sort();
        return files;
    }
    QByteArray local(const char* name) const {
        QFile file(target.filePath(QString::fromUtf8(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
    }

    EngineHarness h;
    ScriptedPeer control;
    ScriptedPeer data;
    QTemporaryDir target;
    QByteArray serverType = "TYPE A"; // the login's listing leaves the server in TYPE A
};

// One job: a good file, an empty one, a refused one, an unsafe name, more bytes than listed, and a
// transfer cut by the server. Each file ends by itself; the job goes on and reports what failed.
TEST_F(SessionDownload, EachFileEndsByItselfAndTheJobGoesOn) {
    loginWith(Line("ok.bin", 10) + Line("empty.bin", 0) + Line("refused.bin", 4) + Line("a/b", 1) +
              Line("more.bin", 3) + Line("cut.bin", 100));
    serveRetr("/ok.bin");
    data.accept().send("0123456789").close();
    control.pause(50).send("226 done\r\n");
    serveRetr("/empty.bin");
    data.accept().close();
    control.pause(50).send("226 done\r\n");
    expectTypeAndPasv();
    control.expectLine("RETR /refused.bin").send("550 No such file\r\n");
    data.accept();
    serveRetr("/more.bin");
    data.accept().send("12345678").close();
    control.pause(50).send("226 done\r\n");
    serveRetr("/cut.bin");
    data.accept().send("abcde").close();
    control.pause(50).send("426 Connection closed; transfer aborted.\r\n");

    ASSERT_TRUE(h.engine().DownloadItems(
        items({"ok.bin", "empty.bin", "refused.bin", "a/b", "more.bin", "cut.bin"}), target.path()));
    EXPECT_EQ(h.view.taskRows.size(), 6);
    ASSERT_TRUE(h.waitIdle()) << h.view.joined() << control.failureText() << data.failureText();
    EXPECT_EQ(control.failureText(), "");
    EXPECT_EQ(local("ok.bin"), "0123456789");
    EXPECT_EQ(local("empty.bin"), "");        // created though no data event came
    EXPECT_EQ(local("more.bin"), "12345678"); // read to the close, not to the listed size
    EXPECT_EQ(QDir(target.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).size(), 4) << h.view.joined();
    EXPECT_TRUE(h.view.taskRows.isEmpty());
    EXPECT_FALSE(h.engine().Session()->jobRunning);
    EXPECT_TRUE(h.view.paneEnabled) << h.view.joined();
    const QByteArray failures = h.view.reportedTexts();
    EXPECT_TRUE(failures.contains("RETR /refused.bin")) << failures.constData();
    EXPECT_TRUE(failures.contains("RETR /a/b"));
    EXPECT_TRUE(failures.contains("RETR /cut.bin"));
    EXPECT_FALSE(failures.contains("RETR /ok.bin"));
}

// Resume appends what the local file lacks after REST; a refused REST drops its RETR, so the file
// is never sent from its start onto the end of the local one; a local target that cannot be written
// fails its file only.
TEST_F(SessionDownload, ResumeRefusedRestAndAnUnwritableTarget) {
    loginWith(Line("part.bin", 10) + Line("norest.bin", 10) + Line("dir.bin", 3));
    QFile part(target.filePath(QStringLiteral("part.bin")));
    ASSERT_TRUE(part.open(QIODevice::WriteOnly));
    part.write("01234");
    part.close();
    QFile norest(target.filePath(QStringLiteral("norest.bin")));
    ASSERT_TRUE(norest.open(QIODevice::WriteOnly));
    norest.write("abc");
    norest.close();
    ASSERT_TRUE(QDir(target.path()).mkdir(QStringLiteral("dir.bin")));
    h.view.conflictAnswers = {{false, ConflictChoice::Resume, false},
                              {false, ConflictChoice::Resume, false},
                              {false, ConflictChoice::Overwrite, false}};

    expectTypeAndPasv();
    control.expectLine("REST 5")
        .send("350 Restarting at 5.\r\n")
        .expectLine("RETR /part.bin")
        .send("150 here\r\n");
    data.accept().send("56789").close();
    control.pause(50).send("226 done\r\n");
    expectTypeAndPasv();
    control.expectLine("REST 3").send("502 REST not implemented.\r\n");
    data.accept();
    serveRetr("/dir.bin");
    data.accept().send("xyz").expectClosedByClient();
    control.pause(500).send("426 Connection closed.\r\n"); // once the client has given up the file

    ASSERT_TRUE(h.engine().DownloadItems(items({"part.bin", "norest.bin", "dir.bin"}), target.path()));
    ASSERT_TRUE(h.waitIdle()) << h.view.joined() << control.failureText();
    EXPECT_EQ(control.failureText(), "");
    EXPECT_FALSE(control.receivedLines().contains("RETR /norest.bin"));
    EXPECT_EQ(h.view.conflictQuestions.size(), 3);
    EXPECT_EQ(h.view.conflictQuestions[0].localSizeValue, 5);
    EXPECT_EQ(h.view.conflictQuestions[0].remoteSizeValue, 10);
    EXPECT_EQ(local("part.bin"), "0123456789");
    EXPECT_EQ(local("norest.bin"), "abc");
    const QByteArray failures = h.view.reportedTexts();
    EXPECT_TRUE(failures.contains("REST 3"));
    EXPECT_TRUE(failures.contains("RETR /dir.bin")) << failures.constData();
    EXPECT_TRUE(h.view.joined().find("Cannot create the local file") != std::string::npos) << h.view.joined();
}

// As for a listing: a file whose final reply is read while the server's connection still waits
// at the listener is read from it, never left empty as if it were complete.
TEST_F(SessionDownload, FinalReplyReadBeforeTheActiveConnectionIsAnnouncedStillReadsTheFile) {
    loginWith(Line("ok.bin", 10));
    h.setInt(u"Advance", u"PasvMode", 0);
    control.expectLine("TYPE I").send("200 ok\r\n").expectLinePrefix("PORT 127,0,0,1,").send("200 ok\r\n");
    control.expectLine("RETR /ok.bin").send("150 here\r\n");
    ASSERT_TRUE(h.engine().DownloadItems(items({"ok.bin"}), target.path()));
    ASSERT_TRUE(pumpEventsUntil([&] { return h.view.lines().contains("              150 here"); }, 5000))
        << h.view.joined() << control.failureText();
    ASSERT_TRUE(ConnectSendAndClose(control, "0123456789"));
    control.send("226 done\r\n");
    ASSERT_TRUE(control.waitFinished(5000));
    const int idleBefore = h.view.idleCount; // the engine may end the command at once
    DeliverControlReadable(h.engine());
    ASSERT_TRUE(pumpEventsUntil([&] { return h.view.idleCount > idleBefore; }, 5000)) << h.view.joined();
    EXPECT_EQ(control.failureText(), "");
    EXPECT_EQ(local("ok.bin"), "0123456789") << h.view.joined();
    EXPECT_TRUE(h.view.failureReports.isEmpty());
}

// Cancel in the conflict question ends the whole job: nothing more is asked or fetched.
TEST_F(SessionDownload, CancelEndsTheJob) {
    loginWith(Line("one.bin", 3) + Line("two.bin", 3));
    for (const char* name : {"one.bin", "two.bin"}) {
        QFile file(target.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(h.engine().DownloadItems(items({"one.bin", "two.bin"}), target.path()));
    EXPECT_EQ(h.view.conflictQuestions.size(), 1);
    EXPECT_TRUE(h.view.taskRows.isEmpty());
    EXPECT_FALSE(h.engine().Session()->jobRunning);
    EXPECT_TRUE(h.engine().IsIdle());
}

TEST(DownloadJob, TransferTypeNamesAndAsciiLineEnds) {
    const QString list = QStringLiteral("LOG,TXT,H,C,CPP,JAVA,JSP,VBS,BAS,BAT,HTM,HTML,PL");
    const struct {
        const char* path;
        const char* type;
    } automatic[] = {
        {"/a/readme.txt", "TYPE A"}, {"/a/README.TXT", "TYPE A"}, {"/a/x.h", "TYPE A"},
        {"/a/log.pl", "TYPE A"},     {"/a/data.bin", "TYPE I"},   {"/a/Makefile", "TYPE I"},
        {"/a/notes.ml", "TYPE I"}, // "ML" is only a part of "HTML"
        {"/a/backup.", "TYPE I"},  // no extension at all
        {"/a/x.g", "TYPE I"},      // "G" is only a part of "LOG"
        {"/a.txt/core", "TYPE I"}, // the full stop is the directory's
    };
    for (const auto& c : automatic) {
        EXPECT_EQ(TransferTypeCommand(c.path, 1, list), c.type) << c.path;
    }
    EXPECT_EQ(TransferTypeCommand("/a/data.bin", 2, list), "TYPE A");
    EXPECT_EQ(TransferTypeCommand("/a/readme.txt", 0, list), "TYPE I");

    for (const char* unsafe : {"", ".", "..", "a/b", "a\\b"}) {
        EXPECT_FALSE(UnsafeLocalNameReason(unsafe).isEmpty()) << unsafe;
    }
    EXPECT_FALSE(UnsafeLocalNameReason(QByteArray("a\0b", 3)).isEmpty());
    EXPECT_TRUE(UnsafeLocalNameReason("readme.").isEmpty());

    // CR LF becomes LF across chunk boundaries; a lone CR stays.
    bool pendingCr = false;
    QByteArray out = ConvertAsciiChunk("a\r\nb\r", 5, pendingCr);
    EXPECT_TRUE(pendingCr);
    out += ConvertAsciiChunk("\nc\rd\r", 5, pendingCr);
    EXPECT_EQ(out, "a\nb\nc\rd");
    EXPECT_TRUE(pendingCr);
}

// No command whose text holds a line break or a NUL byte goes out: its second line would be taken
// as a command of its own.
TEST_F(SessionDownload, CommandsHoldingLineBreaksAreNotSent) {
    loginWith(Line("ok.bin", 1));
    ASSERT_TRUE(h.engine().SendCommands({"NOOP\r\nDELE ok.bin"}));
    EXPECT_TRUE(h.engine().IsIdle());
    EXPECT_FALSE(control.receivedLines().contains("DELE ok.bin"));
    EXPECT_TRUE(
        h.view.lines().contains("ERROR:>  A command holding a line break or a NUL byte is not sent."));
    ASSERT_EQ(h.view.failureReports.size(), 1);
}

// View and Run fetch into a directory of the program's own, private to the user, replace an earlier
// copy there without a question, and hand the file to the view to open.
TEST_F(SessionDownload, ViewFetchesIntoAPrivateDirectoryAndOpensTheFile) {
    loginWith(Line("show.bin", 5));
    for (const QByteArray& contents : {QByteArray("first"), QByteArray("again")}) {
        serveRetr("/show.bin");
        data.accept().send(contents).close();
        control.pause(50).send("226 done\r\n");
        ASSERT_TRUE(h.engine().ViewOrRun(items({"show.bin"}).constFirst(), FetchedFileAction::View));
        ASSERT_TRUE(h.waitIdle()) << h.view.joined() << control.failureText();
        ASSERT_FALSE(h.view.openedFiles.isEmpty());
        QFile fetched(h.view.openedFiles.last().first);
        ASSERT_TRUE(fetched.open(QIODevice::ReadOnly));
        EXPECT_EQ(fetched.readAll(), contents);
    }
    EXPECT_TRUE(h.view.conflictQuestions.isEmpty());
    ASSERT_EQ(h.view.openedFiles.size(), 2);
    EXPECT_EQ(h.view.openedFiles[0].second, FetchedFileAction::View);
    const QFileInfo directory(QFileInfo(h.view.openedFiles[0].first).absolutePath());
    EXPECT_EQ(directory.permissions() &
                  (QFile::ReadGroup | QFile::ReadOther | QFile::ExeGroup | QFile::ExeOther),
              QFile::Permissions());
}

// With "UseTimeout" on, a transfer that moves nothing for "FileDownloadTimeout" minutes is aborted;
// the session stays usable.
TEST_F(SessionDownload, ATransferThatStallsTimesOut) {
    h.setInt(u"General", u"UseTimeout", 1);
    h.setInt(u"General", u"FileDownloadTimeout", 1);
    h.engine().SetTimeUnits(1000, 50); // a minute of 50 ms
    loginWith(Line("stall.bin", 5));
    serveRetr("/stall.bin");
    data.accept().pause(500);
    control.expectLine("ABOR").send("426 Transfer aborted.\r\n226 ABOR successful.\r\n");
    serveDirectory("/", "/", Line("stall.bin", 5));
    ASSERT_TRUE(h.engine().DownloadItems(items({"stall.bin"}), target.path()));
    ASSERT_TRUE(pumpEventsUntil([&] { return !h.engine().Session()->jobRunning; }, 5000)) << h.view.joined();
    EXPECT_TRUE(h.view.lines().contains("ERROR:>  File transfer timeout!")) << h.view.joined();
    EXPECT_TRUE(h.view.taskRows.isEmpty());
    // Usable again: the directory is listed once more and the pane enabled.
    ASSERT_TRUE(pumpEventsUntil(
        [&] { return control.finished() && data.finished() && h.engine().IsIdle() && h.view.paneEnabled; },
        5000))
        << h.view.joined() << control.failureText();
    EXPECT_EQ(control.failureText(), "");
    EXPECT_EQ(h.engine().CurrentItems().files.size(), 1);
}

// A tree comes depth first in listing order. Links the server will not enter are fetched as files;
// a link back up the tree is not entered; a refused directory and names that cannot be local files
// are reported; nothing lands outside the target; afterwards the starting directory is listed again.
TEST_F(SessionDownload, ATreeComesDepthFirstInListingOrderAndNothingEscapesIt) {
    loginWith(Dir("src") + Line("top.bin", 2));
    serveDirectory("/src", "/src",
                   "total 9\r\n" + Line("a.c", 4) + Dir("lib") + Link("up", "..") + Link("file.lnk", "a.c") +
                       Line("..", 1) + Line("a/b", 1) + Line("/etc/x", 1) + Dir("nolist"));
    serveFile("/src/a.c", "x\r\ny", "TYPE A");
    serveDirectory("/src/lib", "/src/lib/", Line("deep.bin", 2));
    serveFile("/src/lib/deep.bin", "dd");
    control.expectLine("CWD /src/up").send("250 ok\r\n").expectLine("PWD").send("257 \"/\"\r\n");
    control.expectLine("CWD /src/file.lnk").send("550 Not a directory.\r\n");
    serveFile("/src/file.lnk", "ln");
    control.expectLine("CWD /src/nolist").send("550 Permission denied.\r\n");
    serveFile("/top.bin", "tt");
    serveDirectory("/", "/", Dir("src") + Line("top.bin", 2));

    ASSERT_TRUE(h.engine().DownloadItems(items({"src", "top.bin"}), target.path()));
    EXPECT_EQ(h.view.taskRows.size(), 2);
    ASSERT_TRUE(h.waitIdle(15000)) << h.view.joined() << control.failureText();
    EXPECT_EQ(control.failureText(), "");
    EXPECT_EQ(localFiles().join(u','), QStringLiteral("src/a.c,src/file.lnk,src/lib/deep.bin,top.bin"));
    EXPECT_EQ(local("src/a.c"), "x\ny");
    EXPECT_EQ(local("src/lib/deep.bin"), "dd");
    EXPECT_EQ(h.engine().Session()->currentDirectory, "/");
    EXPECT_TRUE(h.view.taskRows.isEmpty());
    const QByteArray failures = h.view.reportedTexts();
    for (const char* expected : {"CWD /src/nolist", "RETR /src/a/b", "RETR /src//etc/x"}) {
        EXPECT_TRUE(failures.contains(expected)) << expected << " in " << failures.constData();
    }
    EXPECT_FALSE(failures.contains("file.lnk")) << failures.constData();
    EXPECT_FALSE(failures.contains("/src/up")) << failures.constData();
}

// Abort during a transfer sends ABOR at once, though the transfer's reply is awaited, waits for the
// two replies that end the transfer and the ABOR (a late 150 is neither), then lists the directory
// again: the session is usable.
TEST_F(SessionDownload, AbortSendsAborAndListsAgain) {
    struct Case {
        const char* label;
        bool afterFirstBytes; // else while RETR still waits for its 150
    };
    for (const Case& c : {Case{"MidTransfer", true}, Case{"BeforeThe150", false}}) {
        SCOPED_TRACE(c.label);
        EngineHarness harness;
        ScriptedPeer server;
        ScriptedPeer channel;
        server.accept().send("220 hi\r\n").expectLine("USER anonymous").send("230 ok\r\n");
        ScriptFirstListing(server, channel, Line("big.bin", 100000));
        harness.connect(server.port());
        ASSERT_TRUE(pumpEventsUntil([&] { return server.finished() && harness.engine().IsIdle(); }, 5000))
            << harness.view.joined() << server.failureText();
        server.expectLine("TYPE I").send("200 ok\r\n").expectLine("PASV");
        server.send(ScriptedPeer::pasvReplyFor(channel.port())).expectLine("RETR /big.bin");
        if (c.afterFirstBytes) {
            server.send("150 here\r\n");
            channel.accept().send(QByteArray(1000, 'b'));
            server.expectLine("ABOR").send("426 Transfer aborted.\r\n226 ABOR successful.\r\n");
        } else {
            channel.accept();
            server.expectLine("ABOR").send("150 here\r\n").pause(50);
            server.send("426 Transfer aborted.\r\n").pause(50).send("226 ABOR successful.\r\n");
        }
        server.expectLine("CWD /").send("250 ok\r\n").expectLine("PWD").send("257 \"/\"\r\n");
        server.expectLine("TYPE A").send("200 ok\r\n").expectLine("PASV");
        server.send(ScriptedPeer::pasvReplyFor(channel.port())).expectLine("LIST").send("150 here\r\n");
        channel.accept().send(Line("big.bin", 100000)).close();
        server.pause(50).send("226 done\r\n");

        QList<RemoteItem> big = harness.engine().CurrentItems().files;
        ASSERT_TRUE(harness.engine().DownloadItems(big, target.path()));
        ASSERT_TRUE(pumpEventsUntil(
            [&] {
                const TransferTask* task = harness.engine().CurrentTransfer();
                const FtpCommand* command = harness.engine().CurrentCommand();
                return c.afterFirstBytes ? task && task->transferred > 0
                                         : command && command->text == "RETR /big.bin";
            },
            5000))
            << harness.view.joined();
        harness.engine().AbortCommand();
        EXPECT_FALSE(harness.engine().Session()->jobRunning);
        EXPECT_TRUE(harness.view.taskRows.isEmpty());
        ASSERT_TRUE(pumpEventsUntil(
            [&] {
                return server.finished() && channel.finished() && harness.engine().IsIdle() &&
                       harness.view.paneEnabled;
            },
            5000))
            << harness.view.joined() << server.failureText();
        EXPECT_EQ(server.failureText(), "");
        EXPECT_EQ(harness.engine().CurrentItems().files.size(), 1);
        QFile::remove(target.filePath(QStringLiteral("big.bin")));
    }
}

// A transfer the server cuts with 426, after closing the data connection or with it still open,
// fails its file with what had arrived; the next run resumes that file to the whole.
TEST_F(SessionDownload, ACutTransferFailsAndTheNextRunResumesIt) {
    loginWith(Line("cut.bin", 10));
    for (const bool closedFirst : {true, false}) {
        SCOPED_TRACE(closedFirst ? "closed, then 426" : "426 while open");
        QFile::remove(target.filePath(QStringLiteral("cut.bin")));
        serveRetr("/cut.bin");
        data.accept().send("abcde");
        if (closedFirst) {
            data.close();
        }
        control.pause(100).send("426 Connection closed; transfer aborted.\r\n");
        ASSERT_TRUE(h.engine().DownloadItems(items({"cut.bin"}), target.path()));
        ASSERT_TRUE(h.waitIdle()) << h.view.joined() << control.failureText();
        EXPECT_EQ(local("cut.bin"), "abcde");
        EXPECT_TRUE(h.view.reportedTexts().contains("RETR /cut.bin"));

        h.view.conflictAnswers = {{false, ConflictChoice::Resume, false}};
        expectTypeAndPasv(); // the type stays from the first run
        control.expectLine("REST 5").send("350 Restarting at 5.\r\n");
        control.expectLine("RETR /cut.bin").send("150 here\r\n");
        data.accept().send("fghij").close();
        control.pause(50).send("226 done\r\n");
        ASSERT_TRUE(h.engine().DownloadItems(items({"cut.bin"}), target.path()));
        ASSERT_TRUE(h.waitIdle()) << h.view.joined() << control.failureText();
        EXPECT_EQ(local("cut.bin"), "abcdefghij");
        EXPECT_EQ(control.failureText(), "");
    }
}

} // namespace
} // namespace tessaly::test
