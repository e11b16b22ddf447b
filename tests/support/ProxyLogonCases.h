#pragma once

#include "support/EngineHarness.h"

#include <QByteArray>
#include <functional>
#include <utility>
#include <vector>

namespace tessaly::test {

// One login through an FTP proxy with one logon convention, against a scripted proxy that checks the
// commands in order: the proxy's user "fw" with password "fwpw", the target ftp.example.org with
// targetUser and password "rpw".
struct ProxyCase {
    const char* name;
    int convention; // "ProxyType": the convention's number, 1..8
    quint16 targetPort;
    bool logsIn;
    std::vector<std::pair<QByteArray, QByteArray>> exchange; // command expected, reply sent
    QByteArray targetUser = "remote";
};

// Cases for each of the eight conventions, with the failures some of them must detect.
const std::vector<ProxyCase>& ProxyLogonCases();

// How a test puts the FTP proxy's settings in place: the proxy 127.0.0.1 on proxyPort, the case's
// convention, user "fw" and password "fwpw".
using ProxySettingsWriter = std::function<void(EngineHarness& h, const ProxyCase& c, quint16 proxyPort)>;
// Writes them straight into the settings file.
void WriteProxySettings(EngineHarness& h, const ProxyCase& c, quint16 proxyPort);

// Puts the settings in place with `write`, logs in through the scripted proxy and checks the commands,
// the log and the outcome.
void ExpectProxyLogon(const ProxyCase& c, const ProxySettingsWriter& write);

} // namespace tessaly::test
