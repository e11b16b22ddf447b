#include "support/PortUtils.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <random>
#include <sys/socket.h>
#include <unistd.h>

namespace tessaly::test {

namespace {

// Owns one socket descriptor.
class Socket {
public:
    Socket() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
    ~Socket() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    int fd() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

sockaddr_in loopbackAddress(quint16 port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool bindLoopback(const Socket& socket, quint16 port) {
    const int on = 1;
    ::setsockopt(socket.fd(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in address = loopbackAddress(port);
    return ::bind(socket.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

// The lower end of the kernel's ephemeral port range, 32768 when it cannot be read.
int ephemeralLow() {
    QFile file(QStringLiteral("/proc/sys/net/ipv4/ip_local_port_range"));
    if (!file.open(QIODevice::ReadOnly))
        return 32768;
    bool ok = false;
    const int low = file.readAll().simplified().split(' ').value(0).toInt(&ok);
    return ok ? low : 32768;
}

} // namespace

quint16 FindFreeTcpPort() {
    Socket socket;
    if (!socket.valid() || !bindLoopback(socket, 0))
        return 0;
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    if (::getsockname(socket.fd(), reinterpret_cast<sockaddr*>(&bound), &length) != 0)
        return 0;
    return ntohs(bound.sin_port);
}

quint16 FindFreeTcpPortRange(int count) {
    if (count < 1)
        return 0;
    constexpr int kFirst = 20000;
    int last = ephemeralLow() - count; // highest usable first port
    if (last < kFirst + 1000)
        last = 65535 - count;
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<int> pick(kFirst, last);
    for (int attempt = 0; attempt < 200; ++attempt) {
        const int first = pick(random);
        bool allFree = true;
        for (int port = first; port < first + count && allFree; ++port)
            allFree = IsTcpPortFree(static_cast<quint16>(port));
        if (allFree)
            return static_cast<quint16>(first);
    }
    return 0;
}

bool IsTcpPortFree(quint16 port) {
    Socket socket;
    return socket.valid() && bindLoopback(socket, port);
}

bool WaitForTcpPort(quint16 port, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    const sockaddr_in address = loopbackAddress(port);
    for (;;) {
        Socket socket;
        if (socket.valid() &&
            ::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
}

} // namespace tessaly::test
