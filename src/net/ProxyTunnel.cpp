#include "net/ProxyTunnel.h"

#include "net/ProxyNegotiation.h"

#include <arpa/inet.h>
#include <cerrno>

namespace tessaly {

ProxyTunnel::ProxyTunnel() = default;
ProxyTunnel::~ProxyTunnel() = default;

void ProxyTunnel::SetProxy(ProxyKind kind, const QByteArray& host, quint16 port, const QByteArray& user,
                           const QByteArray& password) {
    proxyKind_ = kind;
    proxyHost_ = host;
    proxyPort_ = port;
    proxyUser_ = user;
    proxyPassword_ = password;
}

int ProxyTunnel::ConnectToHost(const QByteArray& hostName, quint16 port) {
    requestedHost_ = hostName;
    requestedPort_ = port;
    return AsyncSocket::ConnectToHost(hostName, port);
}

int ProxyTunnel::ConnectToAddress(const sockaddr_in& address) {
    lastProxyError_ = kProxyOk;
    if (proxyKind_ == ProxyKind::None || viaProxy) {
        return AsyncSocket::ConnectToAddress(address);
    }
    target_ = ProxyTarget{{}, address.sin_addr.s_addr, ntohs(address.sin_port)};
    negotiating_ = true;
    negotiation_.reset();
    viaProxy = true;
    return AsyncSocket::ConnectToHost(proxyHost_, proxyPort_);
}

void ProxyTunnel::OnHostResolved(int error) {
    if (error == 0) {
        return; // the owner now connects to the resolved address
    }
    const bool proxyResolves =
        proxyKind_ == ProxyKind::Socks4a || proxyKind_ == ProxyKind::Socks5 || proxyKind_ == ProxyKind::Http;
    if (viaProxy || !proxyResolves) {
        // The proxy server's own name, or a name the tunnel cannot hand to the proxy.
        lastProxyError_ = kProxyCannotResolve;
        SetLastError(EINVAL);
        return;
    }
    // The proxy resolves the target's name: hand it over and connect to the proxy instead.
    target_ = ProxyTarget{requestedHost_, 0, requestedPort_};
    negotiating_ = true;
    negotiation_.reset();
    requestedHost_.clear();
    requestedPort_ = 0;
    viaProxy = true;
    // The tunnel's own connect: an owner's redirect (to an FTP proxy) has run already.
    ProxyTunnel::ConnectToHost(proxyHost_, proxyPort_);
}

void ProxyTunnel::OnConnected(int error) {
    lastProxyError_ = kProxyOk;
    if (error != 0) {
        negotiating_ = false;
        negotiation_.reset();
        OnProxyConnected(error);
        return;
    }
    if (proxyKind_ == ProxyKind::None || !negotiating_ || negotiation_) {
        return; // a plain connection
    }
    negotiation_ = std::make_unique<ProxyNegotiation>(proxyKind_, target_, proxyUser_, proxyPassword_);
    OnProxyConnected(0);
    Send(negotiation_->FirstRequest());
}

void ProxyTunnel::Send(const QByteArray& request) {
    // A request goes out in one send; a socket that cannot take a few hundred bytes is broken.
    if (request.isEmpty() || AsyncSocket::Write(request.constData(), request.size()) != request.size()) {
        negotiation_->FailSend();
        Fail();
    }
}

void ProxyTunnel::Fail() {
    lastProxyError_ = negotiation_ ? negotiation_->Error() : kProxyRequestFailed;
    failed_ = true;
    OnProxyFailed(1);
}

void ProxyTunnel::OnReadable(int /*error*/) {
    if (proxyKind_ == ProxyKind::None || !negotiating_ || failed_) {
        return; // the owner reads the data, or closes a failed tunnel
    }
    if (!negotiation_) {
        // A reply before any request.
        lastProxyError_ = kProxyRequestFailed;
        failed_ = true;
        OnProxyFailed(1);
        return;
    }
    char buffer[512];
    while (negotiation_->state() == ProxyNegotiation::State::Negotiating) {
        const int wanted = qMin<int>(negotiation_->Wanted(), sizeof buffer);
        const qint64 got = AsyncSocket::Read(buffer, wanted);
        if (got == 0) {
            return; // the proxy closed; the close event follows
        }
        if (got < 0) {
            if (LastError() != EWOULDBLOCK) {
                negotiation_->FailReceive();
                Fail();
            }
            return; // the rest of the reply comes with a later readable event
        }
        const QByteArray request = negotiation_->Feed(buffer, static_cast<int>(got));
        if (!request.isEmpty()) {
            Send(request);
            if (failed_) {
                return;
            }
        }
    }
    if (negotiation_->state() == ProxyNegotiation::State::Failed) {
        Fail();
        return;
    }
    negotiating_ = false;
    negotiation_.reset();
    // An owner waiting to send (an upload) starts now.
    OnWritable(0);
}

qint64 ProxyTunnel::Read(char* buffer, qint64 length) {
    lastProxyError_ = kProxyOk;
    if (negotiating_) {
        SetLastError(EWOULDBLOCK);
        return -1;
    }
    return AsyncSocket::Read(buffer, length);
}

qint64 ProxyTunnel::Write(const char* data, qint64 length) {
    lastProxyError_ = kProxyOk;
    if (negotiating_) {
        SetLastError(EWOULDBLOCK);
        return -1;
    }
    return AsyncSocket::Write(data, length);
}

void ProxyTunnel::CloseSocket() {
    negotiating_ = false;
    failed_ = false;
    negotiation_.reset();
    AsyncSocket::CloseSocket();
}

} // namespace tessaly
