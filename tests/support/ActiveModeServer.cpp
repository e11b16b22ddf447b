#include "support/ActiveModeServer.h"

#include "session/ControlConnection.h"

#include <QByteArray>
#include <QList>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tessaly::test {

quint16 AnnouncedPort(const ScriptedPeer& control) {
    QByteArray port;
    for (const QByteArray& line : control.receivedLines()) {
        if (line.startsWith("PORT ")) {
            port = line.mid(5);
        }
    }
    const QList<QByteArray> numbers = port.split(',');
    return numbers.size() == 6 ? quint16(numbers[4].toInt() * 256 + numbers[5].toInt()) : 0;
}

int ConnectFrom(const char* source, quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_aton(source, &local.sin_addr);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool ConnectSendAndClose(const ScriptedPeer& control, const QByteArray& bytes) {
    const int fd = ConnectFrom("127.0.0.1", AnnouncedPort(control));
    if (fd < 0) {
        return false;
    }
    const bool sent = ::send(fd, bytes.constData(), bytes.size(), MSG_NOSIGNAL) == bytes.size();
    ::close(fd);
    return sent;
}

namespace {
// A control connection only for its handler: the engine it belongs to reads from its own.
class ControlEventNow : public ControlConnection {
public:
    using ControlConnection::ControlConnection;
    using ControlConnection::OnReadable;
};
} // namespace

void DeliverControlReadable(SessionEngine& engine) {
    ControlEventNow(engine).OnReadable(0);
}

} // namespace tessaly::test
