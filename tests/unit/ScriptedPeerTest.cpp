#include "support/ScriptedPeer.h"

#include "support/EventPump.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;
using tessaly::test::pumpEventsUntil;
using tessaly::test::ScriptedPeer;

namespace {

// A plain blocking client, so that the peer is checked without the engine. Every read gives up
// after five seconds.
class BlockingClient {
public:
    explicit BlockingClient(quint16 port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        const timeval fiveSeconds{5, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &fiveSeconds, sizeof(fiveSeconds));
        ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &fiveSeconds, sizeof(fiveSeconds));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        connected_ = ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    }
    ~BlockingClient() { close(); }
    BlockingClient(const BlockingClient&) = delete;
    BlockingClient& operator=(const BlockingClient&) = delete;

    bool connected() const { return connected_; }

    void write(const QByteArray& bytes) {
        for (qsizetype offset = 0; offset < bytes.size();) {
            const ssize_t sent = ::send(fd_, bytes.constData() + offset,
                                        static_cast<size_t>(bytes.size() - offset), MSG_NOSIGNAL);
            if (sent <= 0) {
                return;
            }
            offset += sent;
        }
    }

    // One recv(): what one TCP read gives, empty at the end of the stream or on an error.
    QByteArray readSome() {
        char buffer[65536];
        const ssize_t received = ::recv(fd_, buffer, sizeof(buffer), 0);
        if (received > 0) {
            return QByteArray(buffer, received);
        }
        endError_ = received == 0 ? 0 : errno;
        return {};
    }

    QByteArray readUntil(const QByteArray& end) {
        QByteArray got;
        while (!got.endsWith(end)) {
            const QByteArray more = readSome();
            if (more.isEmpty()) {
                break;
            }
            got += more;
        }
        return got;
    }

    QByteArray readToEnd() {
        QByteArray got;
        for (QByteArray more = readSome(); !more.isEmpty(); more = readSome()) {
            got += more;
        }
        return got;
    }

    // 0 after an orderly end of stream, else the errno of the failed read (-1: still open).
    int endError() const { return endError_; }

    void close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_ = -1;
    bool connected_ = false;
    int endError_ = -1;
};

TEST(ScriptedPeer, DeliversASplitMultiLineReplyByteExact) {
    ScriptedPeer peer;
    ASSERT_NE(peer.port(), 0);
    const QByteArray welcome = "220-Welcome\r\n220-to the\r\n220 test server\r\n"_ba;
    peer.accept().sendInPieces(welcome, {5, 13}, 200).expectLine("USER alice").send("331 pw\r\n");

    BlockingClient client(peer.port());
    ASSERT_TRUE(client.connected());
    EXPECT_EQ(client.readSome(), welcome.left(5)); // the pause keeps the first piece in its own read
    EXPECT_EQ(client.readUntil("220 test server\r\n"), welcome.mid(5));
    client.write("USER alice\r\n");
    EXPECT_EQ(client.readUntil("\r\n"), "331 pw\r\n");

    EXPECT_TRUE(peer.runEventLoopUntilFinished(5000));
    EXPECT_EQ(peer.failureText(), "");
    EXPECT_EQ(peer.receivedLines(), QList<QByteArray>{"USER alice"});
}

TEST(ScriptedPeer, ReadsLinesWithEitherEndingAndReportsTheFirstMismatch) {
    ScriptedPeer peer;
    peer.accept()
        .expectLine("USER alice")
        .expectLinePrefix("PASS ")
        .readLine()
        .expectLine("TYPE I")
        .send("200 never sent\r\n");

    BlockingClient client(peer.port());
    client.write("USER al");
    client.write("ice\r\nPASS se");
    client.write("cret\nSYST\r\nTYPE A\r\n");

    EXPECT_TRUE(peer.waitFinished(5000));
    EXPECT_EQ(peer.failureText(), R"(step 5 expectLine("TYPE I"): expected "TYPE I" got "TYPE A")");
    EXPECT_EQ(peer.receivedLines(), (QList<QByteArray>{"USER alice", "PASS secret", "SYST", "TYPE A"}));
    // The failure ended the script and shut the connection: no later step ran.
    EXPECT_EQ(client.readToEnd(), "");
    EXPECT_EQ(client.endError(), 0);
}

TEST(ScriptedPeer, ExchangesBinaryBytesExactly) {
    ScriptedPeer peer;
    peer.accept()
        .expectBytes("\x05\x01\x00"_ba)
        .sendInPieces("\x05\x00"_ba, {1}, 50)
        .expectBytes("\x05\x01\x00\x01\x7f\x00\x00\x01\x00\x15"_ba);

    BlockingClient client(peer.port());
    client.write("\x05\x01"_ba);
    client.write("\x00"_ba);
    EXPECT_EQ(client.readUntil("\x00"_ba), "\x05\x00"_ba);
    client.write("\x05\x01\x00\x03\x7f\x00\x00\x01\x00\x15"_ba);

    EXPECT_TRUE(peer.waitFinished(5000));
    EXPECT_EQ(peer.failureText(), R"(step 6 expectBytes("\x05\x01\x00\x01\x7f\x00\x00\x01\x00\x15"): )"
                                  R"(expected "\x05\x01\x00\x01\x7f\x00\x00\x01\x00\x15" )"
                                  R"(got "\x05\x01\x00\x03\x7f\x00\x00\x01\x00\x15")");
    EXPECT_EQ(peer.receivedBytes(0).size(), 13);
}

TEST(ScriptedPeer, ClosesWithEndOfStreamOrResetAndSeesTheClientClose) {
    ScriptedPeer peer;
    peer.accept().send("421 bye\r\n").close().accept().reset().accept().expectClosedByClient();

    BlockingClient first(peer.port());
    first.write("NOOP\r\n"); // unread by the script: the close must still be orderly
    EXPECT_EQ(first.readToEnd(), "421 bye\r\n");
    EXPECT_EQ(first.endError(), 0);

    BlockingClient second(peer.port());
    EXPECT_EQ(second.readToEnd(), "");
    EXPECT_EQ(second.endError(), ECONNRESET);

    BlockingClient third(peer.port());
    third.write("QUIT\r\n");
    third.close();

    EXPECT_TRUE(peer.waitFinished(5000));
    EXPECT_EQ(peer.failureText(), "");
    EXPECT_EQ(peer.receivedBytes(0), "NOOP\r\n");
    EXPECT_EQ(peer.receivedBytes(2), "QUIT\r\n");
    EXPECT_EQ(peer.receivedBytes(), "NOOP\r\nQUIT\r\n");
}

// A step waiting on its connection still sees it end while other connections arrive, as the old
// control connection of a reconnect does.
TEST(ScriptedPeer, AStepWaitingOnItsConnectionSeesItsEndWhileOthersArrive) {
    ScriptedPeer peer;
    peer.accept().expectClosedByClient();
    BlockingClient first(peer.port());
    std::vector<std::unique_ptr<BlockingClient>> later;
    for (int i = 0; i < 8; ++i) {
        later.push_back(std::make_unique<BlockingClient>(peer.port()));
    }
    ASSERT_TRUE(pumpEventsUntil([&peer] { return peer.connectionCount() == 9; }, 5000));
    first.close();
    EXPECT_TRUE(peer.waitFinished(5000));
    EXPECT_EQ(peer.failureText(), "");
}

TEST(ScriptedPeer, CountsConnectionsBeforeAcceptAndRunsStepsAppendedLater) {
    ScriptedPeer peer;
    BlockingClient first(peer.port());
    BlockingClient second(peer.port());
    EXPECT_TRUE(pumpEventsUntil([&peer] { return peer.connectionCount() == 2; }, 5000));
    EXPECT_TRUE(peer.finished()); // an empty script has nothing left to do

    peer.accept().send("one\r\n").accept().send("two\r\n").useConnection(0).send("one again\r\n");
    EXPECT_EQ(first.readUntil("again\r\n"), "one\r\none again\r\n");
    EXPECT_EQ(second.readUntil("\r\n"), "two\r\n");
    EXPECT_TRUE(peer.waitFinished(5000));
    EXPECT_EQ(peer.failureText(), "");

    peer.closeListener();
    EXPECT_TRUE(peer.waitFinished(5000));
    EXPECT_FALSE(BlockingClient(peer.port()).connected());
    EXPECT_EQ(peer.connectionCount(), 2);
}

TEST(ScriptedPeer, FloodEndsQuietlyWhenTheClientHangsUp) {
    ScriptedPeer peer;
    const QByteArray line = "220-" + QByteArray(60, 'x') + "\r\n";
    peer.accept().repeatSend(line, 100000).expectClosedByClient(); // about 6.4 MB, never a final line

    BlockingClient client(peer.port());
    QByteArray got;
    while (got.size() < 256 * 1024) {
        const QByteArray more = client.readSome();
        ASSERT_FALSE(more.isEmpty());
        got += more;
    }
    EXPECT_TRUE(got.startsWith(line + line));
    client.close(); // unread data makes this a reset

    EXPECT_TRUE(peer.waitFinished(5000));
    EXPECT_EQ(peer.failureText(), "");
}

TEST(ScriptedPeer, TimesOutAndStopsPromptlyWhileWaiting) {
    {
        ScriptedPeer peer(200);
        peer.accept().send("never sent\r\n");
        EXPECT_TRUE(peer.waitFinished(5000));
        EXPECT_EQ(peer.failureText(), "step 1 accept(): timed out after 200 ms waiting for a connection");
    }

    const auto start = std::chrono::steady_clock::now();
    {
        ScriptedPeer peer; // waits up to 10 s per step
        peer.accept().expectLine("USER alice");
        BlockingClient client(peer.port());
        client.write("USER al");
        EXPECT_TRUE(pumpEventsUntil([&peer] { return peer.receivedBytes() == "USER al"; }, 5000));
        EXPECT_FALSE(peer.finished());
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST(EventPump, RunsTimersAndDeferredDeletesUntilDone) {
    bool fired = false;
    QTimer::singleShot(10, [&fired] { fired = true; });
    EXPECT_TRUE(pumpEventsUntil([&fired] { return fired; }, 5000));

    auto owned = std::make_unique<QObject>();
    const QPointer<QObject> watch = owned.get();
    owned.release()->deleteLater();
    EXPECT_TRUE(pumpEventsUntil([&watch] { return watch.isNull(); }, 5000));

    EXPECT_FALSE(pumpEventsUntil([] { return false; }, 20));
}

} // namespace
