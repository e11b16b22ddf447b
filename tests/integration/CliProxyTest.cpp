// tessaly-cli logging in to a real vsftpd through real proxies on loopback, configured the way the
// desktop program's settings configure them.
#include "support/CliRunner.h"
#include "support/FtpServerProcess.h"
#include "support/ProxyProcess.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace tessaly::test {
namespace {

using Kind = ProxyProcess::Kind;

struct SocksCase {
    const char* name;
    Kind kind;
    int socksType; // "SocksType": 0 SOCKS4, 1 SOCKS4A, 2 SOCKS5, 3 HTTP 1.1
    const char* user;
    const char* password;
};

QList<quint16> TargetPorts(const FtpServerProcess& server) {
    QList<quint16> ports{server.port()};
    for (int p = server.passiveFirstPort(); p > 0 && p <= server.passiveLastPort(); ++p) {
        ports.append(static_cast<quint16>(p));
    }
    return ports;
}

void UseSocks(Cli& cli, int socksType, quint16 port, const QString& user, const QString& password) {
    cli.settings().WriteInt(u"Socks", u"UseSocks", 1);
    cli.settings().WriteInt(u"Socks", u"SocksType", socksType);
    cli.settings().WriteString(u"Socks", u"SocksHost", QStringLiteral("127.0.0.1"));
    cli.settings().WriteInt(u"Socks", u"SocksPort", port);
    cli.settings().WriteString(u"Socks", u"SocksUser", user);
    cli.settings().WriteString(u"Socks", u"SocksPass", password);
}

QStringList LoginArguments(const FtpServerProcess& server) {
    return {QStringLiteral("--user"), server.userName(), QStringLiteral("--pass"), server.password(),
            QStringLiteral("127.0.0.1:%1").arg(server.port())};
}

class CliThroughSocks : public ::testing::TestWithParam<SocksCase> {};

TEST_P(CliThroughSocks, LogsInWithTheProxyLines) {
    const SocksCase& c = GetParam();
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Vsftpd);
    std::unique_ptr<ProxyProcess> proxy;
    TESSALY_START_PROXY_OR_SKIP(proxy, c.kind, TargetPorts(*server));
    Cli cli;
    UseSocks(cli, c.socksType, proxy->port(), QString::fromUtf8(c.user), QString::fromUtf8(c.password));
    const CliRun run = cli.run(LoginArguments(*server));
    const QList<QByteArray> expected = {
        "STATUS:>  Connecting to FTP server[127.0.0.1(<stamp>)]...",
        "ERROR:>  Connect to proxy successful!",
        "STATUS:>  Connecting now...",
        "              220 (vsFTPd 3.0.3)",
        "COMMAND:>  USER tessftp",
        "              331 Please specify the password.",
        "COMMAND:>  PASS ********",
        "              230 Login successful.",
    };
    EXPECT_EQ(run.lines.mid(0, expected.size()), expected) << run.text() << "\nproxy log:\n"
                                                           << proxy->logText().toStdString();
    // The listing's data connection goes through the proxy too.
    EXPECT_TRUE(run.lines.contains("              226 Directory send OK.")) << run.text();
    EXPECT_EQ(run.lines.last(), "STATUS:>  Disconnect by client(<stamp>).");
    EXPECT_EQ(run.exitCode, 0);
}

INSTANTIATE_TEST_SUITE_P(
    RealProxies, CliThroughSocks,
    ::testing::Values(SocksCase{"DanteSocks4", Kind::DanteNone, 0, "", ""},
                      SocksCase{"DanteSocks5", Kind::DanteNone, 2, "", ""},
                      SocksCase{"DanteSocks5User", Kind::DanteUser, 2, "tessftp", "secret"},
                      SocksCase{"MicrosocksSocks5", Kind::Microsocks, 2, "", ""},
                      SocksCase{"MicrosocksSocks5User", Kind::MicrosocksUser, 2, "puser", "ppass"},
                      SocksCase{"SshSocks4a", Kind::SshDynamic, 1, "", ""},
                      SocksCase{"SshSocks5", Kind::SshDynamic, 2, "", ""},
                      SocksCase{"Tinyproxy", Kind::Tinyproxy, 3, "", ""},
                      SocksCase{"TinyproxyBasic", Kind::TinyproxyBasic, 3, "puser", "ppass"}),
    [](const ::testing::TestParamInfo<SocksCase>& info) { return std::string(info.param.name); });

struct RefusalCase {
    const char* name;
    Kind kind;
    int socksType;
    const char* user;
    const char* password;
    const char* message;  // the error line of the refusal
    bool wrongTargetPort; // the proxy is asked for a port it refuses
};

class CliProxyRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(CliProxyRefusal, RetriesThenGivesUp) {
    const RefusalCase& c = GetParam();
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Vsftpd);
    std::unique_ptr<ProxyProcess> proxy;
    TESSALY_START_PROXY_OR_SKIP(proxy, c.kind, TargetPorts(*server));
    Cli cli;
    cli.settings().WriteInt(u"General", u"RetryNumber", 2);
    UseSocks(cli, c.socksType, proxy->port(), QString::fromUtf8(c.user), QString::fromUtf8(c.password));
    // A target port the tinyproxy instance does not allow (its ConnectPort list).
    const quint16 port =
        c.wrongTargetPort ? static_cast<quint16>(server->port() == 1 ? 2 : 1) : server->port();
    const CliRun run = cli.run({QStringLiteral("127.0.0.1:%1").arg(port)});
    EXPECT_EQ(run.exitCode, 2) << run.text();
    EXPECT_EQ(run.lines.count(QByteArray("ERROR:>  ") + c.message), 2) << run.text();
    EXPECT_EQ(run.lines.count("ERROR:>  Cannot connect target, processing next attemption..."), 1)
        << run.text();
    ASSERT_GE(run.lines.size(), 2);
    EXPECT_EQ(run.lines.at(run.lines.size() - 2), "ERROR:>  Connect target failed, disconnect.")
        << run.text();
}

INSTANTIATE_TEST_SUITE_P(
    RealProxies, CliProxyRefusal,
    ::testing::Values(RefusalCase{"DanteWrongPassword", Kind::DanteUser, 2, "tessftp", "wrong",
                                  "Authenticate failed, Invalid username/password!", false},
                      RefusalCase{"MicrosocksWrongPassword", Kind::MicrosocksUser, 2, "puser", "wrong",
                                  "Authenticate failed, Invalid username/password!", false},
                      RefusalCase{"MicrosocksNoCredentials", Kind::MicrosocksUser, 2, "", "",
                                  "Proxy request authentication!", false},
                      RefusalCase{"TinyproxyWrongPassword", Kind::TinyproxyBasic, 3, "puser", "wrong",
                                  "Send requistion to proxy failed!", false},
                      RefusalCase{"TinyproxyRefusedPort", Kind::Tinyproxy, 3, "", "",
                                  "Send requistion to proxy failed!", true}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

TEST(CliProxy, DanteRefusingTheTargetGivesTheRequestLine) {
    std::unique_ptr<ProxyProcess> proxy;
    TESSALY_START_PROXY_OR_SKIP(proxy, Kind::DanteNone, {});
    Cli cli;
    cli.settings().WriteInt(u"General", u"RetryNumber", 1);
    UseSocks(cli, 2, proxy->port(), {}, {});
    // Nothing listens on the target port: the proxy answers the connect request with a failure.
    const CliRun run = cli.run({QStringLiteral("127.0.0.1:1")});
    EXPECT_EQ(run.exitCode, 2) << run.text();
    EXPECT_TRUE(run.lines.contains("ERROR:>  Send requistion to proxy failed!")) << run.text();
}

} // namespace
} // namespace tessaly::test

namespace tessaly::test {
namespace {

// A target name the client cannot resolve but the proxy can: the name goes to the proxy.
class CliProxyResolvesTheName : public ::testing::TestWithParam<int> {};

TEST_P(CliProxyResolvesTheName, ThroughSshDynamic) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "the proxy-side host name needs root";
    }
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Vsftpd);
    std::unique_ptr<ProxyProcess> proxy;
    TESSALY_START_PROXY_OR_SKIP(proxy, Kind::SshDynamic, {});
    Cli cli;
    UseSocks(cli, GetParam(), proxy->port(), {}, {});
    const QString host = QString::fromLatin1(ProxyProcess::kProxyOnlyHostName);
    const CliRun run = cli.run({QStringLiteral("--user"), server->userName(), QStringLiteral("--pass"),
                                server->password(), QStringLiteral("%1:%2").arg(host).arg(server->port())});
    EXPECT_EQ(run.exitCode, 0) << run.text() << "\nproxy log:\n" << proxy->logText().toStdString();
    const QList<QByteArray> head = {
        "STATUS:>  Connecting to FTP server[" + host.toUtf8() + "(<stamp>)]...",
        "ERROR:>  Connect to proxy successful!",
        "STATUS:>  Connecting now...",
        "              220 (vsFTPd 3.0.3)",
    };
    EXPECT_EQ(run.lines.mid(0, 4), head) << run.text();
}

INSTANTIATE_TEST_SUITE_P(Socks4aAndSocks5, CliProxyResolvesTheName, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == 1 ? "Socks4a" : "Socks5");
                         });

} // namespace
} // namespace tessaly::test

namespace tessaly::test {
namespace {

// The FTP-proxy logon conventions against real FTP proxies in front of vsftpd.
struct FtpProxyCase {
    const char* name;
    Kind kind;
    ProxyProcess::Method method;
    int proxyType;              // the convention's number minus one
    QList<QByteArray> commands; // the logon commands as logged; %T is the target, %P the proxy port
};

class CliThroughFtpProxy : public ::testing::TestWithParam<FtpProxyCase> {};

TEST_P(CliThroughFtpProxy, LogsInWithTheConventionsCommands) {
    const FtpProxyCase& c = GetParam();
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Vsftpd);
    std::unique_ptr<ProxyProcess> proxy;
    TESSALY_START_PROXY_OR_SKIP(proxy, c.kind, {server->port()});
    const quint16 proxyPort = proxy->port(c.method);
    Cli cli;
    cli.settings().WriteInt(u"FtpProxy", u"UseProxy", 1);
    cli.settings().WriteInt(u"FtpProxy", u"ProxyType", c.proxyType + 1); // the convention's number
    cli.settings().WriteString(u"FtpProxy", u"ProxyName", QStringLiteral("127.0.0.1"));
    cli.settings().WriteInt(u"FtpProxy", u"ProxyPort", proxyPort);
    cli.settings().WriteString(u"FtpProxy", u"UserName", QStringLiteral("puser"));
    cli.settings().WriteString(u"FtpProxy", u"PassWord", QStringLiteral("ppass"));
    const CliRun run = cli.run(LoginArguments(*server));
    EXPECT_EQ(run.exitCode, 0) << run.text() << "\nproxy log:\n" << proxy->logText().toStdString();
    const QByteArray target = "127.0.0.1:" + QByteArray::number(server->port());
    QList<QByteArray> expected = {
        "STATUS:>  Connecting to FTP server[127.0.0.1(<stamp>)]...",
        "STATUS:>  Connect successful, receive welcome message...",
        "STATUS:>  processing attemption to connecting proxy at: 127.0.0.1:" + QByteArray::number(proxyPort) +
            "...",
    };
    for (QByteArray command : c.commands) {
        expected.append("COMMAND:>  " + command.replace("%T", target));
    }
    QList<QByteArray> logged;
    for (const QByteArray& line : run.lines) {
        if (line.startsWith("STATUS:>") || line.startsWith("COMMAND:>")) {
            logged.append(line);
        }
    }
    EXPECT_EQ(logged.mid(0, expected.size()), expected) << run.text();
    EXPECT_TRUE(run.lines.contains("              230 Login successful.")) << run.text();
    EXPECT_EQ(run.lines.last(), "STATUS:>  Disconnect by client(<stamp>).") << run.text();
}

INSTANTIATE_TEST_SUITE_P(
    RealProxies, CliThroughFtpProxy,
    ::testing::Values(FtpProxyCase{"FtpProxyUserWithNoLogon",
                                   Kind::FtpProxySuite,
                                   ProxyProcess::Method::UserAtHost,
                                   4,
                                   {"USER tessftp@%T", "PASS ********"}},
                      FtpProxyCase{"ModProxyUserWithNoLogon",
                                   Kind::ProftpdModProxy,
                                   ProxyProcess::Method::UserAtHost,
                                   4,
                                   {"USER tessftp@%T", "PASS ********"}},
                      FtpProxyCase{"ModProxyUserAfterLogon",
                                   Kind::ProftpdModProxy,
                                   ProxyProcess::Method::ProxyUserThenUserAtHost,
                                   1,
                                   {"USER puser", "PASS ********", "USER tessftp@%T", "PASS ********"}},
                      FtpProxyCase{"ModProxyUserFireIdAtRemoteHost",
                                   Kind::ProftpdModProxy,
                                   ProxyProcess::Method::ProxyUserAtHostThenUser,
                                   5,
                                   {"USER puser@%T", "PASS ********", "USER tessftp", "PASS ********"}}),
    [](const ::testing::TestParamInfo<FtpProxyCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace tessaly::test
