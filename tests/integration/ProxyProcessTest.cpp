#include "support/ProxyProcess.h"

#include "support/FtpServerProcess.h"
#include "support/PortUtils.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <arpa/inet.h>
#include <functional>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tessaly::test {
namespace {

using namespace Qt::StringLiterals;
using Kind = ProxyProcess::Kind;
using Method = ProxyProcess::Method;

constexpr int kReadTimeoutMs = 5000;

// A blocking TCP connection to 127.0.0.1 with a read buffer: the proxy protocols are spoken by hand, so
// no client code of the program is involved in checking the peers.
class RawSocket {
public:
    explicit RawSocket(quint16 port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawSocket() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    RawSocket(const RawSocket&) = delete;
    RawSocket& operator=(const RawSocket&) = delete;

    bool connected() const { return connected_; }

    bool send(const QByteArray& data) {
        return ::send(fd_, data.constData(), data.size(), MSG_NOSIGNAL) == data.size();
    }
    bool sendLine(const QByteArray& line) { return send(line + "\r\n"); }

    // Exactly `count` bytes, or fewer when the peer closed or went quiet.
    QByteArray read(qsizetype count) {
        const QDeadlineTimer deadline(kReadTimeoutMs);
        while (buffer_.size() < count && fill(deadline)) {
        }
        const QByteArray out = buffer_.left(count);
        buffer_.remove(0, out.size());
        return out;
    }

    // Everything up to and including the first `end`; empty when it did not come.
    QByteArray readThrough(const QByteArray& end) {
        const QDeadlineTimer deadline(kReadTimeoutMs);
        for (;;) {
            const qsizetype at = buffer_.indexOf(end);
            if (at >= 0) {
                const QByteArray out = buffer_.left(at + end.size());
                buffer_.remove(0, out.size());
                return out;
            }
            if (!fill(deadline))
                return {};
        }
    }

    // The last line of the next FTP reply ("NNN text"), or empty when none came in time.
    QByteArray readReply() {
        for (;;) {
            const QByteArray line = readThrough("\r\n");
            if (line.isEmpty())
                return {};
            if (line.size() >= 6 && line.at(3) == ' ')
                return line.chopped(2);
        }
    }

    QByteArray command(const QByteArray& line) { return sendLine(line) ? readReply() : QByteArray(); }

    // Everything until the peer closes (EOF or reset); empty and false in *closed when it stays open.
    QByteArray readToEnd(bool* closed) {
        const QDeadlineTimer deadline(kReadTimeoutMs);
        while (fill(deadline)) {
        }
        *closed = closed_;
        const QByteArray out = buffer_;
        buffer_.clear();
        return out;
    }

private:
    bool fill(const QDeadlineTimer& deadline) {
        if (closed_)
            return false;
        pollfd ready{fd_, POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(deadline.remainingTime())) <= 0)
            return false;
        char chunk[4096];
        const ssize_t got = ::recv(fd_, chunk, sizeof chunk, 0);
        if (got <= 0) {
            closed_ = true;
            return false;
        }
        buffer_.append(chunk, got);
        return true;
    }

    int fd_;
    bool connected_ = false;
    bool closed_ = false;
    QByteArray buffer_;
};

using Socket = std::unique_ptr<RawSocket>;

QByteArray portBytes(quint16 port) {
    QByteArray bytes;
    bytes += static_cast<char>(port >> 8);
    bytes += static_cast<char>(port & 0xff);
    return bytes;
}

// ---- SOCKS ------------------------------------------------------------------------------------------

enum class Socks { V4, V4a, V5, V5Name };

// SOCKS4 or 4A CONNECT; empty when granted (0x5A), else what went wrong.
QString socks4Connect(RawSocket& socket, bool byName, quint16 port) {
    QByteArray request("\x04\x01", 2);
    request += portBytes(port);
    // 4A: the address 0.0.0.1 says that a host name follows the (empty) user id.
    request += byName ? QByteArray("\x00\x00\x00\x01", 4) : QByteArray("\x7f\x00\x00\x01", 4);
    request += '\0';
    if (byName)
        request += QByteArray("localhost") + '\0';
    if (!socket.send(request))
        return u"send failed"_s;
    const QByteArray reply = socket.read(8);
    if (reply.size() != 8)
        return u"short reply (%1 bytes)"_s.arg(reply.size());
    if (reply.at(0) != 0 || static_cast<uchar>(reply.at(1)) != 0x5a)
        return u"refused: %1"_s.arg(QString::fromLatin1(reply.toHex(' ')));
    return {};
}

// SOCKS5 greeting and, when the proxy picks it, the RFC 1929 login; empty when the proxy accepts.
// Offers "username" only when a user is given, "none" only otherwise.
QString socks5Login(RawSocket& socket, const QString& user, const QString& password) {
    const bool offerUser = !user.isEmpty();
    if (!socket.send(offerUser ? QByteArray("\x05\x01\x02", 3) : QByteArray("\x05\x01\x00", 3)))
        return u"send failed"_s;
    const QByteArray choice = socket.read(2);
    if (choice.size() != 2 || choice.at(0) != 5)
        return u"bad method reply: %1"_s.arg(QString::fromLatin1(choice.toHex(' ')));
    if (static_cast<uchar>(choice.at(1)) == 0xff)
        return u"no acceptable method"_s;
    if (choice.at(1) == 0)
        return {};
    if (choice.at(1) != 2 || !offerUser)
        return u"unexpected method %1"_s.arg(int(choice.at(1)));
    const QByteArray name = user.toUtf8();
    const QByteArray secret = password.toUtf8();
    if (!socket.send(QByteArray("\x01", 1) + char(name.size()) + name + char(secret.size()) + secret))
        return u"send failed"_s;
    const QByteArray status = socket.read(2);
    if (status.size() != 2 || status.at(1) != 0)
        return u"login refused: %1"_s.arg(QString::fromLatin1(status.toHex(' ')));
    return {};
}

// SOCKS5 CONNECT to 127.0.0.1 or to "localhost"; empty when the reply says succeeded.
QString socks5Connect(RawSocket& socket, bool byName, quint16 port) {
    QByteArray request("\x05\x01\x00", 3);
    request += byName ? QByteArray("\x03\x09localhost") : QByteArray("\x01\x7f\x00\x00\x01", 5);
    request += portBytes(port);
    if (!socket.send(request))
        return u"send failed"_s;
    const QByteArray head = socket.read(4);
    if (head.size() != 4 || head.at(0) != 5)
        return u"bad reply: %1"_s.arg(QString::fromLatin1(head.toHex(' ')));
    if (head.at(1) != 0)
        return u"refused with code %1"_s.arg(int(head.at(1)));
    qsizetype rest = 2; // the bound address and port
    if (head.at(3) == 1)
        rest += 4;
    else if (head.at(3) == 4)
        rest += 16;
    else
        rest += static_cast<uchar>(socket.read(1).append(char(0)).at(0));
    return socket.read(rest).size() == rest ? QString() : u"short bound address"_s;
}

// ---- HTTP CONNECT -----------------------------------------------------------------------------------

// Sends CONNECT 127.0.0.1:port and returns the status line; the headers are consumed.
QByteArray httpConnect(RawSocket& socket, quint16 port, const QByteArray& credentials) {
    QByteArray request = "CONNECT 127.0.0.1:" + QByteArray::number(port) +
                         " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\n";
    if (!credentials.isEmpty())
        request += "Proxy-Authorization: Basic " + credentials.toBase64() + "\r\n";
    if (!socket.send(request + "\r\n"))
        return {};
    const QByteArray head = socket.readThrough("\r\n\r\n");
    return head.left(head.indexOf("\r\n"));
}

// ---- shared checks ----------------------------------------------------------------------------------

// Opens a data connection to the port a 227 reply names: directly, or through another tunnel.
using DataOpener = std::function<Socket(quint16 port, QString* why)>;

Socket openDirect(quint16 port, QString* why) {
    auto socket = std::make_unique<RawSocket>(port);
    if (!socket->connected())
        *why = u"cannot connect to 127.0.0.1:%1"_s.arg(port);
    return socket;
}

// Logs in on a connection that has just read a 220 and downloads pub/hello.txt in passive mode.
void expectLoginAndPassiveDownload(RawSocket& control, const QByteArray& user, const QByteArray& password,
                                   const DataOpener& openData) {
    EXPECT_TRUE(control.command("USER " + user).startsWith("331 "));
    EXPECT_TRUE(control.command("PASS " + password).startsWith("230 "));
    EXPECT_TRUE(control.command("TYPE I").startsWith("200 "));
    const QByteArray pasv = control.command("PASV");
    const QRegularExpressionMatch numbers =
        QRegularExpression(u"\\((\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)\\)"_s)
            .match(QString::fromLatin1(pasv));
    ASSERT_TRUE(pasv.startsWith("227 ") && numbers.hasMatch()) << pasv.constData();
    EXPECT_EQ(numbers.captured(1), u"127"_s) << pasv.constData();
    const auto dataPort =
        static_cast<quint16>(numbers.captured(5).toUInt() * 256 + numbers.captured(6).toUInt());
    QString why;
    const Socket data = openData(dataPort, &why);
    ASSERT_TRUE(why.isEmpty()) << qPrintable(why);
    EXPECT_TRUE(control.command("RETR pub/hello.txt").startsWith("150 "));
    bool closed = false;
    EXPECT_EQ(data->readToEnd(&closed), "hello world\n");
    EXPECT_TRUE(closed);
    EXPECT_TRUE(control.readReply().startsWith("226 "));
    EXPECT_TRUE(control.command("QUIT").startsWith("221"));
}

// Stops the proxy and checks that every process it had is gone, no port it had is still listened on,
// and its log names the target it connected to.
void expectStopsCleanly(ProxyProcess& proxy, quint16 target) {
    QList<qint64> processes = proxy.pids();
    for (qint64 pid : proxy.pids())
        processes += DescendantPids(pid);
    const QList<quint16> ports = proxy.listeningPorts();
    ASSERT_FALSE(ports.isEmpty());
    EXPECT_TRUE(ports.contains(proxy.port()));

    proxy.stop();

    for (qint64 pid : processes)
        EXPECT_FALSE(IsProcessAlive(pid)) << "pid " << pid;
    for (quint16 port : ports)
        EXPECT_TRUE(IsTcpPortFree(port)) << "port " << port;
    EXPECT_TRUE(proxy.logText().contains(QString::number(target))) << qPrintable(proxy.logText());
}

QList<quint16> controlAndPassivePorts(const FtpServerProcess& server) {
    QList<quint16> ports{server.port()};
    for (int port = server.passiveFirstPort(); port <= server.passiveLastPort(); ++port)
        ports.append(static_cast<quint16>(port));
    return ports;
}

// ---- SOCKS tests ------------------------------------------------------------------------------------

struct SocksCase {
    Kind kind;
    Socks version;
    const char* name;
};

class SocksProxyTest : public ::testing::TestWithParam<SocksCase> {};

TEST_P(SocksProxyTest, TunnelsControlAndDataToVsftpd) {
    const Socks version = GetParam().version;
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Vsftpd);
    std::unique_ptr<ProxyProcess> proxy;
    TESSALY_START_PROXY_OR_SKIP(proxy, GetParam().kind, {});

    const DataOpener tunnel = [&](quint16 port, QString* why) {
        auto socket = std::make_unique<RawSocket>(proxy->port());
        if (!socket->connected())
            *why = u"cannot connect to the proxy"_s;
        else if (version == Socks::V4 || version == Socks::V4a)
            *why = socks4Connect(*socket, version == Socks::V4a, port);
        else if (QString login = socks5Login(*socket, proxy->user(), proxy->password()); !login.isEmpty())
            *why = login;
        else
            *why = socks5Connect(*socket, version == Socks::V5Name, port);
        return socket;
    };
    QString why;
    const Socket control = tunnel(server->port(), &why);
    ASSERT_TRUE(why.isEmpty()) << qPrintable(why) << "\n" << qPrintable(proxy->logText());
    EXPECT_TRUE(control->readReply().startsWith("220 ")) << qPrintable(proxy->logText());
    expectLoginAndPassiveDownload(*control, "anonymous", "guest@example.com", tunnel);

    if (!proxy->user().isEmpty()) {
        RawSocket wrongPassword(proxy->port());
        EXPECT_EQ(socks5Login(wrongPassword, proxy->user(), u"wrong"_s).left(13), u"login refused"_s);
        RawSocket noCredentials(proxy->port());
        EXPECT_EQ(socks5Login(noCredentials, QString(), QString()), u"no acceptable method"_s);
    }
    expectStopsCleanly(*proxy, server->port());
}

INSTANTIATE_TEST_SUITE_P(
    ProxyProcess, SocksProxyTest,
    ::testing::Values(SocksCase{Kind::DanteNone, Socks::V4, "DanteSocks4"},
                      SocksCase{Kind::DanteNone, Socks::V5Name, "DanteSocks5Name"},
                      SocksCase{Kind::DanteUser, Socks::V5, "DanteUserSocks5"},
                      SocksCase{Kind::Microsocks, Socks::V5, "MicrosocksSocks5"},
                      SocksCase{Kind::MicrosocksUser, Socks::V5Name, "MicrosocksUserSocks5Name"},
                      SocksCase{Kind::SshDynamic, Socks::V4, "SshSocks4"},
                      SocksCase{Kind::SshDynamic, Socks::V4a, "SshSocks4a"},
                      SocksCase{Kind::SshDynamic, Socks::V5Name, "SshSocks5Name"}),
    [](const ::testing::TestParamInfo<SocksCase>& info) { return std::string(info.param.name); });

TEST(ProxyProcessSocksTest, DanteHasNoSocks4aAndItsUserInstanceNoSocks4) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Vsftpd);
    for (const Kind kind : {Kind::DanteNone, Kind::DanteUser}) {
        std::unique_ptr<ProxyProcess> proxy;
        TESSALY_START_PROXY_OR_SKIP(proxy, kind, {});
        RawSocket socket(proxy->port());
        EXPECT_TRUE(socks4Connect(socket, kind == Kind::DanteNone, server->port()).startsWith(u"refused"))
            << qPrintable(ProxyProcess::kindName(kind));
    }
}

// ---- HTTP CONNECT tests -----------------------------------------------------------------------------

class HttpConnectProxyTest : public ::testing::TestWithParam<Kind> {};

TEST_P(HttpConnectProxyTest, TunnelsOnlyToTheListedPorts) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Vsftpd);
    std::unique_ptr<ProxyProcess> proxy;
    TESSALY_START_PROXY_OR_SKIP(proxy, GetParam(), controlAndPassivePorts(*server));
    const QByteArray credentials = (proxy->user() + u':' + proxy->password()).toUtf8();
    const bool basic = GetParam() == Kind::TinyproxyBasic;
    if (basic) {
        EXPECT_EQ(credentials.toBase64(), "cHVzZXI6cHBhc3M=");
    }

    const DataOpener tunnel = [&](quint16 port, QString* why) {
        auto socket = std::make_unique<RawSocket>(proxy->port());
        const QByteArray status = httpConnect(*socket, port, basic ? credentials : QByteArray());
        if (!QRegularExpression(u"^HTTP/1\\.[01] 200 "_s).match(QString::fromLatin1(status)).hasMatch())
            *why = u"CONNECT to %1: \"%2\""_s.arg(port).arg(QString::fromLatin1(status));
        return socket;
    };
    QString why;
    const Socket control = tunnel(server->port(), &why);
    ASSERT_TRUE(why.isEmpty()) << qPrintable(why) << "\n" << qPrintable(proxy->logText());
    EXPECT_TRUE(control->readReply().startsWith("220 "));
    expectLoginAndPassiveDownload(*control, "anonymous", "guest@example.com", tunnel);

    RawSocket unlisted(proxy->port());
    EXPECT_TRUE(
        httpConnect(unlisted, FindFreeTcpPort(), basic ? credentials : QByteArray()).contains(" 403 "));
    if (basic) {
        RawSocket anonymous(proxy->port());
        EXPECT_TRUE(httpConnect(anonymous, server->port(), {}).contains(" 407 "));
        RawSocket wrongPassword(proxy->port());
        // tinyproxy 1.11 answers wrong credentials with 401, not 407.
        const QByteArray status = httpConnect(wrongPassword, server->port(), "puser:wrong");
        EXPECT_TRUE(status.contains(" 401 ")) << status.constData();
    }
    expectStopsCleanly(*proxy, server->port());
}

INSTANTIATE_TEST_SUITE_P(ProxyProcess, HttpConnectProxyTest,
                         ::testing::Values(Kind::Tinyproxy, Kind::TinyproxyBasic),
                         [](const ::testing::TestParamInfo<Kind>& info) {
                             return info.param == Kind::Tinyproxy ? "Tinyproxy" : "TinyproxyBasic";
                         });

TEST(ProxyProcessHttpTest, EmptyPortListAllowsEveryPort) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Vsftpd);
    std::unique_ptr<ProxyProcess> proxy;
    TESSALY_START_PROXY_OR_SKIP(proxy, Kind::Tinyproxy, {});
    RawSocket socket(proxy->port());
    EXPECT_TRUE(httpConnect(socket, server->port(), {}).contains(" 200 ")) << qPrintable(proxy->logText());
    EXPECT_TRUE(socket.readReply().startsWith("220 "));
}

// ---- FTP proxy tests --------------------------------------------------------------------------------

struct FtpProxyCase {
    Kind kind;
    Method method;
    const char* name;
};

class FtpProxyTest : public ::testing::TestWithParam<FtpProxyCase> {};

TEST_P(FtpProxyTest, LogsOnThroughTheProxyAndDownloads) {
    const Method method = GetParam().method;
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Vsftpd);
    std::unique_ptr<ProxyProcess> proxy;
    TESSALY_START_PROXY_OR_SKIP(proxy, GetParam().kind, {server->port()});
    // The proxy relays the data too: its 227 must name a port of its own, not one of vsftpd's.
    const DataOpener openData = [&](quint16 port, QString* why) {
        if (port >= server->passiveFirstPort() && port <= server->passiveLastPort())
            *why = u"227 names vsftpd's own passive port %1"_s.arg(port);
        return openDirect(port, why);
    };
    const QByteArray target = "@127.0.0.1:" + QByteArray::number(server->port());
    const QByteArray proxyUser = proxy->user().toUtf8();
    const QByteArray proxyPassword = proxy->password().toUtf8();

    RawSocket control(proxy->port(method));
    ASSERT_TRUE(control.connected());
    ASSERT_TRUE(control.readReply().startsWith("220 ")) << qPrintable(proxy->logText());
    switch (method) {
    case Method::UserAtHost:
        // vsftpd's own 331 and 230 come through.
        expectLoginAndPassiveDownload(control, "anonymous" + target, "guest@example.com", openData);
        break;
    case Method::ProxyUserThenUserAtHost:
        EXPECT_TRUE(control.command("USER " + proxyUser).startsWith("331 "));
        EXPECT_TRUE(control.command("PASS " + proxyPassword).startsWith("230 "))
            << qPrintable(proxy->logText());
        expectLoginAndPassiveDownload(control, server->userName().toUtf8() + target,
                                      server->password().toUtf8(), openData);
        break;
    case Method::ProxyUserAtHostThenUser:
        EXPECT_TRUE(control.command("USER " + proxyUser + target).startsWith("331 "));
        EXPECT_TRUE(control.command("PASS " + proxyPassword).startsWith("230 "))
            << qPrintable(proxy->logText());
        expectLoginAndPassiveDownload(control, server->userName().toUtf8(), server->password().toUtf8(),
                                      openData);
        break;
    }

    if (method != Method::UserAtHost) {
        RawSocket wrongPassword(proxy->port(method));
        ASSERT_TRUE(wrongPassword.readReply().startsWith("220 "));
        const QByteArray user = method == Method::ProxyUserAtHostThenUser ? proxyUser + target : proxyUser;
        EXPECT_TRUE(wrongPassword.command("USER " + user).startsWith("331 "));
        EXPECT_TRUE(wrongPassword.command("PASS wrong").startsWith("530 "));
    }
    expectStopsCleanly(*proxy, server->port());
}

INSTANTIATE_TEST_SUITE_P(
    ProxyProcess, FtpProxyTest,
    ::testing::Values(FtpProxyCase{Kind::FtpProxySuite, Method::UserAtHost, "FtpProxyUserAtHost"},
                      FtpProxyCase{Kind::ProftpdModProxy, Method::UserAtHost, "ModProxyUserAtHost"},
                      FtpProxyCase{Kind::ProftpdModProxy, Method::ProxyUserThenUserAtHost,
                                   "ModProxyProxyUserThenUserAtHost"},
                      FtpProxyCase{Kind::ProftpdModProxy, Method::ProxyUserAtHostThenUser,
                                   "ModProxyProxyUserAtHostThenUser"}),
    [](const ::testing::TestParamInfo<FtpProxyCase>& info) { return std::string(info.param.name); });

TEST(ProxyProcessFtpTest, FtpProxyTakesAPlainUserToItsDestination) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Vsftpd);
    std::unique_ptr<ProxyProcess> proxy;
    TESSALY_START_PROXY_OR_SKIP(proxy, Kind::FtpProxySuite, {server->port()});
    RawSocket control(proxy->port());
    ASSERT_TRUE(control.readReply().startsWith("220 "));
    EXPECT_TRUE(control.command("USER " + server->userName().toUtf8()).startsWith("331 "));
    EXPECT_TRUE(control.command("PASS " + server->password().toUtf8()).startsWith("230 "))
        << qPrintable(proxy->logText());
}

TEST(ProxyProcessFtpTest, ModProxyRefusesHostsOutsideItsForwardList) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Vsftpd);
    std::unique_ptr<ProxyProcess> proxy;
    TESSALY_START_PROXY_OR_SKIP(proxy, Kind::ProftpdModProxy, {server->port()});
    RawSocket control(proxy->port(Method::UserAtHost));
    ASSERT_TRUE(control.readReply().startsWith("220 "));
    const QByteArray user = "anonymous@localhost:" + QByteArray::number(server->port());
    EXPECT_TRUE(control.command("USER " + user).startsWith("530 ")) << qPrintable(proxy->logText());
}

} // namespace
} // namespace tessaly::test
