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

bool ListeningSocket::Open(quint32 addressNetworkOrder) {
    handle_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (handle_ < 0) {
        lastError_ = errno;
        return false;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = addressNetworkOrder;
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

ListeningSocket::Accepted ListeningSocket::Accept() {
    Accepted accepted;
    if (handle_ < 0) {
        return accepted;
    }
    socklen_t length = sizeof accepted.peer;
    accepted.handle = ::accept4(handle_, reinterpret_cast<sockaddr*>(&accepted.peer), &length,
                                SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (accepted.handle >= 0) {
        return accepted;
    }
    lastError_ = errno;
    switch (lastError_) {
    case EAGAIN:
    case ECONNABORTED:
    case EINTR:
    case EPROTO:
        break; // nothing waits any more, or the peer gave up: the next connection is taken as usual
    default:
        // The waiting connection stays in the queue and the socket stays readable: watching it
        // further would wake the loop without end.
        failed_ = true;
        if (notifier_) {
            notifier_->read.setEnabled(false);
        }
        break;
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
    // Switched off rather than destroyed: Close may run inside the notifier's own announcement.
    if (notifier_) {
        notifier_->read.setEnabled(false);
    }
    if (handle_ >= 0) {
        ::close(handle_);
        handle_ = -1;
    }
}

} // namespace tessaly
