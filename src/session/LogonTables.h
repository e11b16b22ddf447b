#pragma once

#include "session/ControlConnection.h"

#include <QByteArray>
#include <array>

namespace tessaly {

// The logon of each FTP-proxy convention as a row of numbers read in triples: the triple at
// position s is a step whose first number is the command to send (LogonCommandText), the second the
// next step after a 2xx reply, the third the next step after a 3xx reply. A next step is the
// position of the triple to run next; kLoggedIn and kLogonFailed end the logon.
inline constexpr int kLoggedIn = -2;
inline constexpr int kLogonFailed = -1;
inline constexpr int kLogonTableSize = 64;

using LogonTable = std::array<int, kLogonTableSize>;

const LogonTable& LogonTableFor(FtpProxyType type);

// The next step after a reply of the given code to the step at position step; kLogonFailed for reply
// classes the tables do not provide for (1xx, 4xx) and for positions outside the table.
int NextLogonStep(FtpProxyType type, int step, int replyCode);

// The command code of the step at a position, or -1 when the position holds no step.
int LogonCommandAt(FtpProxyType type, int step);

// What the logon sends for a command code.
struct LogonCredentials {
    QByteArray userName;
    QByteArray password;
    QByteArray proxyUser;
    QByteArray proxyPassword;
    QByteArray targetHost; // the server to reach through the proxy, without "ftp://"
    quint16 targetPort = 21;
};
QByteArray LogonCommandText(int commandCode, const LogonCredentials& credentials);
// True for the command codes that send the FTP proxy's password from the settings (ACCT, the
// firewall's PASS, the combined PASS): the log masks them whatever user logs on to the target.
bool LogonCommandSendsProxyPassword(int commandCode);

} // namespace tessaly
