#include "support/FtpServerProcess.h"

#include "support/PortUtils.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tessaly::test {
namespace {

using namespace Qt::StringLiterals;
using Kind = FtpServerProcess::Kind;

// A bare control connection: no client code of the program is involved in checking the peers.
class RawControlConnection {
public:
    explicit RawControlConnection(quint16 port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawControlConnection() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    RawControlConnection(const RawControlConnection&) = delete;
    RawControlConnection& operator=(const RawControlConnection&) = delete;

    bool connected() const { return connected_; }

    void send(const QByteArray& line) {
        const QByteArray data = line + "\r\n";
        ASSERT_EQ(::send(fd_, data.constData(), data.size(), MSG_NOSIGNAL), data.size());
    }

    // The last line of the next reply ("NNN text"), or empty when none came in time.
    QByteArray readReply(int timeoutMs = 5000) {
        const QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            const qsizetype end = buffer_.indexOf("\r\n");
            if (end >= 0) {
                const QByteArray line = buffer_.left(end);
                buffer_.remove(0, end + 2);
                if (line.size() >= 4 && line.at(3) == ' ')
                    return line;
                continue;
            }
            if (!fill(deadline))
                return {};
        }
    }

    // True when the peer closes the connection (EOF or reset) before timeoutMs.
    bool waitClosed(int timeoutMs) {
        const QDeadlineTimer deadline(timeoutMs);
        while (fill(deadline))
            buffer_.clear();
        return closed_;
    }

private:
    bool fill(const QDeadlineTimer& deadline) {
        pollfd ready{fd_, POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(deadline.remainingTime())) <= 0)
            return false;
        char chunk[512];
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

class FtpServerProcessTest : public ::testing::TestWithParam<Kind> {};

TEST_P(FtpServerProcessTest, ServesTheTreeAndLogsIn) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, GetParam());

    QFile hello(server->root() + u"/pub/hello.txt"_s);
    ASSERT_TRUE(hello.open(QIODevice::ReadOnly));
    EXPECT_EQ(hello.readAll(), "hello world\n");
    EXPECT_GT(QFile(server->root() + u"/pub/big.bin"_s).size(), 100 * 1024);

    const QList<QPair<QString, QString>> logins{
        {server->anonymousUser(), QStringLiteral("guest@example.com")},
        {server->userName(), server->password()}};
    for (const auto& [user, password] : logins) {
        RawControlConnection control(server->port());
        ASSERT_TRUE(control.connected());
        EXPECT_TRUE(control.readReply().startsWith("220 ")) << qPrintable(server->logText());
        control.send("USER " + user.toUtf8());
        // pure-ftpd logs anonymous users in at USER, and then takes any password.
        const bool loggedInAtUser = GetParam() == Kind::PureFtpd && user == server->anonymousUser();
        EXPECT_TRUE(control.readReply().startsWith(loggedInAtUser ? "230 " : "331 ")) << qPrintable(user);
        control.send("PASS " + password.toUtf8());
        EXPECT_TRUE(control.readReply().startsWith("230 ")) << qPrintable(user) << "\n"
                                                            << qPrintable(server->logText());
        control.send("QUIT");
        EXPECT_TRUE(control.readReply().startsWith("221"));
    }
}

TEST_P(FtpServerProcessTest, StopEndsServerAndOpenSessions) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, GetParam());
    const quint16 port = server->port();
    const qint64 pid = server->pid();
    ASSERT_GT(pid, 0);

    RawControlConnection session(port);
    ASSERT_TRUE(session.connected());
    ASSERT_TRUE(session.readReply().startsWith("220 "));
    // The C servers serve each session from a process of their own; those must go as well.
    QList<qint64> processes = DescendantPids(pid);
    if (GetParam() != Kind::Pyftpdlib && GetParam() != Kind::PyftpdlibDos) {
        EXPECT_FALSE(processes.isEmpty());
    }
    processes.append(pid);

    server.reset();

    for (qint64 process : processes)
        EXPECT_FALSE(IsProcessAlive(process)) << "pid " << process;
    EXPECT_TRUE(session.waitClosed(3000));
    EXPECT_TRUE(IsTcpPortFree(port));
    EXPECT_FALSE(WaitForTcpPort(port, 0));
}

INSTANTIATE_TEST_SUITE_P(Kinds, FtpServerProcessTest,
                         ::testing::Values(Kind::Pyftpdlib, Kind::PyftpdlibDos, Kind::Vsftpd, Kind::Proftpd,
                                           Kind::PureFtpd),
                         [](const ::testing::TestParamInfo<Kind>& info) {
                             switch (info.param) {
                             case Kind::Pyftpdlib:
                                 return "Pyftpdlib";
                             case Kind::PyftpdlibDos:
                                 return "PyftpdlibDos";
                             case Kind::Vsftpd:
                                 return "Vsftpd";
                             case Kind::Proftpd:
                                 return "Proftpd";
                             case Kind::PureFtpd:
                                 return "PureFtpd";
                             }
                             return "Unknown";
                         });

TEST(PortUtilsTest, FreeRangeIsFreeAndNothingAnswersThere) {
    const quint16 first = FindFreeTcpPortRange(5);
    ASSERT_NE(first, 0);
    for (int port = first; port < first + 5; ++port)
        EXPECT_TRUE(IsTcpPortFree(static_cast<quint16>(port))) << port;
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(WaitForTcpPort(first, 300));
    EXPECT_GE(timer.elapsed(), 250);
    EXPECT_NE(FindFreeTcpPort(), 0);
}

} // namespace
} // namespace tessaly::test
