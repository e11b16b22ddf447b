// Listings over the data channel against a scripted server: the listing sequence, passive and
// active connections with their fallbacks, the final reply before and after the data close, the
// refusals that end a listing, and the directory cache on changing directory.
#include "support/ActiveModeServer.h"
#include "support/EngineHarness.h"
#include "support/EventPump.h"
#include "support/ListingScript.h"
#include "support/ScriptedPeer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tessaly::test {
namespace {

constexpr char kRoot[] =
    "drwxr-xr-x 2 o g 4096 Jan 01 2026 pub\r\n-rw-r--r-- 1 o g 12 Jan 01 2026 hello.txt\r\n";
constexpr char kPub[] = "-rw-r--r-- 1 o g 5 Jan 01 2026 in-pub.txt\r\n";

class SessionListing : public ::testing::Test {
protected:
    // An active-mode login up to its first listing's LIST, the PORT accepted.
    void scriptActiveLoginToList() {
        h.setInt(u"Advance", u"PasvMode", 0);
        control.accept().send("220 hi\r\n").expectLine("USER anonymous").send("230 ok\r\n");
        ScriptProbe(control);
        control.expectLine("PWD").send("257 \"/\"\r\n");
        control.expectLine("TYPE A").send("200 ok\r\n");
        control.expectLinePrefix("PORT 127,0,0,1,").send("200 PORT ok\r\n").expectLine("LIST");
    }
    void loginWith(const QByteArray& listing) {
        control.accept().send("220 hi\r\n").expectLine("USER anonymous").send("230 ok\r\n");
        ScriptFirstListing(control, data, listing);
        h.connect(control.port());
        ASSERT_TRUE(h.waitIdle()) << h.view.joined() << control.failureText() << data.failureText();
    }
    // Changes to /pub, which is listed.
    void listPub() {
        ScriptedPeer pubData;
        control.expectLine("CWD /pub").send("250 ok\r\n").expectLine("PWD").send("257 \"/pub\"\r\n");
        control.expectLine("TYPE A")
            .send("200 ok\r\n")
            .expectLine("PASV")
            .send(ScriptedPeer::pasvReplyFor(pubData.port()));
        control.expectLine("LIST").send("150 here\r\n");
        pubData.accept().send(kPub).close();
        control.pause(50).send("226 done\r\n");
        h.engine().ChangeDirectory("/pub", false);
        ASSERT_TRUE(h.waitIdle()) << h.view.joined() << control.failureText();
        ASSERT_TRUE(pubData.runEventLoopUntilFinished(5000));
    }
    // The commands sent from the given log line on.
    QList<QByteArray> commandsFrom(qsizetype first) const {
        QList<QByteArray> out;
        for (const QByteArray& line : h.view.lines().mid(first)) {
            if (line.startsWith("COMMAND:>  ")) {
                out.append(line.mid(11));
            }
        }
        return out;
    }

    EngineHarness h;
    ScriptedPeer control;
    ScriptedPeer data;
};

TEST_F(SessionListing, LoginListsTheDirectoryAndShowsIt) {
    loginWith(kRoot);
    EXPECT_EQ(commandsFrom(0), (QList<QByteArray>{"USER anonymous", "SYST", "TYPE I", "REST 100", "REST 0",
                                                  "PWD", "TYPE A", "PASV", "LIST"}));
    EXPECT_TRUE(h.view.lines().contains("STATUS:>  Open the data channel..."));
    EXPECT_EQ(h.view.path, "/");
    EXPECT_EQ(h.view.shownNames(), (QList<QByteArray>{"pub", "hello.txt"}));
    const FtpSession* session = h.engine().Session();
    EXPECT_EQ(session->currentDirectory, "/");
    EXPECT_TRUE(session->restSupported);
    EXPECT_FALSE(session->resumeProbePending);
    EXPECT_FALSE(session->firstListingPending);
    EXPECT_EQ(session->folderCache.size(), 1);
    EXPECT_TRUE(h.view.paneEnabled);
}

// The received bytes become the cache entry: CR line ends alone, a "total" line, dropped entries and
// a last line without a line end, arriving over many reads, leave exactly the kept lines.
TEST_F(SessionListing, ReceivedListingBecomesTheCacheEntryByteForByte) {
    QByteArray listing = "total 9000\r";
    QByteArray kept;
    for (int i = 0; i < 3000; ++i) {
        const QByteArray line =
            "-rw-r--r-- 1 o g " + QByteArray::number(i) + " Jan 01 2026 file " + QByteArray::number(i);
        listing += line + (i == 2999 ? "" : "\r");
        kept += line + '\n';
        if (i % 1000 == 0) {
            listing += "drwxr-xr-x 2 o g 4096 Jan 01 2026 ..\r";
        }
    }
    loginWith(listing);
    const FtpSession* session = h.engine().Session();
    ASSERT_EQ(session->folderCache.size(), 1);
    const FolderCacheEntry& entry = session->folderCache.at(0);
    EXPECT_EQ(entry.text(), kept);
    EXPECT_EQ(entry.lineCount(), 3000);
    const ListingItems& items = h.engine().CurrentItems();
    ASSERT_EQ(items.files.size(), 3000);
    EXPECT_EQ(items.files.back().name(), "file 2999");
    EXPECT_EQ(items.files.back().rawLine().data(), entry.line(2999).data());
    EXPECT_TRUE(session->listingBuffer.isEmpty());
}

TEST_F(SessionListing, CachedDirectoryNeedsOnlyCdup) {
    loginWith(kRoot);
    listPub();
    EXPECT_EQ(h.view.shownNames(), (QList<QByteArray>{"in-pub.txt"}));

    const qsizetype before = h.view.lines().size();
    const int connections = data.connectionCount();
    control.expectLine("CDUP").send("250 back\r\n");
    h.engine().ChangeDirectory("/", true);
    ASSERT_TRUE(h.waitIdle()) << h.view.joined() << control.failureText();
    EXPECT_EQ(commandsFrom(before), (QList<QByteArray>{"CDUP"}));
    EXPECT_EQ(h.view.shownNames(), (QList<QByteArray>{"pub", "hello.txt"}));
    EXPECT_EQ(h.view.path, "/");
    EXPECT_EQ(h.engine().Session()->currentDirectory, "/");
    EXPECT_EQ(data.connectionCount(), connections);
    EXPECT_EQ(h.engine().Session()->folderCache.size(), 2);
}

TEST_F(SessionListing, CachedDirectoryWhoseCwdFailsShowsNothingAndIsReported) {
    loginWith(kRoot);
    control.expectLine("CWD /").send("550 gone\r\n");
    h.engine().ChangeDirectory("/", false);
    ASSERT_TRUE(h.waitIdle()) << h.view.joined() << control.failureText();
    EXPECT_EQ(h.view.listingCount, 1);
    ASSERT_EQ(h.view.failureReports.size(), 1);
    EXPECT_EQ(h.view.failureReports[0][0].text, "CWD /");
    EXPECT_EQ(h.engine().Session()->cachedListing, nullptr);
    h.engine().ClearCache();
    EXPECT_TRUE(h.engine().Session()->folderCache.isEmpty());
}

TEST_F(SessionListing, FinalReplyBeforeAndAfterTheDataClose) {
    // 226 first: nothing is shown until the data connection closes.
    control.accept().send("220 hi\r\n").expectLine("USER anonymous").send("230 ok\r\n");
    ScriptProbe(control, "501 no\r\n");
    control.expectLine("PWD").send("257 \"/\"\r\n");
    control.expectLine("TYPE A")
        .send("200 ok\r\n")
        .expectLine("PASV")
        .send(ScriptedPeer::pasvReplyFor(data.port()));
    control.expectLine("LIST").send("150 here\r\n226 done\r\n");
    data.accept().pause(300).send(kRoot).close();
    h.connect(control.port());
    ASSERT_TRUE(pumpEventsUntil([&] { return h.view.lines().contains("              226 done"); }, 5000));
    EXPECT_EQ(h.view.listingCount, 0);
    ASSERT_TRUE(h.waitIdle()) << h.view.joined();
    EXPECT_EQ(h.view.listingCount, 1);
    EXPECT_FALSE(h.engine().Session()->restSupported);
    EXPECT_EQ(h.view.shownNames(), (QList<QByteArray>{"pub", "hello.txt"}));
}

TEST_F(SessionListing, PasvRefusedFallsBackToPortAndTheServerConnects) {
    control.accept().send("220 hi\r\n").expectLine("USER anonymous").send("230 ok\r\n");
    ScriptProbe(control);
    control.expectLine("PWD").send("257 \"/\"\r\n");
    control.expectLine("TYPE A").send("200 ok\r\n").expectLine("PASV").send("500 no passive here\r\n");
    control.expectLinePrefix("PORT 127,0,0,1,").send("200 PORT ok\r\n").expectLine("LIST");
    h.connect(control.port());
    ASSERT_TRUE(pumpEventsUntil([&] { return control.receivedLines().contains("LIST"); }, 5000))
        << control.failureText();
    // Connect to the announced port as the server would, send the listing and close.
    const quint16 dataPort = AnnouncedPort(control);
    ASSERT_NE(dataPort, 0);
    control.send("150 connecting\r\n");
    const int fd = ConnectFrom("127.0.0.1", dataPort);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::send(fd, kRoot, sizeof kRoot - 1, 0), static_cast<ssize_t>(sizeof kRoot - 1));
    ::close(fd);
    control.send("226 done\r\n");
    ASSERT_TRUE(h.waitIdle()) << h.view.joined() << control.failureText();
    EXPECT_EQ(h.view.shownNames(), (QList<QByteArray>{"pub", "hello.txt"}));
    EXPECT_TRUE(h.view.failureReports.isEmpty());
}

TEST_F(SessionListing, BothModesRefusedEndTheListingWithoutHanging) {
    control.accept().send("220 hi\r\n").expectLine("USER anonymous").send("230 ok\r\n");
    ScriptRefusedListing(control);
    h.connect(control.port());
    ASSERT_TRUE(h.waitIdle()) << h.view.joined() << control.failureText();
    EXPECT_EQ(control.failureText(), "");
    const QList<QByteArray> commands = commandsFrom(0).mid(7);
    ASSERT_EQ(commands.size(), 4);
    EXPECT_EQ(commands[0], "PASV");
    EXPECT_TRUE(commands[1].startsWith("PORT 127,0,0,1,"));
    EXPECT_EQ(commands[2], "PASV");
    EXPECT_EQ(commands[3], "LIST");
    ASSERT_EQ(h.view.failureReports.size(), 1);
    EXPECT_EQ(h.view.failureReports[0][0].text, "PASV");
    EXPECT_EQ(h.view.listingCount, 0);
    EXPECT_FALSE(h.engine().Session()->firstListingPending);
}

TEST_F(SessionListing, ListRefusedWhileTheDataConnectionIsOpenEndsTheOperation) {
    control.accept().send("220 hi\r\n").expectLine("USER anonymous").send("230 ok\r\n");
    ScriptProbe(control);
    control.expectLine("PWD").send("257 \"/\"\r\n");
    control.expectLine("TYPE A")
        .send("200 ok\r\n")
        .expectLine("PASV")
        .send(ScriptedPeer::pasvReplyFor(data.port()));
    control.expectLine("LIST").send("425 Cannot open data connection\r\n");
    data.accept().pause(2000); // connected, but never sends or closes
    h.connect(control.port());
    ASSERT_TRUE(h.waitIdle(5000)) << h.view.joined();
    EXPECT_EQ(h.view.listingCount, 0);
    EXPECT_TRUE(h.view.paneEnabled);
}

TEST_F(SessionListing, PwdWithoutQuotesKeepsTheDirectory) {
    control.accept().send("220 hi\r\n").expectLine("USER anonymous").send("230 ok\r\n");
    ScriptProbe(control);
    control.expectLine("CWD /start").send("250 ok\r\n");
    control.expectLine("PWD").send("257 somewhere\r\n");
    control.expectLine("TYPE A")
        .send("200 ok\r\n")
        .expectLine("PASV")
        .send(ScriptedPeer::pasvReplyFor(data.port()));
    control.expectLine("LIST").send("150 here\r\n");
    data.accept().send(kRoot).close();
    control.pause(50).send("226 done\r\n");
    SessionEngine::StartRequest request;
    request.host = "127.0.0.1";
    request.port = control.port();
    request.directory = "/start";
    h.engine().StartSession(request);
    ASSERT_TRUE(h.waitIdle()) << h.view.joined() << control.failureText();
    // The directory asked for is changed to first; a PWD reply without quotes keeps it.
    EXPECT_EQ(control.failureText(), "");
    EXPECT_EQ(h.engine().Session()->currentDirectory, "/start");
    EXPECT_EQ(h.view.path, "/start");
}

TEST_F(SessionListing, ResumeSupportOffProbesEveryListing) {
    h.setInt(u"General", u"ResumeSupport", 0);
    loginWith(kRoot);
    ScriptedPeer again;
    ScriptProbe(control);
    control.expectLine("CWD /").send("250 ok\r\n");
    control.expectLine("PWD").send("257 \"/\"\r\n").expectLine("TYPE A").send("200 ok\r\n");
    control.expectLine("PASV")
        .send(ScriptedPeer::pasvReplyFor(again.port()))
        .expectLine("LIST")
        .send("150 x\r\n");
    again.accept().send(kRoot).close();
    control.pause(50).send("226 done\r\n");
    h.engine().RefreshListing(false);
    ASSERT_TRUE(h.waitIdle()) << h.view.joined() << control.failureText();
    EXPECT_EQ(control.failureText(), "");
    EXPECT_FALSE(h.engine().Session()->restSupported);
}

// A listener on another loopback address that counts the connections it gets: where a PASV reply
// would send a client that believes it.
class Decoy {
public:
    Decoy(const char* address, quint16 port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_port = htons(port);
        ::inet_aton(address, &where.sin_addr);
        bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0 && ::listen(fd_, 5) == 0;
    }
    ~Decoy() { ::close(fd_); }
    bool bound() const { return bound_; }
    int connections() const {
        int count = 0;
        for (int fd; (fd = ::accept(fd_, nullptr, nullptr)) >= 0; ++count) {
            ::close(fd);
        }
        return count;
    }

private:
    int fd_ = -1;
    bool bound_ = false;
};

QByteArray PortNumbers(quint16 port) {
    return QByteArray::number(port / 256) + ',' + QByteArray::number(port % 256);
}

// Whatever address a PASV reply names, the data connection goes to the server the control
// connection reaches, and the log says which address was used instead. The reply may also come
// without parentheses.
TEST(SessionListingPassive, TheReplysAddressCannotSendTheDataConnectionElsewhere) {
    struct Case {
        const char* name;
        QByteArray (*reply)(quint16 port);
        const char* named; // the address the reply names; nullptr: the server's own
    };
    const Case cases[] = {
        {"another loopback address",
         [](quint16 p) { return "227 Entering Passive Mode (127,0,0,2," + PortNumbers(p) + ").\r\n"; },
         "127.0.0.2"},
        {"the any-address",
         [](quint16 p) { return "227 Entering Passive Mode (0,0,0,0," + PortNumbers(p) + ")\r\n"; },
         "0.0.0.0"},
        {"a private address behind NAT",
         [](quint16 p) { return "227 Passive (10,1,2,3," + PortNumbers(p) + ")\r\n"; }, "10.1.2.3"},
        {"no parentheses",
         [](quint16 p) { return "227 Entering Passive Mode 127,0,0,1," + PortNumbers(p) + "\r\n"; }, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EngineHarness h;
        ScriptedPeer control;
        ScriptedPeer data;
        const Decoy decoy("127.0.0.2", data.port());
        ASSERT_TRUE(decoy.bound());
        control.accept().send("220 hi\r\n").expectLine("USER anonymous").send("230 ok\r\n");
        ScriptProbe(control);
        control.expectLine("PWD").send("257 \"/\"\r\n");
        control.expectLine("TYPE A").send("200 ok\r\n").expectLine("PASV").send(c.reply(data.port()));
        control.expectLine("LIST").send("150 here\r\n");
        data.accept().send(kRoot).close();
        control.pause(50).send("226 done\r\n");
        h.connect(control.port());
        ASSERT_TRUE(h.waitIdle()) << h.view.joined() << control.failureText() << data.failureText();
        EXPECT_EQ(h.view.shownNames(), (QList<QByteArray>{"pub", "hello.txt"}));
        EXPECT_EQ(decoy.connections(), 0);
        const QByteArray instead = "STATUS:>  The server named " + QByteArray(c.named) +
                                   " for the data connection, 127.0.0.1 is used instead.";
        EXPECT_EQ(h.view.lines().contains(instead), c.named != nullptr) << h.view.joined();
    }
}

// Abort of an active-mode listing closes its listener: a data connection the server makes late
// finds no port, so it can never be read as the listing of something else.
TEST_F(SessionListing, AbortClosesTheActiveListener) {
    loginWith(kRoot);
    h.setInt(u"Advance", u"PasvMode", 0);
    control.expectLine("PWD").send("257 \"/\"\r\n").expectLine("TYPE A").send("200 ok\r\n");
    control.expectLinePrefix("PORT 127,0,0,1,").send("200 PORT ok\r\n").expectLine("LIST");
    h.engine().RefreshListing(true);
    ASSERT_TRUE(pumpEventsUntil([&] { return control.finished(); }, 5000)) << control.failureText();
    const quint16 port = AnnouncedPort(control);
    ASSERT_NE(port, 0);
    h.engine().AbortCommand();
    EXPECT_TRUE(h.engine().IsIdle());
    EXPECT_EQ(ConnectFrom("127.0.0.1", port), -1);
    EXPECT_EQ(h.view.shownNames(), (QList<QByteArray>{"pub", "hello.txt"}));
}

// The active-mode listener takes one connection, from the server's address only: a third party
// that reaches the port can neither inject a listing nor wipe the pane, and once the server has
// connected the port is closed.
TEST_F(SessionListing, ActiveListenerTakesOnlyTheServer) {
    scriptActiveLoginToList();
    h.connect(control.port());
    ASSERT_TRUE(pumpEventsUntil([&] { return control.receivedLines().contains("LIST"); }, 5000))
        << control.failureText();
    const quint16 port = AnnouncedPort(control);
    ASSERT_NE(port, 0);

    // A third party connects from another address, sends a listing of its own and closes.
    const int intruder = ConnectFrom("127.0.0.2", port);
    ASSERT_GE(intruder, 0);
    ASSERT_EQ(::send(intruder, kPub, sizeof kPub - 1, MSG_NOSIGNAL), ssize_t(sizeof kPub - 1));
    ::close(intruder);
    ASSERT_TRUE(pumpEventsUntil(
        [&] {
            return h.view.joined().find("Refused a data connection from 127.0.0.2:") != std::string::npos;
        },
        5000))
        << h.view.joined();

    control.send("150 connecting\r\n");
    const int server = ConnectFrom("127.0.0.1", port);
    ASSERT_GE(server, 0);
    ASSERT_EQ(::send(server, kRoot, sizeof kRoot - 1, 0), ssize_t(sizeof kRoot - 1));
    ::close(server);
    control.send("226 done\r\n");
    ASSERT_TRUE(h.waitIdle()) << h.view.joined() << control.failureText();
    EXPECT_EQ(h.view.listingCount, 1);
    EXPECT_EQ(h.view.shownNames(), (QList<QByteArray>{"pub", "hello.txt"}));
    // The port is closed once the server connected.
    EXPECT_EQ(ConnectFrom("127.0.0.1", port), -1);
}

// The server connects to the active-mode listener before its final reply, but the event loop may
// announce the reply first: the listing is still read from the waiting connection, not shown empty.
TEST_F(SessionListing, FinalReplyReadBeforeTheActiveConnectionIsAnnouncedStillReadsTheListing) {
    scriptActiveLoginToList();
    control.send("150 connecting\r\n");
    h.connect(control.port());
    ASSERT_TRUE(
        pumpEventsUntil([&] { return h.view.lines().contains("              150 connecting"); }, 5000))
        << h.view.joined() << control.failureText();
    ASSERT_TRUE(ConnectSendAndClose(control, kRoot));
    control.send("226 done\r\n");
    ASSERT_TRUE(control.waitFinished(5000));
    const int idleBefore = h.view.idleCount; // the engine may end the command at once
    DeliverControlReadable(h.engine());
    ASSERT_TRUE(pumpEventsUntil([&] { return h.view.idleCount > idleBefore; }, 5000)) << h.view.joined();
    EXPECT_EQ(h.view.shownNames(), (QList<QByteArray>{"pub", "hello.txt"})) << h.view.joined();
}

// 200 is the code RFC 959 gives CDUP: the server has gone up as with 250.
TEST_F(SessionListing, CdupAnswered200ShowsTheCachedParent) {
    loginWith(kRoot);
    listPub();

    control.expectLine("CDUP").send("200 CDUP command successful.\r\n");
    h.engine().ChangeDirectory("/", true);
    ASSERT_TRUE(h.waitIdle()) << h.view.joined() << control.failureText();
    EXPECT_EQ(h.view.path, "/");
    EXPECT_EQ(h.engine().Session()->currentDirectory, "/");
    EXPECT_EQ(h.view.shownNames(), (QList<QByteArray>{"pub", "hello.txt"}));
}

// Data commands typed by the user (tessaly-cli quote, the desktop's raw commands) neither hang the
// engine nor touch the listing shown or its cache: their data connection is closed with the reply
// that ends them, and what it carries is dropped.
TEST_F(SessionListing, RawDataCommandsNeitherHangNorReplaceTheListing) {
    loginWith(kRoot);
    const FolderCacheEntry* cached = h.engine().Session()->folderCache.Find("/");
    ASSERT_NE(cached, nullptr);
    const QByteArray cachedText = cached->text();

    ScriptedPeer alone;
    control.expectLine("PASV").send(ScriptedPeer::pasvReplyFor(alone.port()));
    ASSERT_TRUE(h.engine().SendCommands({"PASV"}));
    ASSERT_TRUE(h.waitIdle()) << h.view.joined();

    ScriptedPeer listing;
    control.expectLine("PASV").send(ScriptedPeer::pasvReplyFor(listing.port()));
    control.expectLine("list -la").send("150 here\r\n");
    listing.accept().send(kPub).close();
    control.pause(100).send("226 done\r\n");
    ASSERT_TRUE(h.engine().SendCommands({"PASV", "list -la"}));
    ASSERT_TRUE(h.waitIdle()) << h.view.joined() << control.failureText();
    EXPECT_EQ(control.failureText(), "");

    EXPECT_EQ(h.view.listingCount, 1);
    EXPECT_EQ(h.view.shownNames(), (QList<QByteArray>{"pub", "hello.txt"}));
    ASSERT_EQ(h.engine().Session()->folderCache.size(), 1);
    EXPECT_EQ(h.engine().Session()->folderCache.at(0).text(), cachedText);
}

// A listing of more entries than the engine shows is cut, and the log says what was cut: the items
// of short lines cannot take more memory than the bound allows.
TEST_F(SessionListing, ListingPastTheItemLimitIsCutAndSaysSo) {
    h.engine().SetListingItemLimit(2);
    loginWith("-rw-r--r-- 1 o g 1 Jan 01 2026 a\r\n-rw-r--r-- 1 o g 2 Jan 01 2026 b\r\n"
              "-rw-r--r-- 1 o g 3 Jan 01 2026 c\r\n-rw-r--r-- 1 o g 4 Jan 01 2026 d\r\n");
    EXPECT_EQ(h.view.shownNames(), (QList<QByteArray>{"a", "b"}));
    EXPECT_TRUE(h.view.lines().contains(
        "ERROR:>  Directory listing too long, only its first 2 entries are shown (2 lines cut)."))
        << h.view.joined();
    EXPECT_EQ(h.engine().Session()->folderCache.at(0).lineCount(), 2);
}

} // namespace
} // namespace tessaly::test
