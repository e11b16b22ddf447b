#pragma once

#include "net/AsyncSocket.h"

namespace tessaly {

// The kinds of tunnel a connection can go through; the numbers are the tunnel kinds of the settings
// ("SocksType" + 1 when "UseSocks" is on).
enum class ProxyKind : int {
    None = 0,
    Socks4 = 1,
    Socks4a = 2,
    Socks5 = 3,
    Http = 4,
};

// The socket of both FTP connections. With a proxy configured it connects to the proxy and
// negotiates a tunnel to the target inside the hooks; while that runs, Read and Write report
// would-block, and afterwards the socket carries the target's byte stream like a direct connection.
// Without a proxy every operation passes straight through.
class ProxyTunnel : public AsyncSocket {
public:
    void SetProxy(ProxyKind kind, const QByteArray& host, quint16 port, const QByteArray& user,
                  const QByteArray& password);
    // 0 while nothing failed; 1 to 7: the failure of the last negotiation.
    int LastProxyError() const { return lastProxyError_; }
    ProxyKind ProxyType() const { return proxyKind_; }
    const QByteArray& ProxyHost() const { return proxyHost_; }
    quint16 ProxyPort() const { return proxyPort_; }
    const QByteArray& ProxyUser() const { return proxyUser_; }
    const QByteArray& ProxyPassword() const { return proxyPassword_; }

    int ConnectToAddress(const sockaddr_in& address) override;
    int ConnectToHost(const QByteArray& hostName, quint16 port) override;
    void CloseSocket() override;
    qint64 Read(char* buffer, qint64 length) override;
    qint64 Write(const char* data, qint64 length) override;

    // Set when the tunnel started connecting to the proxy server rather than to the target. The
    // owner clears it before each connection attempt and reads it after a lookup.
    bool viaProxy = false;

protected:
    void OnHostResolved(int error) override;
    void OnConnected(int error) override;
    void OnReadable(int error) override;

    // A negotiation failed; LastProxyError() holds the code.
    virtual void OnProxyFailed(int /*mode*/) {}
    // A connect failed (error non-zero), or the proxy server accepted the connection and the first
    // request is about to go out (error 0).
    virtual void OnProxyConnected(int /*error*/) {}

private:
    enum class Mode { PassThrough = 0, Connecting = 1 };

    int lastProxyError_ = 0;
    ProxyKind proxyKind_ = ProxyKind::None;
    QByteArray proxyHost_;
    quint16 proxyPort_ = 0;
    QByteArray proxyUser_;
    QByteArray proxyPassword_;
    bool useCredentials_ = false;
    Mode mode_ = Mode::PassThrough;
    int step_ = 0;
    QByteArray requestedHost_;
    quint16 requestedPort_ = 0;
};

} // namespace tessaly
