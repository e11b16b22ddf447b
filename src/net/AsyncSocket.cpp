#include "net/AsyncSocket.h"

#include <QCoreApplication>
#include <QHostInfo>
#include <QObject>
#include <QSocketNotifier>
#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace tessaly {

namespace {

// Reported to OnHostResolved when a name could not be resolved to an IPv4 address.
constexpr int kLookupFailed = ENXIO;
// What the read of a readable event takes at most: a whole control reply or a small file.
constexpr std::size_t kReadAheadBytes = 4096;

bool SetNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL, 0);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

} // namespace

// What a socket needs from the event loop while it is open: its notifiers, the context that
// queued events and lookups are bound to (destroying it cancels both), and the lookup and arming
// state. It exists from Open/AttachHandle until CloseSocket or a close event.
class AsyncSocket::Notifier {
public:
    Notifier(AsyncSocket& owner, int fd)
        : read(fd, QSocketNotifier::Read), write(fd, QSocketNotifier::Write) {
        read.setEnabled(false);
        write.setEnabled(false);
        QObject::connect(&read, &QSocketNotifier::activated, &context, [&owner] { owner.OnReadReady(); });
        QObject::connect(&write, &QSocketNotifier::activated, &context, [&owner] { owner.OnWriteReady(); });
    }
    // The exception notifier exists once urgent data is selected: a data connection never selects
    // it, and each notifier costs an object and its registration for every file of a tree.
    void WatchUrgent(AsyncSocket& owner, int fd) {
        if (!urgent) {
            urgent.emplace(fd, QSocketNotifier::Exception);
            urgent->setEnabled(false);
            QObject::connect(&*urgent, &QSocketNotifier::activated, &context,
                             [&owner] { owner.OnUrgentReady(); });
        }
    }
    ~Notifier() { CancelLookup(); }

    // A cancelled lookup runs to its end in the background and its result is dropped: Qt does not
    // free the result handler of a lookup that is aborted or whose receiver is destroyed first.
    void CancelLookup() {
        lookupId = 0;
        lookupPending = false;
    }

    QObject context;
    QSocketNotifier read;
    QSocketNotifier write;
    std::optional<QSocketNotifier> urgent;
    unsigned mask = 0;
    bool connecting = false; // a connect is under way; the write notifier waits for its end
    bool connected = false;  // readiness of data is watched only on a connected socket
    bool readArmed = true;   // cleared after OnReadable until the owner reads again
    bool writeOwed = false;  // a write would have blocked; OnWritable is owed when room comes
    bool urgentArmed = true; // cleared after OnUrgentData until the events are selected again
    bool lookupPending = false;
    int lookupId = 0;
    // The first bytes of a readable event. Reading them is how the event learns whether bytes are
    // pending or the peer has closed; the owner's next Read takes them before anything else.
    std::array<char, kReadAheadBytes> readAhead; // only [readAheadBegin, readAheadEnd) is ever read
    int readAheadBegin = 0;
    int readAheadEnd = 0;
    bool readAheadPosted = false; // an event for bytes left in the buffer is on its way
    int deferredError = 0;        // met while reading past the buffer, for the owner's next Read

    int ReadAheadSize() const { return readAheadEnd - readAheadBegin; }
};

AsyncSocket::AsyncSocket() {
    remote_.sin_family = AF_INET;
    remote_.sin_addr.s_addr = INADDR_NONE;
}

AsyncSocket::~AsyncSocket() {
    alive_.reset();
    DropNotifier();
    CloseHandle();
}

bool AsyncSocket::Open(quint16 localPort, unsigned eventMask, const char* localAddress) {
    if (handle_ >= 0) {
        SetLastError(EISCONN);
        return false;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        SetLastError(errno);
        return false;
    }
    handle_ = fd;
    notifier_ = std::make_unique<Notifier>(*this, fd);
    // Without a port or an address to take, the connect binds the socket itself: no call for it.
    const bool bind = localPort != 0 || localAddress != nullptr;
    if (!SelectEvents(eventMask) || (bind && !BindLocal(localPort, localAddress))) {
        const int saved = lastError_;
        CloseSocket();
        SetLastError(saved);
        return false;
    }
    return true;
}

bool AsyncSocket::AttachHandle(int handle, unsigned eventMask) {
    if (handle_ >= 0 || handle < 0) {
        if (handle >= 0) {
            ::close(handle);
        }
        SetLastError(EINVAL);
        return false;
    }
    handle_ = handle;
    if (!SetNonBlocking(handle)) {
        SetLastError(errno);
        CloseSocket();
        return false;
    }
    notifier_ = std::make_unique<Notifier>(*this, handle);
    notifier_->connected = true;
    if (!SelectEvents(eventMask)) {
        return false;
    }
    // An accepted connection is writable at once, as after a completed connect.
    if (eventMask & kEventWrite) {
        PostEvent(kEventWrite, 0);
    }
    return true;
}

bool AsyncSocket::BindLocal(quint16 localPort, const char* localAddress) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(localPort);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (localAddress != nullptr && ::inet_pton(AF_INET, localAddress, &local.sin_addr) != 1) {
        SetLastError(EINVAL);
        return false;
    }
    if (::bind(handle_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        SetLastError(errno);
        return false;
    }
    return true;
}

bool AsyncSocket::SelectEvents(unsigned eventMask) {
    if (!notifier_) {
        SetLastError(handle_ >= 0 ? EINVAL : EBADF);
        return false;
    }
    notifier_->mask = eventMask;
    notifier_->urgentArmed = true;
    if (eventMask & kEventUrgent) {
        notifier_->WatchUrgent(*this, handle_);
    }
    ArmRead();
    return true;
}

void AsyncSocket::UpdateNotifiers() {
    Notifier& n = *notifier_;
    const bool watchInput = n.connected && (n.mask & (kEventRead | kEventClose)) != 0;
    const bool readEnabled = watchInput && n.readArmed;
    n.read.setEnabled(readEnabled);
    n.write.setEnabled(n.connecting || (n.connected && n.writeOwed && (n.mask & kEventWrite)));
    // Urgent data is watched only while the input is: the event loop hands a hang-up to the read
    // notifier alone, so an exception notifier on its own would wake the loop over and over.
    if (n.urgent) {
        n.urgent->setEnabled(readEnabled && (n.mask & kEventUrgent) && n.urgentArmed);
    }
}

int AsyncSocket::ConnectToAddress(const sockaddr_in& address) {
    if (handle_ < 0 || !notifier_) {
        SetLastError(EBADF);
        return -1;
    }
    remote_ = address;
    if (::connect(handle_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        notifier_->connected = true;
        UpdateNotifiers();
        PostEvent(kEventConnect, 0);
        PostEvent(kEventWrite, 0);
        return 0;
    }
    const int error = errno;
    if (error == EINPROGRESS) {
        notifier_->connecting = true;
        UpdateNotifiers();
        SetLastError(EWOULDBLOCK);
        return -1;
    }
    // The outcome is still reported through the loop, as for a connect that fails later.
    SetLastError(error);
    PostEvent(kEventConnect, error);
    return -1;
}

int AsyncSocket::ConnectToHost(const QByteArray& hostName, quint16 port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = INADDR_NONE;
    in_addr parsed{};
    const bool dotted =
        !hostName.isEmpty() && !hostName.contains('\0') && ::inet_aton(hostName.constData(), &parsed) != 0;
    if (dotted) {
        address.sin_addr = parsed;
    }
    remote_ = address;
    if (notifier_) {
        notifier_->CancelLookup();
    }
    if (!dotted) {
        return StartLookup(hostName);
    }
    return ConnectToAddress(address);
}

int AsyncSocket::StartLookup(const QByteArray& hostName) {
    if (!notifier_) {
        SetLastError(EBADF);
        return -1;
    }
    notifier_->CancelLookup();
    notifier_->lookupPending = true;
    // The id is known only once lookupHost returns; results are matched against it. The handler
    // lives as long as the application and checks that the socket still exists.
    auto handler = [this, alive = std::weak_ptr<int>(alive_)](const QHostInfo& info) {
        if (alive.expired()) {
            return;
        }
        quint32 address = INADDR_NONE;
        bool ok = false;
        if (info.error() == QHostInfo::NoError) {
            for (const QHostAddress& candidate : info.addresses()) {
                bool isV4 = false;
                const quint32 v4 = candidate.toIPv4Address(&isV4);
                if (isV4 && candidate.protocol() == QAbstractSocket::IPv4Protocol) {
                    address = htonl(v4);
                    ok = true;
                    break;
                }
            }
        }
        DispatchLookup(info.lookupId(), ok, address);
    };
    notifier_->lookupId =
        QHostInfo::lookupHost(QString::fromUtf8(hostName), QCoreApplication::instance(), handler);
    return 1;
}

void AsyncSocket::DispatchLookup(int lookupId, bool ok, quint32 addressNetworkOrder) {
    if (!notifier_ || !notifier_->lookupPending || lookupId != notifier_->lookupId) {
        return; // a cancelled or superseded lookup
    }
    notifier_->lookupId = 0;
    notifier_->lookupPending = false;
    int error = 0;
    if (ok) {
        remote_.sin_addr.s_addr = addressNetworkOrder;
    } else {
        error = kLookupFailed;
        SetLastError(EINVAL);
    }
    OnHostResolved(error);
}

void AsyncSocket::PostEvent(SocketEvent event, int error) {
    QMetaObject::invokeMethod(
        &notifier_->context, [this, event, error] { Dispatch(event, error); }, Qt::QueuedConnection);
}

void AsyncSocket::Dispatch(SocketEvent event, int error) {
    if (!notifier_) {
        return;
    }
    const unsigned mask = notifier_->mask;
    switch (event) {
    case kEventConnect:
        if (mask & kEventConnect) {
            OnConnected(error);
        }
        break;
    case kEventWrite:
        if (mask & kEventWrite) {
            OnWritable(error);
        }
        break;
    case kEventRead:
        if (mask & kEventRead) {
            OnReadable(error);
        }
        break;
    case kEventUrgent:
        if (mask & kEventUrgent) {
            OnUrgentData(error);
        }
        break;
    case kEventAccept:
        if (mask & kEventAccept) {
            OnAcceptReady(error);
        }
        break;
    case kEventClose:
        if (error == ECONNABORTED) {
            return;
        }
        if (mask & kEventClose) {
            DropNotifier();
            OnPeerClosed(error);
        }
        break;
    }
}

void AsyncSocket::OnWriteReady() {
    Notifier& n = *notifier_;
    if (n.connecting) {
        OnConnectCompleted();
        return;
    }
    n.writeOwed = false;
    UpdateNotifiers();
    Dispatch(kEventWrite, 0);
}

void AsyncSocket::OnConnectCompleted() {
    Notifier& n = *notifier_;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(handle_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        error = errno;
    }
    n.connecting = false;
    n.connected = error == 0;
    UpdateNotifiers();
    if (error != 0) {
        SetLastError(error);
    }
    const std::weak_ptr<int> alive = alive_;
    Dispatch(kEventConnect, error);
    if (!alive.expired() && error == 0 && notifier_ && (notifier_->mask & kEventWrite)) {
        PostEvent(kEventWrite, 0);
    }
}

void AsyncSocket::OnReadReady() {
    Notifier& n = *notifier_;
    if (n.ReadAheadSize() == 0) {
        // One read tells bytes from a close, and the bytes it brings are the owner's first.
        const ssize_t got = ::recv(handle_, n.readAhead.data(), n.readAhead.size(), 0);
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            return;
        }
        if (got <= 0) {
            // Nothing to read: the peer has closed, or the connection broke.
            const int closeError = got == 0 ? 0 : errno;
            n.readArmed = false;
            UpdateNotifiers();
            Dispatch(kEventClose, closeError);
            return;
        }
        n.readAheadBegin = 0;
        n.readAheadEnd = static_cast<int>(got);
    }
    // The next read event waits until the owner has read.
    n.readArmed = false;
    UpdateNotifiers();
    Dispatch(kEventRead, 0);
}

void AsyncSocket::ArmRead() {
    Notifier& n = *notifier_;
    n.readArmed = true;
    UpdateNotifiers();
    // Bytes the owner left in the read-ahead buffer raise no readiness of the socket: their event is
    // posted instead.
    if (n.ReadAheadSize() > 0 && !n.readAheadPosted) {
        n.readAheadPosted = true;
        QMetaObject::invokeMethod(
            &n.context,
            [this] {
                notifier_->readAheadPosted = false;
                if (notifier_->readArmed && notifier_->ReadAheadSize() > 0) {
                    OnReadReady();
                }
            },
            Qt::QueuedConnection);
    }
}

qint64 AsyncSocket::TakeReadAhead(char* buffer, qint64 length) {
    Notifier& n = *notifier_;
    const qint64 taken = qMin<qint64>(length, n.ReadAheadSize());
    std::memcpy(buffer, n.readAhead.data() + n.readAheadBegin, static_cast<size_t>(taken));
    n.readAheadBegin += static_cast<int>(taken);
    // A read that filled the buffer to the brim likely left more waiting in the socket.
    const bool filled = n.readAheadEnd == static_cast<int>(n.readAhead.size());
    if (n.ReadAheadSize() > 0 || !filled || taken == length) {
        return taken;
    }
    // The rest of the request goes straight to the socket. What this read meets besides bytes is
    // kept for the next one, which would meet it too.
    const ssize_t more = ::recv(handle_, buffer + taken, static_cast<size_t>(length - taken), 0);
    if (more > 0) {
        return taken + more;
    }
    if (more == 0) {
        reachedEnd_ = true;
    } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        n.deferredError = errno;
    }
    return taken;
}

void AsyncSocket::OnUrgentReady() {
    notifier_->urgentArmed = false;
    UpdateNotifiers();
    Dispatch(kEventUrgent, 0);
}

qint64 AsyncSocket::Read(char* buffer, qint64 length) {
    if (handle_ < 0) {
        SetLastError(EBADF);
        return -1;
    }
    if (notifier_ && length > 0 && notifier_->ReadAheadSize() > 0) {
        const qint64 taken = TakeReadAhead(buffer, length);
        if (!notifier_->readArmed) {
            ArmRead();
        }
        return taken;
    }
    if (notifier_ && notifier_->deferredError != 0) {
        SetLastError(std::exchange(notifier_->deferredError, 0));
        return -1;
    }
    if (reachedEnd_) {
        return 0; // the end of a stream stays its end: no call to learn it again
    }
    const ssize_t got = ::recv(handle_, buffer, static_cast<size_t>(qMax<qint64>(length, 0)), 0);
    const int error = errno;
    if (notifier_ && !notifier_->readArmed) {
        ArmRead();
    }
    if (got < 0) {
        SetLastError(error == EAGAIN ? EWOULDBLOCK : error);
        return -1;
    }
    if (got == 0 && length > 0) {
        reachedEnd_ = true;
    }
    return got;
}

qint64 AsyncSocket::Write(const char* data, qint64 length) {
    if (handle_ < 0) {
        SetLastError(EBADF);
        return -1;
    }
    const ssize_t sent = ::send(handle_, data, static_cast<size_t>(qMax<qint64>(length, 0)), MSG_NOSIGNAL);
    if (sent < 0) {
        const int error = errno;
        SetLastError(error == EAGAIN ? EWOULDBLOCK : error);
        if ((error == EAGAIN || error == EWOULDBLOCK) && notifier_) {
            notifier_->writeOwed = true;
            UpdateNotifiers();
        }
        return -1;
    }
    return sent;
}

bool AsyncSocket::LocalAddress(sockaddr_in& address) const {
    socklen_t length = sizeof address;
    if (::getsockname(handle_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        SetLastError(errno);
        return false;
    }
    return true;
}

bool AsyncSocket::PeerAddress(sockaddr_in& address) const {
    if (peer_) {
        address = *peer_; // a connected socket's peer does not change; a close forgets it
        return true;
    }
    socklen_t length = sizeof address;
    if (::getpeername(handle_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        SetLastError(errno);
        return false;
    }
    peer_ = address;
    return true;
}

bool AsyncSocket::BytesAvailable(qint64& count) const {
    int pending = 0;
    if (::ioctl(handle_, FIONREAD, &pending) != 0) {
        SetLastError(errno);
        return false;
    }
    count = pending + (notifier_ ? notifier_->ReadAheadSize() : 0);
    return true;
}

bool AsyncSocket::Shutdown(int how) {
    if (::shutdown(handle_, how) != 0) {
        SetLastError(errno);
        return false;
    }
    return true;
}

void AsyncSocket::DropNotifier() {
    // Destroying the notifiers from inside their own activation is safe in Qt; queued events and
    // lookup results bound to the context die with it.
    notifier_.reset();
}

void AsyncSocket::CloseHandle() {
    peer_.reset();
    reachedEnd_ = false;
    if (handle_ >= 0) {
        ::shutdown(handle_, SHUT_WR);
        ::close(handle_);
        handle_ = -1;
    }
}

void AsyncSocket::CloseSocket() {
    DropNotifier();
    CloseHandle();
}

} // namespace tessaly
