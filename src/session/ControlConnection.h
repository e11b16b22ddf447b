#pragma once

#include "net/ProxyTunnel.h"

namespace tessaly {

class SessionEngine;

// The FTP-proxy logon conventions; the numbers are "ProxyType" + 1 when "UseProxy" is on.
enum class FtpProxyType : int {
    None = 0,
    SiteHostname = 1,
    UserAfterLogon = 2,
    ProxyOpen = 3,
    Transparent = 4,
    UserWithNoLogon = 5,
    UserFireIdAtRemoteHost = 6,
    UserRemoteIdAtRemoteHostFireId = 7,
    UserRemoteIdAtFireIdAtRemoteHost = 8,
};

// How the logon goes through an FTP proxy, and where it stands.
struct FtpProxyLogon {
    FtpProxyType proxyType = FtpProxyType::None;
    QByteArray proxyHost;
    quint16 proxyPort = 21;
    int logonStep = -1; // position in the logon table; -1 before the welcome
    bool authentication = false;
    QByteArray proxyUser;
    QByteArray proxyPassword;
    QByteArray targetHost;
    quint16 targetPort = 0;
};

// The control connection: a proxy tunnel whose events go to the session engine, after the tunnel's
// own handling.
class ControlConnection : public ProxyTunnel {
public:
    explicit ControlConnection(SessionEngine& engine) : engine_(engine) {}

    // Remembers the target and, with an FTP proxy, connects to the proxy instead.
    int ConnectToHost(const QByteArray& hostName, quint16 port) override;
    // Sends a command line and its CR LF. What the socket cannot take at once goes out as soon as it
    // is writable again, in order.
    void SendLine(const QByteArray& line);

    FtpProxyLogon logon;

protected:
    void OnHostResolved(int error) override;
    void OnConnected(int error) override;
    void OnPeerClosed(int error) override;
    void OnReadable(int error) override;
    void OnProxyFailed(int mode) override;
    void OnProxyConnected(int error) override;
    void OnWritable(int error) override;

private:
    void Flush();

    SessionEngine& engine_;
    QByteArray unsent_;
};

} // namespace tessaly
