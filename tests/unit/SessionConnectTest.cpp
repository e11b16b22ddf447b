// Connection attempts: refused ports, unresolvable names, retries with and without waits, the
// connect time-out and the "ftp://" prefix.
#include "support/EngineHarness.h"
#include "support/EventPump.h"
#include "support/ListingScript.h"
#include "support/ScriptedPeer.h"

#include <QElapsedTimer>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <limits>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace tessaly::test {
namespace {

using Lines = QList<QByteArray>;

constexpr const char* kConnecting = "STATUS:>  Connecting to FTP server[127.0.0.1(2026-12-08 09:10:11)]...";

// A loopback port on which nothing listens.
quint16 ClosedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// A loopback listener that never accepts and whose queue is full, so a further connect stays
// pending until it times out.
class StalledListener {
public:
    StalledListener() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 0);
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        for (int i = 0; i < 4; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
            fillers_.push_back(fd);
        }
        ::usleep(50 * 1000);
    }
    ~StalledListener() {
        for (int fd : fillers_) {
            ::close(fd);
        }
        ::close(listener_);
    }
    quint16 port() const { return port_; }

private:
    int listener_ = -1;
    quint16 port_ = 0;
    std::vector<int> fillers_;
};

TEST(SessionConnect, RefusedPortRetriesRetryNumberTimesThenGivesUp) {
    EngineHarness h;
    h.setInt(u"General", u"RetryNumber", 3);
    h.connect(ClosedPort());
    ASSERT_TRUE(h.waitClosed());
    const Lines expected = {
        kConnecting,
        "ERROR:>  Cannot connect target, processing next attemption...",
        "",
        kConnecting,
        "ERROR:>  Cannot connect target, processing next attemption...",
        "",
        kConnecting,
        "ERROR:>  Connect target failed, disconnect.",
        "",
    };
    EXPECT_EQ(h.view.lines(), expected);
    EXPECT_FALSE(h.view.paneBusy);
    EXPECT_EQ(h.view.closedCount, 1);
}

TEST(SessionConnect, WaitTimesAddsTheWaitLineAndPauses) {
    EngineHarness h;
    h.setInt(u"General", u"RetryNumber", 2);
    h.setInt(u"General", u"WaitTimes", 1);
    h.setInt(u"Miscellaneous", u"ReturnLine", 0);
    QElapsedTimer clock;
    clock.start();
    h.connect(ClosedPort());
    // The wait does not block the loop: the engine is still waiting when the call returns.
    EXPECT_NE(h.engine().Session(), nullptr);
    ASSERT_TRUE(h.waitClosed());
    EXPECT_GE(clock.elapsed(), 900);
    const Lines expected = {
        kConnecting,
        "ERROR:>  Cannot connect target, processing next attemption...",
        "STATUS:>  Waiting 1 seconds for try again...",
        kConnecting,
        "ERROR:>  Connect target failed, disconnect.",
    };
    EXPECT_EQ(h.view.lines(), expected);
}

TEST(SessionConnect, ClosingTheSessionDuringTheWaitCancelsTheRetry) {
    EngineHarness h;
    h.setInt(u"General", u"RetryNumber", 2);
    h.setInt(u"General", u"WaitTimes", 1);
    h.connect(ClosedPort());
    pumpEventsUntil([&] { return h.view.lines().size() >= 3; }, 5000);
    h.engine().CloseSession();
    pumpEventsUntil([] { return false; }, 1300);
    EXPECT_EQ(h.view.texts().count("Connecting to FTP server[127.0.0.1(2026-12-08 09:10:11)]..."), 1);
}

TEST(SessionConnect, RetryNumberZeroStartsNothing) {
    EngineHarness h;
    h.setInt(u"General", u"RetryNumber", 0);
    h.connect(ClosedPort());
    EXPECT_EQ(h.engine().Session(), nullptr);
    EXPECT_TRUE(h.view.lines().isEmpty());
}

TEST(SessionConnect, UnresolvableHostRetriesTheLookup) {
    EngineHarness h;
    h.setInt(u"General", u"RetryNumber", 3);
    SessionEngine::StartRequest request;
    request.host = "no-such-host.invalid";
    h.engine().StartSession(request);
    ASSERT_TRUE(h.waitClosed(30000));
    const QByteArray connecting =
        "STATUS:>  Connecting to FTP server[no-such-host.invalid(2026-12-08 09:10:11)]...";
    const Lines expected = {
        connecting,
        "ERROR:>  Cannot resolve target host name, process next attemption...",
        "",
        connecting,
        "ERROR:>  Cannot resolve target host name, process next attemption...",
        "",
        connecting,
        "ERROR:>  Cannot resolve hostname, disconnect.",
        "",
    };
    EXPECT_EQ(h.view.lines(), expected);
}

TEST(SessionConnect, ResolvedNameIsLoggedBeforeConnecting) {
    EngineHarness h;
    ScriptedPeer peer;
    ScriptedPeer data;
    peer.accept().send("220 hi\r\n").expectLine("USER anonymous").send("230 ok\r\n");
    ScriptFirstListing(peer, data);
    SessionEngine::StartRequest request;
    request.host = "localhost";
    request.port = peer.port();
    h.engine().StartSession(request);
    ASSERT_TRUE(h.waitIdle()) << h.view.joined();
    EXPECT_EQ(h.view.lines().at(1), "STATUS:>  Resolve target host[localhost] successful, Connecting now...");
}

TEST(SessionConnect, FtpPrefixIsRemovedOnlyToConnect) {
    EngineHarness h;
    ScriptedPeer peer;
    ScriptedPeer data;
    peer.accept().send("220 hi\r\n").expectLine("USER anonymous").send("230 ok\r\n");
    ScriptFirstListing(peer, data);
    SessionEngine::StartRequest request;
    request.host = "FtP://127.0.0.1";
    request.port = peer.port();
    h.engine().StartSession(request);
    ASSERT_TRUE(h.waitIdle()) << h.view.joined();
    EXPECT_EQ(h.view.lines().first(),
              "STATUS:>  Connecting to FTP server[FtP://127.0.0.1(2026-12-08 09:10:11)]...");
    EXPECT_EQ(h.engine().Session()->host, "FtP://127.0.0.1");
}

TEST(SessionConnect, ConnectTimeoutRetriesThenGivesUp) {
    EngineHarness h;
    StalledListener stalled;
    h.setInt(u"General", u"RetryNumber", 2);
    h.setInt(u"General", u"UseTimeout", 1);
    h.setInt(u"General", u"ConnectionTimeout", 1);
    h.connect(stalled.port());
    const int clearsAtStart = h.view.paneClears;
    EXPECT_TRUE(h.engine().ConnectTimer().isActive());
    EXPECT_EQ(h.engine().ConnectTimer().interval(), 1000);
    ASSERT_TRUE(h.waitClosed(10000)) << h.view.joined();
    const Lines expected = {
        kConnecting,
        "ERROR:>  Connect timeout.",
        "",
        kConnecting,
        "ERROR:>  Cannot connect to host, disconnect.",
        "",
    };
    EXPECT_EQ(h.view.lines(), expected);
    // Only the session and its connection end: the pane is not cleared.
    EXPECT_EQ(h.view.paneClears, clearsAtStart);
    EXPECT_FALSE(h.engine().HasControlConnection());
}

TEST(SessionConnect, WithoutUseTimeoutNoConnectTimerRuns) {
    EngineHarness h;
    StalledListener stalled;
    h.connect(stalled.port());
    EXPECT_FALSE(h.engine().ConnectTimer().isActive());
    h.engine().CloseSession();
}

TEST(SessionConnect, SuccessfulConnectRestoresTheAttempts) {
    EngineHarness h;
    ScriptedPeer peer;
    h.setInt(u"General", u"RetryNumber", 2);
    // The first connect restores the attempts, so the close that follows it leaves two more. A
    // server that accepts and closes every time must not keep the client reconnecting forever:
    // the attempts are restored once per session.
    peer.accept().close().accept().send("220-wait\r\n").pause(100).close().accept().close();
    h.connect(peer.port());
    ASSERT_TRUE(h.waitClosed()) << h.view.joined() << peer.failureText();
    EXPECT_EQ(peer.connectionCount(), 3);
    EXPECT_EQ(h.view.lines().at(h.view.lines().size() - 2), "ERROR:>  Connect target failed, disconnect.");
}

TEST(SessionConnect, AbortWhileConnectingClosesTheSession) {
    EngineHarness h;
    StalledListener stalled;
    h.connect(stalled.port());
    h.engine().AbortCommand();
    EXPECT_EQ(h.engine().Session(), nullptr);
    EXPECT_EQ(h.view.lines().last(), "STATUS:>  Aborted by client(2026-12-08 09:10:11:012).");
}

// The connect time-out covers the name lookup and the connect after it: a name that resolves to an
// address that never answers still times out.
TEST(SessionConnect, ConnectTimeoutCoversTheConnectAfterTheLookup) {
    EngineHarness h;
    StalledListener stalled;
    h.setInt(u"General", u"RetryNumber", 1);
    h.setInt(u"General", u"UseTimeout", 1);
    h.setInt(u"General", u"ConnectionTimeout", 1);
    SessionEngine::StartRequest request;
    request.host = "localhost";
    request.port = stalled.port();
    h.engine().StartSession(request);
    ASSERT_TRUE(h.waitClosed(10000)) << h.view.joined();
    const Lines texts = h.view.texts();
    EXPECT_TRUE(texts.contains("Resolve target host[localhost] successful, Connecting now..."))
        << h.view.joined();
    EXPECT_EQ(texts.at(texts.size() - 2), "Cannot connect to host, disconnect.");
}

TEST(SessionConnect, TimerPeriodsFromTheSettingsNeverOverflow) {
    struct Case {
        qint64 count;
        qint64 unitMs;
        int expected;
    };
    constexpr int kLongest = std::numeric_limits<int>::max();
    for (const Case& c :
         {Case{20, 1000, 20000}, Case{0, 1000, 0}, Case{-5, 1000, 0}, Case{60, 60000, 3600000},
          Case{2147483, 1000, 2147483000}, Case{2147484, 1000, kLongest}, Case{kLongest, 60000, kLongest},
          Case{35791, 60000, 2147460000}}) {
        EXPECT_EQ(TimerPeriod(c.count, c.unitMs), c.expected) << c.count << " x " << c.unitMs;
    }
    // A connect time-out far too large for the timer still leaves a running, long timer.
    EngineHarness h;
    StalledListener stalled;
    h.setInt(u"General", u"UseTimeout", 1);
    h.setInt(u"General", u"ConnectionTimeout", 2000000000);
    h.connect(stalled.port());
    EXPECT_TRUE(h.engine().ConnectTimer().isActive());
    EXPECT_EQ(h.engine().ConnectTimer().interval(), kLongest);
    h.engine().CloseSession();
}

} // namespace
} // namespace tessaly::test
