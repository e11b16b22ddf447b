#include "net/ProxyTunnel.h"

#include <cerrno>

namespace tessaly {

void ProxyTunnel::SetProxy(ProxyKind kind, const QByteArray& host, quint16 port, const QByteArray& user,
                           const QByteArray& password) {
    proxyKind_ = kind;
    proxyHost_ = host;
    proxyPort_ = port;
    proxyUser_ = user;
    proxyPassword_ = password;
    useCredentials_ = !(user.isEmpty() && password.isEmpty());
}

int ProxyTunnel::ConnectToHost(const QByteArray& hostName, quint16 port) {
    requestedHost_ = hostName;
    requestedPort_ = port;
    return AsyncSocket::ConnectToHost(hostName, port);
}

int ProxyTunnel::ConnectToAddress(const sockaddr_in& address) {
    lastProxyError_ = 0;
    // Negotiation through SOCKS and HTTP proxies is added on top of this pass-through.
    return AsyncSocket::ConnectToAddress(address);
}

void ProxyTunnel::OnHostResolved(int error) {
    if (error == 0) {
        return; // the owner now connects to the resolved address
    }
    // A name the proxy cannot be handed (SOCKS4, no proxy, or the proxy server's own name).
    // Handing a target name to a SOCKS4A, SOCKS5 or HTTP proxy comes with the negotiation.
    lastProxyError_ = 7;
    SetLastError(EINVAL);
}

void ProxyTunnel::OnConnected(int error) {
    lastProxyError_ = 0;
    if (error != 0) {
        mode_ = Mode::PassThrough;
        step_ = 0;
        OnProxyConnected(error);
    }
}

void ProxyTunnel::OnReadable(int /*error*/) {}

qint64 ProxyTunnel::Read(char* buffer, qint64 length) {
    lastProxyError_ = 0;
    if (mode_ != Mode::PassThrough) {
        SetLastError(EWOULDBLOCK);
        return -1;
    }
    return AsyncSocket::Read(buffer, length);
}

qint64 ProxyTunnel::Write(const char* data, qint64 length) {
    lastProxyError_ = 0;
    if (mode_ != Mode::PassThrough) {
        SetLastError(EWOULDBLOCK);
        return -1;
    }
    return AsyncSocket::Write(data, length);
}

void ProxyTunnel::CloseSocket() {
    mode_ = Mode::PassThrough;
    step_ = 0;
    AsyncSocket::CloseSocket();
}

} // namespace tessaly
