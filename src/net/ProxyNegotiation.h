#pragma once

#include "net/ProxyTunnel.h"

#include <QByteArray>

namespace tessaly {

// The conversation with a proxy server that builds a tunnel, without any socket: it gives the
// requests to send and takes the reply bytes as they come, however they are cut. The socket reads
// at most Wanted() bytes at a time, so nothing that follows the proxy's reply is taken from the
// owner of the connection.
class ProxyNegotiation {
public:
    enum class State { Negotiating, Established, Failed };

    ProxyNegotiation(ProxyKind kind, ProxyTarget target, QByteArray user, QByteArray password);

    // The first request, sent once the connection to the proxy is up.
    QByteArray FirstRequest() const;
    // How many bytes the reply may take now: the missing bytes of a SOCKS reply, one byte of an
    // HTTP reply; 0 once the negotiation has ended.
    int Wanted() const;
    // Takes reply bytes (at most Wanted()); returns the request to send next, if the reply asks for
    // one. State() tells whether the tunnel stands or the negotiation failed (Error()).
    QByteArray Feed(const char* data, int length);
    // A request could not be sent whole.
    void FailSend() { Fail(kProxyRequestFailed); }
    // The connection broke while a reply was awaited.
    void FailReceive();

    State state() const { return state_; }
    int Error() const { return error_; }
    // Which reply is awaited: 1 the first, 2 the SOCKS5 authentication, 3 the SOCKS5 connect reply.
    int Step() const { return step_; }

    // The HTTP CONNECT request, with Basic credentials when a user or a password is set.
    static QByteArray HttpRequest(const ProxyTarget& target, const QByteArray& user,
                                  const QByteArray& password);

private:
    enum Step { kFirstReply = 1, kAuthReply = 2, kConnectReply = 3 };

    void Fail(int error);
    void Establish();
    QByteArray TakeSocks4(const char* data, int length);
    QByteArray TakeSocks5(const char* data, int length);
    void TakeHttp(const char* data, int length);
    QByteArray Socks5AuthRequest() const;
    QByteArray Socks5ConnectRequest() const;

    ProxyKind kind_;
    ProxyTarget target_;
    QByteArray user_;
    QByteArray password_;
    bool useCredentials_;
    State state_ = State::Negotiating;
    int error_ = kProxyOk;
    int step_ = kFirstReply;
    int expected_ = 0;           // bytes of the SOCKS reply being collected
    QByteArray reply_;           // the SOCKS reply or HTTP header collected so far
    bool statusChecked_ = false; // the HTTP status line has been looked at
};

} // namespace tessaly
