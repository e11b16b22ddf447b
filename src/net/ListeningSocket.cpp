#include "net/ListeningSocket.h"

#include <QObject>
#include <QSocketNotifier>
#include <arpa/inet.h>
#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace tessaly {

class ListeningSocket::Notifier {
public:
    Notifier(ListeningSocket& owner, int fd) : read(fd, QSocketNotifier::Read) {
        QObject::connect(&read, &QSocketNotifier::activated, &context, [&owner] {
            if (owner.onAcceptReady) {
                owner.onAcceptReady();
            }
        });
    }
    QObject context;
    QSocketNotifier read;
};

ListeningSocket::ListeningSocket() = default;

ListeningSocket::~ListeningSocket() {
    Close();
}

bool ListeningSocket::Open() {
    handle_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (handle_ < 0) {
        lastError_ = errno;
        return false;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(handle_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        lastError_ = errno;
        Close();
        return false;
    }
    return true;
}

bool ListeningSocket::Listen() {
    if (handle_ < 0 || ::listen(handle_, 5) != 0) {
        lastError_ = handle_ < 0 ? EBADF : errno;
        Close();
        return false;
    }
    notifier_ = std::make_unique<Notifier>(*this, handle_);
    return true;
}

int ListeningSocket::Accept() {
    if (handle_ < 0) {
        return -1;
    }
    const int accepted = ::accept4(handle_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (accepted < 0) {
        lastError_ = errno;
    }
    return accepted;
}

quint16 ListeningSocket::PortNetworkOrder() const {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (handle_ < 0 || ::getsockname(handle_, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        return 0;
    }
    return local.sin_port;
}

void ListeningSocket::Close() {
    notifier_.reset();
    if (handle_ >= 0) {
        ::close(handle_);
        handle_ = -1;
    }
}

} // namespace tessaly
