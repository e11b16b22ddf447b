#include "net/AsyncSocket.h"

#include "net/ProxyTunnel.h"
#include "support/EventPump.h"
#include "support/ScriptedPeer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <netinet/in.h>
#include <ostream>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;
using tessaly::AsyncSocket;
using tessaly::kAllSocketEvents;
using tessaly::kEventUrgent;
using tessaly::ProxyKind;
using tessaly::ProxyTunnel;
using tessaly::test::pumpEventsUntil;
using tessaly::test::ScriptedPeer;

namespace {

constexpr int kWaitMs = 5000;
// How long a check for "nothing more happens" keeps the loop running.
constexpr int kQuietMs = 150;

enum class Hook { HostResolved, Connected, PeerClosed, AcceptReady, Readable, Writable, UrgentData };

std::ostream& operator<<(std::ostream& out, Hook hook) {
    static const char* const names[] = {"HostResolved", "Connected", "PeerClosed", "AcceptReady",
                                        "Readable",     "Writable",  "UrgentData"};
    return out << names[static_cast<int>(hook)];
}

struct HookCall {
    Hook hook;
    int error;
    qint64 pendingBytes; // what BytesAvailable() said inside the hook; -1 when it failed
};

// Keeps the calls of the socket hooks in order. A hook may hand its call to a callback, which may
// destroy the recorder itself.
class HookLog {
public:
    std::function<void(Hook, int)> onHook;

    const std::vector<HookCall>& Calls() const { return calls_; }
    std::vector<Hook> Sequence() const {
        std::vector<Hook> hooks;
        for (const HookCall& call : calls_) {
            hooks.push_back(call.hook);
        }
        return hooks;
    }
    int Count(Hook hook) const {
        int count = 0;
        for (const HookCall& call : calls_) {
            count += call.hook == hook ? 1 : 0;
        }
        return count;
    }
    // The error of the first call of the hook, -1 without one.
    int FirstError(Hook hook) const {
        for (const HookCall& call : calls_) {
            if (call.hook == hook) {
                return call.error;
            }
        }
        return -1;
    }
    void Clear() { calls_.clear(); }

protected:
    void Log(Hook hook, int error, qint64 pendingBytes) {
        calls_.push_back({hook, error, pendingBytes});
        if (onHook) {
            const auto callback = onHook; // a copy: the callback may destroy this object
            callback(hook, error);
        }
    }

private:
    std::vector<HookCall> calls_;
};

class RecordingSocket : public AsyncSocket, public HookLog {
protected:
    void OnHostResolved(int error) override { Record(Hook::HostResolved, error); }
    void OnConnected(int error) override { Record(Hook::Connected, error); }
    void OnPeerClosed(int error) override { Record(Hook::PeerClosed, error); }
    void OnAcceptReady(int error) override { Record(Hook::AcceptReady, error); }
    void OnReadable(int error) override { Record(Hook::Readable, error); }
    void OnWritable(int error) override { Record(Hook::Writable, error); }
    void OnUrgentData(int error) override { Record(Hook::UrgentData, error); }

private:
    void Record(Hook hook, int error) {
        // Asking for the pending bytes must not disturb the LastError() the test checks.
        const int savedError = LastError();
        qint64 pending = -1;
        if (!BytesAvailable(pending)) {
            pending = -1;
        }
        SetLastError(savedError);
        Log(hook, error, pending);
    }
};

// The tunnel's own reactions run first, then the call is recorded.
class RecordingTunnel : public ProxyTunnel, public HookLog {
protected:
    void OnHostResolved(int error) override {
        ProxyTunnel::OnHostResolved(error);
        Log(Hook::HostResolved, error, -1);
    }
    void OnConnected(int error) override {
        ProxyTunnel::OnConnected(error);
        Log(Hook::Connected, error, -1);
    }
    void OnReadable(int error) override {
        ProxyTunnel::OnReadable(error);
        Log(Hook::Readable, error, -1);
    }
    void OnWritable(int error) override { Log(Hook::Writable, error, -1); }
    void OnPeerClosed(int error) override { Log(Hook::PeerClosed, error, -1); }
};

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { Reset(); }
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            Reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    int Get() const { return fd_; }
    bool IsValid() const { return fd_ >= 0; }
    int Release() { return std::exchange(fd_, -1); }
    void Reset() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_;
};

sockaddr_in Loopback(quint16 port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

quint16 PortOf(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    return ntohs(address.sin_port);
}

// A TCP socket bound to a free port of 127.0.0.1; listening or, for refused connects, not.
Fd BoundLoopbackSocket() {
    Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    const sockaddr_in any = Loopback(0);
    if (!fd.IsValid() || ::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
        return Fd();
    }
    return fd;
}

class Listener {
public:
    Listener() : fd_(BoundLoopbackSocket()) {
        if (fd_.IsValid() && ::listen(fd_.Get(), 8) != 0) {
            fd_.Reset();
        }
    }
    quint16 Port() const { return fd_.IsValid() ? PortOf(fd_.Get()) : 0; }
    // The next connection, accepted while the event loop runs; invalid after the time-out.
    Fd Accept() {
        Fd accepted;
        pumpEventsUntil(
            [&] {
                accepted = Fd(::accept4(fd_.Get(), nullptr, nullptr, SOCK_CLOEXEC));
                return accepted.IsValid();
            },
            kWaitMs);
        return accepted;
    }

private:
    Fd fd_;
};

void PumpFor(int ms) {
    pumpEventsUntil([] { return false; }, ms);
}

bool PumpUntil(const std::function<bool()>& done) {
    return pumpEventsUntil(done, kWaitMs);
}

bool SendAll(int fd, const QByteArray& bytes) {
    for (qsizetype offset = 0; offset < bytes.size();) {
        const ssize_t sent =
            ::send(fd, bytes.constData() + offset, static_cast<size_t>(bytes.size() - offset), MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        offset += sent;
    }
    return true;
}

// Everything the peer can read right now, without waiting.
qint64 Drain(int fd) {
    qint64 total = 0;
    char buffer[65536];
    for (ssize_t got; (got = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0;) {
        total += got;
    }
    return total;
}

// What the socket can read right now, up to the end of the stream or would-block.
QByteArray ReadAvailable(AsyncSocket& socket) {
    QByteArray got;
    char buffer[4096];
    for (qint64 n; (n = socket.Read(buffer, sizeof buffer)) > 0;) {
        got.append(buffer, n);
    }
    return got;
}

double CpuTimeMs() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// The CPU time the process spends while the event loop runs for `ms` milliseconds.
double CpuSpentPumping(int ms) {
    const double before = CpuTimeMs();
    PumpFor(ms);
    return CpuTimeMs() - before;
}

// Well below a busy loop's share of the time (the full duration) and well above an idle loop's.
constexpr double kNoSpinCpuMs = 100.0;

struct ConnectWay {
    const char* name;
    int (*connect)(AsyncSocket& socket, quint16 port);
};
const ConnectWay kConnectWays[] = {
    {"ConnectToAddress", [](AsyncSocket& s, quint16 port) { return s.ConnectToAddress(Loopback(port)); }},
    {"ConnectToHost with a dotted address",
     [](AsyncSocket& s, quint16 port) { return s.ConnectToHost("127.0.0.1"_ba, port); }},
};

class AsyncSocketTest : public ::testing::Test {
protected:
    // Connects socket_ to the listener, waits for OnConnected and OnWritable, accepts peer_ and
    // clears the recorded calls.
    void Connect(unsigned eventMask = kAllSocketEvents) {
        ASSERT_NE(listener_.Port(), 0);
        ASSERT_TRUE(socket_->Open(0, eventMask));
        socket_->ConnectToAddress(Loopback(listener_.Port()));
        ASSERT_TRUE(PumpUntil([&] { return socket_->Count(Hook::Writable) == 1; }));
        ASSERT_EQ(socket_->Sequence(), (std::vector<Hook>{Hook::Connected, Hook::Writable}));
        ASSERT_EQ(socket_->FirstError(Hook::Connected), 0);
        peer_ = listener_.Accept();
        ASSERT_TRUE(peer_.IsValid());
        socket_->Clear();
    }

    Listener listener_;
    std::unique_ptr<RecordingSocket> socket_ = std::make_unique<RecordingSocket>();
    Fd peer_;
};

TEST_F(AsyncSocketTest, ConnectIsReportedOnceThroughTheLoopAndThenWritableOnce) {
    for (const ConnectWay& way : kConnectWays) {
        SCOPED_TRACE(way.name);
        RecordingSocket socket;
        ASSERT_TRUE(socket.Open());
        const int result = way.connect(socket, listener_.Port());
        EXPECT_TRUE(result == 0 || (result == -1 && socket.LastError() == EWOULDBLOCK))
            << result << " errno " << socket.LastError();
        EXPECT_EQ(socket.Calls().size(), 0u) << "a hook ran inside the connect call";
        ASSERT_TRUE(PumpUntil([&] { return socket.Count(Hook::Writable) > 0; }));
        const Fd peer = listener_.Accept();
        EXPECT_TRUE(peer.IsValid());
        PumpFor(kQuietMs);
        EXPECT_EQ(socket.Sequence(), (std::vector<Hook>{Hook::Connected, Hook::Writable}));
        EXPECT_EQ(socket.FirstError(Hook::Connected), 0);
        EXPECT_EQ(socket.FirstError(Hook::Writable), 0);
        EXPECT_EQ(socket.RemoteAddress().sin_port, htons(listener_.Port()));
    }
}

TEST_F(AsyncSocketTest, RefusedConnectIsReportedOnceWithEconnrefused) {
    const Fd notListening = BoundLoopbackSocket(); // bound, so the port stays refused
    ASSERT_TRUE(notListening.IsValid());
    for (const ConnectWay& way : kConnectWays) {
        SCOPED_TRACE(way.name);
        RecordingSocket socket;
        ASSERT_TRUE(socket.Open());
        EXPECT_EQ(way.connect(socket, PortOf(notListening.Get())), -1);
        EXPECT_TRUE(socket.LastError() == EWOULDBLOCK || socket.LastError() == ECONNREFUSED)
            << socket.LastError();
        EXPECT_EQ(socket.Calls().size(), 0u) << "a hook ran inside the connect call";
        ASSERT_TRUE(PumpUntil([&] { return socket.Count(Hook::Connected) > 0; }));
        PumpFor(kQuietMs);
        EXPECT_EQ(socket.Sequence(), std::vector<Hook>{Hook::Connected});
        EXPECT_EQ(socket.FirstError(Hook::Connected), ECONNREFUSED);
        EXPECT_EQ(socket.LastError(), ECONNREFUSED);
    }
}

TEST_F(AsyncSocketTest, WritableFollowsOnlyAWriteThatWouldHaveBlocked) {
    ASSERT_NO_FATAL_FAILURE(Connect());
    // Writes that succeed owe nothing.
    EXPECT_EQ(socket_->Write("NOOP\r\n", 6), 6);
    PumpFor(kQuietMs);
    EXPECT_EQ(socket_->Calls().size(), 0u);
    qint64 written = 6;

    // Small buffers on both sides, so that a peer that does not read soon stops the writer.
    const int small = 16 * 1024;
    ::setsockopt(socket_->Handle(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    ::setsockopt(peer_.Get(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    const QByteArray chunk(64 * 1024, 'x');
    for (int attempts = 0;; ++attempts) {
        ASSERT_LT(attempts, 100000) << "the socket never stopped taking data";
        const qint64 sent = socket_->Write(chunk.constData(), chunk.size());
        if (sent < 0) {
            break;
        }
        written += sent;
    }
    EXPECT_EQ(socket_->LastError(), EWOULDBLOCK);
    PumpFor(kQuietMs);
    EXPECT_EQ(socket_->Calls().size(), 0u) << "writable although the peer read nothing";

    // The peer reads everything: room comes, and with it exactly one OnWritable.
    qint64 drained = 0;
    EXPECT_TRUE(PumpUntil([&] {
        drained += Drain(peer_.Get());
        return socket_->Count(Hook::Writable) > 0;
    }));
    EXPECT_TRUE(PumpUntil([&] {
        drained += Drain(peer_.Get());
        return drained == written;
    }));
    PumpFor(kQuietMs);
    EXPECT_EQ(drained, written);
    EXPECT_EQ(socket_->Sequence(), std::vector<Hook>{Hook::Writable});
    EXPECT_EQ(socket_->FirstError(Hook::Writable), 0);
}

TEST_F(AsyncSocketTest, ReadableComesWhileBytesArePendingAndAgainOnlyAfterARead) {
    ASSERT_NO_FATAL_FAILURE(Connect());
    PumpFor(kQuietMs);
    EXPECT_EQ(socket_->Calls().size(), 0u) << "events on an idle connection";

    ASSERT_TRUE(SendAll(peer_.Get(), "0123456789"_ba));
    ASSERT_TRUE(PumpUntil([&] { return socket_->Count(Hook::Readable) == 1; }));
    PumpFor(kQuietMs); // the owner has not read: nothing more
    EXPECT_EQ(socket_->Sequence(), std::vector<Hook>{Hook::Readable});

    // A partial read leaves bytes pending, so the next event comes.
    char buffer[16];
    ASSERT_EQ(socket_->Read(buffer, 4), 4);
    EXPECT_EQ(QByteArray(buffer, 4), "0123");
    ASSERT_TRUE(PumpUntil([&] { return socket_->Count(Hook::Readable) == 2; }));
    EXPECT_EQ(ReadAvailable(*socket_), "456789");
    EXPECT_EQ(socket_->Read(buffer, sizeof buffer), -1);
    EXPECT_EQ(socket_->LastError(), EWOULDBLOCK);
    PumpFor(kQuietMs); // armed again, but nothing is pending
    EXPECT_EQ(socket_->Count(Hook::Readable), 2);

    ASSERT_TRUE(SendAll(peer_.Get(), "more"_ba));
    ASSERT_TRUE(PumpUntil([&] { return socket_->Count(Hook::Readable) == 3; }));
    EXPECT_EQ(ReadAvailable(*socket_), "more");
    PumpFor(kQuietMs);

    EXPECT_EQ(socket_->Sequence(), (std::vector<Hook>{Hook::Readable, Hook::Readable, Hook::Readable}));
    for (const HookCall& call : socket_->Calls()) {
        EXPECT_EQ(call.error, 0);
        EXPECT_GT(call.pendingBytes, 0) << "OnReadable without pending bytes";
    }
}

TEST_F(AsyncSocketTest, OneReadTakesEverythingPendingAndMeetsTheEnd) {
    // More than the socket takes ahead of the owner, then the close: one large read gets it all, in
    // order, and the next meets the end.
    ASSERT_NO_FATAL_FAILURE(Connect());
    QByteArray sent;
    for (int i = 0; sent.size() < 10000; ++i) {
        sent += QByteArray::number(i) + ' ';
    }
    ASSERT_TRUE(SendAll(peer_.Get(), sent));
    peer_.Reset();
    ASSERT_TRUE(PumpUntil([&] { return socket_->Count(Hook::Readable) == 1; }));
    QByteArray buffer(3 * sent.size(), '\0');
    ASSERT_EQ(socket_->Read(buffer.data(), buffer.size()), sent.size());
    EXPECT_EQ(buffer.left(sent.size()), sent);
    EXPECT_EQ(socket_->Read(buffer.data(), buffer.size()), 0);
    EXPECT_TRUE(socket_->ReachedEnd());
    ASSERT_TRUE(PumpUntil([&] { return socket_->Count(Hook::PeerClosed) == 1; }));
    EXPECT_EQ(socket_->Sequence(), (std::vector<Hook>{Hook::Readable, Hook::PeerClosed}));
}

TEST_F(AsyncSocketTest, UrgentDataIsReportedOnceSelected) {
    // A data connection selects no urgent data; selecting it later starts watching for it.
    ASSERT_NO_FATAL_FAILURE(Connect(kAllSocketEvents & ~kEventUrgent));
    ASSERT_EQ(::send(peer_.Get(), "!", 1, MSG_OOB), 1);
    PumpFor(kQuietMs);
    EXPECT_EQ(socket_->Count(Hook::UrgentData), 0);
    ASSERT_TRUE(socket_->SelectEvents(kAllSocketEvents));
    ASSERT_TRUE(PumpUntil([&] { return socket_->Count(Hook::UrgentData) == 1; }));
    PumpFor(kQuietMs); // once, until the events are selected again
    EXPECT_EQ(socket_->Count(Hook::UrgentData), 1);
}

TEST(AsyncSocketPeerClose, IsReportedOnceAfterThePendingDataWasRead) {
    ScriptedPeer peer;
    ASSERT_NE(peer.port(), 0);
    peer.accept().send("220-Welcome\r\n220 ready\r\n"_ba).pause(50).send("421 Timeout.\r\n"_ba).close();

    RecordingSocket socket;
    QByteArray received;
    socket.onHook = [&](Hook hook, int) {
        if (hook == Hook::Readable) {
            received += ReadAvailable(socket);
        }
    };
    ASSERT_TRUE(socket.Open());
    socket.ConnectToAddress(Loopback(peer.port()));
    ASSERT_TRUE(PumpUntil([&] { return socket.Count(Hook::PeerClosed) > 0; }));
    EXPECT_TRUE(peer.runEventLoopUntilFinished(kWaitMs));
    EXPECT_EQ(peer.failureText(), "");
    PumpFor(kQuietMs);

    EXPECT_EQ(received, "220-Welcome\r\n220 ready\r\n421 Timeout.\r\n");
    EXPECT_EQ(socket.Count(Hook::PeerClosed), 1);
    ASSERT_EQ(socket.Calls().back().hook, Hook::PeerClosed);
    EXPECT_EQ(socket.Calls().back().error, 0);
    EXPECT_EQ(socket.Calls().back().pendingBytes, 0);

    // The notifiers are gone with the close event; the handle stays until CloseSocket.
    EXPECT_TRUE(socket.IsOpen());
    EXPECT_FALSE(socket.SelectEvents(kAllSocketEvents));
    socket.CloseSocket();
    EXPECT_FALSE(socket.IsOpen());
    EXPECT_EQ(socket.Handle(), -1);
}

TEST_F(AsyncSocketTest, PeerCloseWaitsUntilTheOwnerHasReadEverything) {
    ASSERT_NO_FATAL_FAILURE(Connect());
    ASSERT_TRUE(SendAll(peer_.Get(), "221 Goodbye.\r\n"_ba));
    peer_.Reset();
    ASSERT_TRUE(PumpUntil([&] { return socket_->Count(Hook::Readable) == 1; }));
    PumpFor(kQuietMs);
    EXPECT_EQ(socket_->Sequence(), std::vector<Hook>{Hook::Readable}) << "close reported before the read";

    char buffer[64];
    EXPECT_EQ(socket_->Read(buffer, sizeof buffer), 14);
    EXPECT_FALSE(socket_->ReachedEnd());
    ASSERT_TRUE(PumpUntil([&] { return socket_->Count(Hook::PeerClosed) == 1; }));
    PumpFor(kQuietMs);
    EXPECT_EQ(socket_->Sequence(), (std::vector<Hook>{Hook::Readable, Hook::PeerClosed}));
    EXPECT_EQ(socket_->FirstError(Hook::PeerClosed), 0);
    EXPECT_EQ(socket_->Read(buffer, sizeof buffer), 0); // the end of the stream
    EXPECT_TRUE(socket_->ReachedEnd());
}

TEST_F(AsyncSocketTest, ResetByThePeerIsReportedAsPeerClosedWithItsError) {
    ASSERT_NO_FATAL_FAILURE(Connect());
    const linger abort{1, 0};
    ASSERT_EQ(::setsockopt(peer_.Get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort), 0);
    peer_.Reset();
    ASSERT_TRUE(PumpUntil([&] { return socket_->Count(Hook::PeerClosed) == 1; }));
    PumpFor(kQuietMs);
    EXPECT_EQ(socket_->Sequence(), std::vector<Hook>{Hook::PeerClosed});
    EXPECT_EQ(socket_->FirstError(Hook::PeerClosed), ECONNRESET);
}

TEST_F(AsyncSocketTest, LookupOfANameReportsTheAddressForTheOwnersConnect) {
    ASSERT_TRUE(socket_->Open());
    int connectResult = 1;
    socket_->onHook = [&](Hook hook, int error) {
        if (hook == Hook::HostResolved && error == 0) {
            connectResult = socket_->ConnectToAddress(socket_->RemoteAddress());
        }
    };
    EXPECT_EQ(socket_->ConnectToHost("localhost"_ba, listener_.Port()), 1);
    EXPECT_EQ(socket_->Calls().size(), 0u);
    ASSERT_TRUE(PumpUntil([&] { return socket_->Count(Hook::Writable) > 0; }));
    peer_ = listener_.Accept();
    EXPECT_TRUE(peer_.IsValid());
    PumpFor(kQuietMs);

    EXPECT_EQ(socket_->Sequence(), (std::vector<Hook>{Hook::HostResolved, Hook::Connected, Hook::Writable}));
    EXPECT_EQ(socket_->FirstError(Hook::HostResolved), 0);
    EXPECT_EQ(socket_->FirstError(Hook::Connected), 0);
    EXPECT_TRUE(connectResult == 0 || connectResult == -1);
    EXPECT_EQ(socket_->RemoteAddress().sin_addr.s_addr, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(socket_->RemoteAddress().sin_port, htons(listener_.Port()));
}

TEST_F(AsyncSocketTest, LookupOfAnUnknownNameFailsWithEinval) {
    ASSERT_TRUE(socket_->Open());
    EXPECT_EQ(socket_->ConnectToHost("no-such-host.invalid"_ba, 21), 1);
    ASSERT_TRUE(PumpUntil([&] { return socket_->Count(Hook::HostResolved) > 0; }));
    PumpFor(kQuietMs);
    EXPECT_EQ(socket_->Sequence(), std::vector<Hook>{Hook::HostResolved});
    EXPECT_NE(socket_->FirstError(Hook::HostResolved), 0);
    EXPECT_EQ(socket_->LastError(), EINVAL);
}

TEST_F(AsyncSocketTest, ANewConnectToHostCancelsThePendingLookup) {
    struct Case {
        const char* first;
        const char* second;
        std::vector<Hook> expected;
        int error; // of the one OnHostResolved (or OnConnected after a dotted address)
    };
    const Case cases[] = {
        {"no-such-host.invalid", "localhost", {Hook::HostResolved}, 0},
        {"localhost", "no-such-host.invalid", {Hook::HostResolved}, -2},
        {"localhost", "127.0.0.1", {Hook::Connected, Hook::Writable}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.first) + " then " + c.second);
        RecordingSocket socket;
        ASSERT_TRUE(socket.Open());
        EXPECT_EQ(socket.ConnectToHost(QByteArray(c.first), listener_.Port()), 1);
        socket.ConnectToHost(QByteArray(c.second), listener_.Port());
        ASSERT_TRUE(PumpUntil([&] { return !socket.Calls().empty(); }));
        PumpFor(300); // time for the first lookup to come back, had it not been cancelled
        EXPECT_EQ(socket.Sequence(), c.expected);
        if (c.error == -2) {
            EXPECT_NE(socket.Calls().front().error, 0);
        } else {
            EXPECT_EQ(socket.Calls().front().error, c.error);
        }
        if (c.expected.front() == Hook::Connected) {
            EXPECT_TRUE(listener_.Accept().IsValid());
        }
    }
}

TEST_F(AsyncSocketTest, NoLookupResultArrivesAfterCloseOrDestruction) {
    ASSERT_TRUE(socket_->Open());
    EXPECT_EQ(socket_->ConnectToHost("localhost"_ba, listener_.Port()), 1);
    socket_->CloseSocket();
    EXPECT_FALSE(socket_->IsOpen());

    auto destroyed = std::make_unique<RecordingSocket>();
    ASSERT_TRUE(destroyed->Open());
    EXPECT_EQ(destroyed->ConnectToHost("localhost"_ba, listener_.Port()), 1);
    destroyed.reset();

    PumpFor(300);
    EXPECT_EQ(socket_->Calls().size(), 0u);
}

TEST(AsyncSocketOpen, RejectsALocalAddressThatIsNotDottedDecimal) {
    for (const char* text : {"localhost", "127.1", "1.2.3.4.5", "256.0.0.1", "::1", "", " 127.0.0.1"}) {
        SCOPED_TRACE(text);
        RecordingSocket socket;
        EXPECT_FALSE(socket.Open(0, kAllSocketEvents, text));
        EXPECT_EQ(socket.LastError(), EINVAL);
        EXPECT_FALSE(socket.IsOpen());
        EXPECT_EQ(socket.Handle(), -1);
    }
    RecordingSocket socket;
    ASSERT_TRUE(socket.Open(0, kAllSocketEvents, "127.0.0.1"));
    sockaddr_in local{};
    ASSERT_TRUE(socket.LocalAddress(local));
    EXPECT_EQ(local.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
}

TEST_F(AsyncSocketTest, AttachedHandleGetsNoConnectEventAndReportsData) {
    // An accepted connection, and one end of a socket pair.
    Fd client(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_in target = Loopback(listener_.Port());
    ASSERT_EQ(::connect(client.Get(), reinterpret_cast<const sockaddr*>(&target), sizeof target), 0);
    Fd accepted = listener_.Accept();
    ASSERT_TRUE(accepted.IsValid());
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    Fd pairOther(pair[1]);

    const std::pair<Fd*, Fd*> handles[] = {{&accepted, &client}, {nullptr, &pairOther}};
    for (const auto& [adopted, other] : handles) {
        SCOPED_TRACE(adopted != nullptr ? "accepted connection" : "socket pair");
        RecordingSocket socket;
        ASSERT_TRUE(socket.AttachHandle(adopted != nullptr ? adopted->Release() : pair[0], kAllSocketEvents));
        EXPECT_EQ(socket.Calls().size(), 0u);
        PumpFor(kQuietMs);
        EXPECT_EQ(socket.Count(Hook::Connected), 0);
        EXPECT_EQ(socket.Count(Hook::Readable), 0);

        ASSERT_TRUE(SendAll(other->Get(), "150 Here it comes.\r\n"_ba));
        ASSERT_TRUE(PumpUntil([&] { return socket.Count(Hook::Readable) == 1; }));
        EXPECT_EQ(ReadAvailable(socket), "150 Here it comes.\r\n");
        other->Reset();
        ASSERT_TRUE(PumpUntil([&] { return socket.Count(Hook::PeerClosed) == 1; }));
        EXPECT_EQ(socket.Count(Hook::Connected), 0);
    }
}

TEST(AsyncSocketHooks, MayDestroyTheSocket) {
    const Fd notListening = BoundLoopbackSocket();
    ASSERT_TRUE(notListening.IsValid());
    struct Case {
        const char* name;
        Hook destroyingHook;
        bool refused = false;
    };
    const Case cases[] = {
        {"OnConnected", Hook::Connected},   {"OnConnected, refused", Hook::Connected, true},
        {"OnWritable", Hook::Writable},     {"OnReadable", Hook::Readable},
        {"OnPeerClosed", Hook::PeerClosed}, {"OnHostResolved", Hook::HostResolved},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Listener listener; // a fresh one, so that no connection of an earlier case is accepted
        auto owner = std::make_unique<RecordingSocket>();
        RecordingSocket* socket = owner.get();
        socket->onHook = [&owner, socket, &c](Hook hook, int) {
            if (hook == c.destroyingHook) {
                owner.reset();
            } else if (hook == Hook::Readable) {
                ReadAvailable(*socket);
            }
        };
        ASSERT_TRUE(socket->Open());
        if (c.destroyingHook == Hook::HostResolved) {
            socket->ConnectToHost("localhost"_ba, listener.Port());
        } else {
            socket->ConnectToAddress(Loopback(c.refused ? PortOf(notListening.Get()) : listener.Port()));
        }
        if (c.destroyingHook == Hook::Readable || c.destroyingHook == Hook::PeerClosed) {
            const Fd peer = listener.Accept();
            ASSERT_TRUE(peer.IsValid());
            ASSERT_TRUE(SendAll(peer.Get(), "226 Done.\r\n"_ba)); // the peer closes at the end of scope
        }
        EXPECT_TRUE(PumpUntil([&] { return owner == nullptr; }));
        PumpFor(50); // whatever was still queued for the socket must find it gone
    }
}

TEST_F(AsyncSocketTest, IdleOrUnreadConnectionCostsNoCpu) {
    ASSERT_NO_FATAL_FAILURE(Connect());
    EXPECT_LT(CpuSpentPumping(500), kNoSpinCpuMs) << "idle connection";
    EXPECT_EQ(socket_->Calls().size(), 0u);

    // The owner stops reading while data is pending; then the peer closes as well.
    ASSERT_TRUE(SendAll(peer_.Get(), "213 12345\r\n"_ba));
    ASSERT_TRUE(PumpUntil([&] { return socket_->Count(Hook::Readable) == 1; }));
    socket_->Clear();
    EXPECT_LT(CpuSpentPumping(500), kNoSpinCpuMs) << "unread data";
    peer_.Reset();
    EXPECT_LT(CpuSpentPumping(500), kNoSpinCpuMs) << "unread data, peer closed";
    // The owner has shut down its own side too: the connection is closed in both directions.
    EXPECT_TRUE(socket_->Shutdown(SHUT_WR));
    EXPECT_LT(CpuSpentPumping(500), kNoSpinCpuMs) << "unread data, closed both ways";
    EXPECT_EQ(socket_->Calls().size(), 0u);
}

TEST(AsyncSocketTunnel, WithoutProxyPassesEverythingThrough) {
    Listener listener;
    RecordingTunnel tunnel;
    EXPECT_EQ(tunnel.ProxyType(), ProxyKind::None);
    ASSERT_TRUE(tunnel.Open());

    // A failed lookup leaves a tunnel error; the next Read or Write clears it.
    char buffer[64];
    for (bool viaRead : {false, true}) {
        tunnel.Clear();
        EXPECT_EQ(tunnel.ConnectToHost("no-such-host.invalid"_ba, listener.Port()), 1);
        ASSERT_TRUE(PumpUntil([&] { return tunnel.Count(Hook::HostResolved) == 1; }));
        EXPECT_NE(tunnel.LastProxyError(), 0);
        EXPECT_EQ(viaRead ? tunnel.Read(buffer, sizeof buffer) : tunnel.Write("x", 1), -1);
        EXPECT_EQ(tunnel.LastProxyError(), 0);
    }

    tunnel.Clear();
    QByteArray received;
    tunnel.onHook = [&](Hook hook, int) {
        if (hook == Hook::Readable) {
            received += ReadAvailable(tunnel);
        }
    };
    tunnel.ConnectToHost("127.0.0.1"_ba, listener.Port());
    ASSERT_TRUE(PumpUntil([&] { return tunnel.Count(Hook::Writable) == 1; }));
    EXPECT_EQ(tunnel.Sequence(), (std::vector<Hook>{Hook::Connected, Hook::Writable}));
    EXPECT_FALSE(tunnel.viaProxy);
    Fd peer = listener.Accept();
    ASSERT_TRUE(peer.IsValid());

    EXPECT_EQ(tunnel.Write("USER alice\r\n", 12), 12);
    EXPECT_EQ(tunnel.LastProxyError(), 0);
    QByteArray atPeer;
    EXPECT_TRUE(PumpUntil([&] {
        const ssize_t got = ::recv(peer.Get(), buffer, sizeof buffer, MSG_DONTWAIT);
        atPeer.append(buffer, qMax<ssize_t>(got, 0));
        return atPeer.size() >= 12;
    }));
    EXPECT_EQ(atPeer, "USER alice\r\n");

    ASSERT_TRUE(SendAll(peer.Get(), "331 Password required for alice.\r\n"_ba));
    EXPECT_TRUE(PumpUntil([&] { return received.endsWith("\r\n"); }));
    EXPECT_EQ(received, "331 Password required for alice.\r\n");
    EXPECT_EQ(tunnel.LastProxyError(), 0);
    peer.Reset();
    EXPECT_TRUE(PumpUntil([&] { return tunnel.Count(Hook::PeerClosed) == 1; }));
}

} // namespace
