#pragma once

#include "support/EngineHarness.h"
#include "support/FtpServerProcess.h"
#include "support/ProxyProcess.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace tessaly::test {

// The transfer tests' tables of real servers: each kind once, and each with passive and with active
// data connections ("PasvMode" in [Advance]).
struct ServerCase {
    const char* name;
    FtpServerProcess::Kind server;
};

inline constexpr ServerCase kServerCases[] = {
    {"Pyftpdlib", FtpServerProcess::Kind::Pyftpdlib},
    {"Vsftpd", FtpServerProcess::Kind::Vsftpd},
    {"Proftpd", FtpServerProcess::Kind::Proftpd},
    {"PureFtpd", FtpServerProcess::Kind::PureFtpd},
};

struct ServerModeCase {
    const char* name;
    FtpServerProcess::Kind server;
    bool passive;
};

inline constexpr ServerModeCase kServerModeCases[] = {
    {"PyftpdlibPassive", FtpServerProcess::Kind::Pyftpdlib, true},
    {"PyftpdlibActive", FtpServerProcess::Kind::Pyftpdlib, false},
    {"VsftpdPassive", FtpServerProcess::Kind::Vsftpd, true},
    {"VsftpdActive", FtpServerProcess::Kind::Vsftpd, false},
    {"ProftpdPassive", FtpServerProcess::Kind::Proftpd, true},
    {"ProftpdActive", FtpServerProcess::Kind::Proftpd, false},
    {"PureFtpdPassive", FtpServerProcess::Kind::PureFtpd, true},
    {"PureFtpdActive", FtpServerProcess::Kind::PureFtpd, false},
};

// The proxies that tunnel both the control and the data connections: "SocksType" 2 is SOCKS5, 3 HTTP
// 1.1 (CONNECT).
struct TunnelProxyCase {
    const char* name;
    ProxyProcess::Kind kind;
    int socksType;
};

inline constexpr TunnelProxyCase kTunnelProxyCases[] = {
    {"DanteSocks5", ProxyProcess::Kind::DanteNone, 2},
    {"TinyproxyConnect", ProxyProcess::Kind::Tinyproxy, 3},
};

// Names the instances of a table-driven test after their cases' `name`.
struct NameOfCase {
    template <class Case> std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
        return info.param.name;
    }
};

// A server of the case's kind and an engine that logs in to it as the server's user. A derived
// fixture starts `server` (TESSALY_START_FTP_SERVER_OR_SKIP), prepares its tree and then calls login().
class ServerModeTest : public ::testing::TestWithParam<ServerModeCase> {
protected:
    // Sets "PasvMode" as the case says and logs in; fails when the engine is not idle afterwards.
    void login();
    // Waits until the transfer job has ended, then expects no failure report and data connections of
    // the case's kind only (PASV or PORT, no fallback to the other).
    void expectTransferJobDone(int timeoutMs);

    std::unique_ptr<FtpServerProcess> server;
    EngineHarness h;
};

// The TYPE command sent last before the transfer command `verb` ("RETR", "STOR") of the file `name`
// (a path ending in it), or "" when there was none.
QByteArray TypeBeforeTransfer(const QList<QByteArray>& texts, QByteArrayView verb, QByteArrayView name);

// Puts the shared random file (SharedRandomFile) into the server's root as `name`: a hard link (a
// symbolic one would point out of a chrooted server's reach), or a copy where no link can be made.
void ServeRandomFile(const FtpServerProcess& server, const QString& name);

// Points the settings at the proxy, with the passive data connections that go through it.
void UseProxy(SettingsStore& settings, const ProxyProcess& proxy, int socksType);
// True when the proxy's log names a passive port of the server: a data connection went through it.
bool ProxyLogNamesPassivePort(const ProxyProcess& proxy, const FtpServerProcess& server);

} // namespace tessaly::test
