#pragma once

#include "net/AsyncSocket.h"

#include <memory>

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

// The failures a negotiation leaves in LastProxyError().
enum ProxyError : int {
    kProxyOk = 0,
    kProxyConnectFailed = 1,
    kProxyRequestFailed = 2, // a request not sent whole, a malformed or refused reply, a read error
    kProxyNoMethod = 3,      // SOCKS5: wrong version, or no acceptable method
    kProxyUnsupportedMethod = 4,
    kProxyAuthFailed = 5,    // SOCKS5: user name and password refused
    kProxyAuthRequired = 6,  // SOCKS5: the proxy wants credentials and none are configured
    kProxyCannotResolve = 7, // a name the proxy cannot be handed
};

class ProxyNegotiation;

// Where a tunnel should lead: an address, or a name the proxy resolves.
struct ProxyTarget {
    QByteArray host;     // handed to the proxy when no address is held
    quint32 address = 0; // network order; 0: unknown
    quint16 port = 0;    // host order
};

// The socket of both FTP connections. With a proxy configured, connecting to a target connects to
// the proxy and negotiates a tunnel to the target inside the hooks: SOCKS4, SOCKS4A (the proxy
// resolves the name), SOCKS5 with or without user name and password, or HTTP CONNECT with or without
// Basic credentials. While that runs, Read and Write report would-block; afterwards the socket
// carries the target's byte stream like a direct connection, and OnWritable tells an owner waiting
// to send that it may. Without a proxy every operation passes straight through.
//
// A failed negotiation leaves its code in LastProxyError() and raises OnProxyFailed; the socket then
// keeps reporting would-block until the owner closes it. A tunnel is never renegotiated.
class ProxyTunnel : public AsyncSocket {
public:
    ProxyTunnel();
    ~ProxyTunnel() override;

    void SetProxy(ProxyKind kind, const QByteArray& host, quint16 port, const QByteArray& user,
                  const QByteArray& password);
    int LastProxyError() const { return lastProxyError_; }
    ProxyKind ProxyType() const { return proxyKind_; }
    const QByteArray& ProxyHost() const { return proxyHost_; }
    quint16 ProxyPort() const { return proxyPort_; }
    const QByteArray& ProxyUser() const { return proxyUser_; }
    const QByteArray& ProxyPassword() const { return proxyPassword_; }
    // True from the start of a tunnel's negotiation until it stands; also after it failed.
    bool IsNegotiating() const { return negotiating_; }
    // Where the tunnel leads (handed to the proxy); meaningful once a tunnel was negotiated.
    const ProxyTarget& Target() const { return target_; }

    int ConnectToAddress(const sockaddr_in& address) override;
    int ConnectToHost(const QByteArray& hostName, quint16 port) override;
    void CloseSocket() override;
    qint64 Read(char* buffer, qint64 length) override;
    qint64 Write(const char* data, qint64 length) override;

    // Set when the tunnel started connecting to the proxy server rather than to the target. The
    // owner clears it before each connection attempt and reads it after a lookup: a failed lookup
    // with this flag set and no proxy error means the proxy resolves the name, and the tunnel goes on.
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
    void Send(const QByteArray& request);
    void Fail();

    int lastProxyError_ = kProxyOk;
    ProxyKind proxyKind_ = ProxyKind::None;
    QByteArray proxyHost_;
    quint16 proxyPort_ = 0;
    QByteArray proxyUser_;
    QByteArray proxyPassword_;

    bool negotiating_ = false; // Read and Write report would-block
    bool failed_ = false;      // the negotiation failed; nothing more is read
    ProxyTarget target_;
    std::unique_ptr<ProxyNegotiation> negotiation_; // exists from the proxy's accept to the end
    QByteArray requestedHost_;
    quint16 requestedPort_ = 0;
};

} // namespace tessaly
