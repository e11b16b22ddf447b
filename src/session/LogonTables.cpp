#include "session/LogonTables.h"

namespace tessaly {

namespace {

constexpr int kTableCount = 9;

// Unlisted positions hold 0.
constexpr std::array<LogonTable, kTableCount> kTables = {{
    // no FTP proxy: USER, PASS, ACCT
    {0, -2, 3, 1, -2, 6, 2, -2, -1},
    // "SITE hostname"
    {3, 6, 3, 4, 6, -1, 5, -1, 9, 0, -2, 12, 1, -2, 15, 2, -2, -1},
    // "USER after logon"
    {3, 6, 3, 4, 6, -1, 6, -2, 9, 1, -2, 12, 2, -2, -1},
    // "Proxy OPEN"
    {7, 3, 3, 0, -2, 6, 1, -2, 9, 2, -2, -1},
    // "Transparent"
    {3, 6, 3, 4, 6, -1, 0, -2, 9, 1, -2, 12, 2, -2, -1},
    // "USER with no logon"
    {6, -2, 3, 1, -2, 6, 2, -2, -1},
    // "USER fireid@remotehost"
    {8, 6, 3, 4, 6, -1, 0, -2, 9, 1, -2, 12, 2, -2, -1},
    // "USER remoteid@remotehost fireid"
    {9, -1, 3, 1, -2, 6, 2, -2, -1},
    // "USER remoteid@fireid@remotehost"
    {10, -2, 3, 11, -2, 6, 2, -2, -1},
}};

bool HoldsStep(int step) {
    return step >= 0 && step + 2 < kLogonTableSize;
}

} // namespace

const LogonTable& LogonTableFor(FtpProxyType type) {
    const int index = static_cast<int>(type);
    return kTables[static_cast<std::size_t>(index >= 0 && index < kTableCount ? index : 0)];
}

int NextLogonStep(FtpProxyType type, int step, int replyCode) {
    const int replyClass = replyCode / 100;
    if (!HoldsStep(step) || (replyClass != 2 && replyClass != 3)) {
        return kLogonFailed;
    }
    const int next = LogonTableFor(type)[static_cast<std::size_t>(step + replyClass - 1)];
    return next == kLoggedIn || HoldsStep(next) ? next : kLogonFailed;
}

int LogonCommandAt(FtpProxyType type, int step) {
    return HoldsStep(step) ? LogonTableFor(type)[static_cast<std::size_t>(step)] : -1;
}

bool LogonCommandSendsProxyPassword(int code) {
    return code == 2 || code == 4 || code == 11;
}

QByteArray LogonCommandText(int code, const LogonCredentials& c) {
    const QByteArray target =
        c.targetPort == 21 ? c.targetHost : c.targetHost + ':' + QByteArray::number(c.targetPort);
    switch (code) {
    case 0:
        return "USER " + c.userName;
    case 1:
        return "PASS " + c.password;
    case 2:
        return "ACCT " + c.proxyPassword;
    case 3:
        return "USER " + c.proxyUser;
    case 4:
        return "PASS " + c.proxyPassword;
    case 5:
        return "SITE " + target;
    case 6:
        return "USER " + c.userName + '@' + target;
    case 7:
        return "OPEN " + target;
    case 8:
        return "USER " + c.proxyUser + '@' + target;
    case 9:
        return "USER " + c.userName + '@' + target + ' ' + c.proxyUser;
    case 10:
        return "USER " + c.userName + '@' + c.proxyUser + '@' + target;
    case 11:
        return "PASS " + c.password + '@' + c.proxyPassword;
    default:
        return {};
    }
}

} // namespace tessaly
