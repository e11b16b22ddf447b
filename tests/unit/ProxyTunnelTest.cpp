// The tunnel as its owner sees it: hooks during and after a negotiation.
#include "net/ProxyTunnel.h"

#include "support/EventPump.h"
#include "support/ScriptedPeer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <gtest/gtest.h>

namespace tessaly::test {
namespace {

class OwnerTunnel : public ProxyTunnel {
public:
    int connected = 0;
    int writable = 0;
    int readable = 0;
    int failed = 0;
    int proxyConnected = 0;
    QByteArray received;
    // What Read returned while the negotiation ran, and the proxy error after it; the error the
    // owner found before reading (as the session engine looks at it).
    qint64 readDuringNegotiation = 0;
    int errorAfterRead = -1;
    int errorSeen = 0;

protected:
    void OnConnected(int error) override {
        ProxyTunnel::OnConnected(error);
        ++connected;
    }
    void OnWritable(int error) override {
        ProxyTunnel::OnWritable(error);
        ++writable;
    }
    void OnReadable(int error) override {
        ProxyTunnel::OnReadable(error);
        ++readable;
        errorSeen = qMax(errorSeen, LastProxyError());
        char buffer[256];
        if (IsNegotiating()) {
            readDuringNegotiation = Read(buffer, sizeof buffer);
            errorAfterRead = LastProxyError();
            return;
        }
        for (qint64 got; (got = Read(buffer, sizeof buffer)) > 0;) {
            received.append(buffer, got);
        }
    }
    void OnProxyFailed(int) override { ++failed; }
    void OnProxyConnected(int) override { ++proxyConnected; }
};

sockaddr_in Target(quint16 port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

TEST(ProxyTunnel, Socks5TunnelRaisesWritableOnceEstablished) {
    ScriptedPeer proxy;
    proxy.accept().expectBytes(QByteArray("\x05\x01\x00", 3)).pause(100).send(QByteArray("\x05\x00", 2));
    proxy.expectBytes(QByteArray("\x05\x01\x00\x01\x7f\x00\x00\x01\x00\x15", 10));
    proxy.pause(100).send(QByteArray("\x05\x00\x00\x01\x7f\x00\x00\x01\x00\x15", 10)).send("220 hi\r\n");
    OwnerTunnel tunnel;
    ASSERT_TRUE(tunnel.Open());
    tunnel.SetProxy(ProxyKind::Socks5, "127.0.0.1", proxy.port(), {}, {});
    tunnel.ConnectToAddress(Target(21));
    EXPECT_TRUE(tunnel.viaProxy);
    ASSERT_TRUE(pumpEventsUntil([&] { return tunnel.received.contains("220 hi"); }, 5000))
        << proxy.failureText();
    EXPECT_EQ(tunnel.proxyConnected, 1);
    EXPECT_EQ(tunnel.failed, 0);
    // One writable after the connect to the proxy, one when the tunnel stood.
    EXPECT_EQ(tunnel.writable, 2);
    EXPECT_EQ(tunnel.readDuringNegotiation, -1);
    EXPECT_EQ(tunnel.errorAfterRead, 0);
    tunnel.CloseSocket();
}

TEST(ProxyTunnel, HttpTunnelRaisesWritableAndLeavesTheBannerToTheOwner) {
    ScriptedPeer proxy;
    proxy.accept().readLine().readLine().readLine();
    proxy.send("HTTP/1.1 200 OK\r\n\r\n220 behind\r\n");
    OwnerTunnel tunnel;
    ASSERT_TRUE(tunnel.Open());
    tunnel.SetProxy(ProxyKind::Http, "127.0.0.1", proxy.port(), {}, {});
    tunnel.ConnectToAddress(Target(2121));
    ASSERT_TRUE(pumpEventsUntil([&] { return tunnel.received == "220 behind\r\n"; }, 5000))
        << proxy.failureText();
    EXPECT_EQ(tunnel.writable, 2);
    EXPECT_FALSE(tunnel.IsNegotiating());
    tunnel.CloseSocket();
}

TEST(ProxyTunnel, FailedNegotiationKeepsReportingWouldBlock) {
    ScriptedPeer proxy;
    proxy.accept().readLine().readLine().readLine().send("HTTP/1.1 403 Forbidden\r\n\r\n220 leaked\r\n");
    OwnerTunnel tunnel;
    ASSERT_TRUE(tunnel.Open());
    tunnel.SetProxy(ProxyKind::Http, "127.0.0.1", proxy.port(), {}, {});
    tunnel.ConnectToAddress(Target(2121));
    ASSERT_TRUE(pumpEventsUntil([&] { return tunnel.failed == 1; }, 5000)) << proxy.failureText();
    EXPECT_EQ(tunnel.errorSeen, kProxyRequestFailed);
    char buffer[16];
    EXPECT_EQ(tunnel.Read(buffer, sizeof buffer), -1);
    EXPECT_EQ(tunnel.LastError(), EWOULDBLOCK);
    EXPECT_EQ(tunnel.Write("x", 1), -1);
    EXPECT_TRUE(tunnel.received.isEmpty());
    tunnel.CloseSocket();
}

} // namespace
} // namespace tessaly::test
