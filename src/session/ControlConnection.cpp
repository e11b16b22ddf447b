#include "session/ControlConnection.h"

#include "session/SessionEngine.h"

#include <cerrno>

namespace tessaly {

int ControlConnection::ConnectToHost(const QByteArray& hostName, quint16 port) {
    logon.targetHost = hostName;
    logon.targetPort = port;
    if (logon.proxyType != FtpProxyType::None) {
        return ProxyTunnel::ConnectToHost(logon.proxyHost, logon.proxyPort);
    }
    return ProxyTunnel::ConnectToHost(hostName, port);
}

void ControlConnection::SendLine(const QByteArray& line) {
    unsent_ += line;
    unsent_ += "\r\n";
    Flush();
}

void ControlConnection::Flush() {
    while (!unsent_.isEmpty()) {
        const qint64 sent = Write(unsent_.constData(), unsent_.size());
        if (sent <= 0) {
            if (LastError() != EWOULDBLOCK) {
                // A broken connection shows up as a read error or a close event.
                unsent_.clear();
            }
            return;
        }
        unsent_.remove(0, sent);
    }
}

void ControlConnection::OnHostResolved(int error) {
    ProxyTunnel::OnHostResolved(error);
    engine_.OnControlResolved(error);
}

void ControlConnection::OnConnected(int error) {
    ProxyTunnel::OnConnected(error);
    engine_.OnControlConnected(error);
}

void ControlConnection::OnPeerClosed(int error) {
    ProxyTunnel::OnPeerClosed(error);
    engine_.OnControlClosed(error);
}

void ControlConnection::OnReadable(int error) {
    ProxyTunnel::OnReadable(error);
    engine_.OnControlReadable(error);
}

void ControlConnection::OnWritable(int error) {
    ProxyTunnel::OnWritable(error);
    Flush();
}

void ControlConnection::OnProxyFailed(int mode) {
    engine_.OnControlProxyFailed(mode);
}

void ControlConnection::OnProxyConnected(int error) {
    engine_.OnControlProxyConnected(error);
}

} // namespace tessaly
