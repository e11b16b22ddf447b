#include "support/ScriptedPeer.h"

#include "support/EventPump.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tessaly::test {

namespace {

using Clock = std::chrono::steady_clock;

// The worker thread and the test thread share no QByteArray data: everything that crosses the mutex
// is copied into a fresh buffer, so no reference count is ever touched from two threads.
QByteArray deepCopy(const QByteArray& bytes) {
    return QByteArray(bytes.constData(), bytes.size());
}

// Bytes as a quoted C-like literal for failure messages, cut after 200 bytes.
QByteArray quoted(const QByteArray& bytes) {
    static constexpr qsizetype kShown = 200;
    static constexpr char kHex[] = "0123456789abcdef";
    QByteArray out = "\"";
    for (qsizetype i = 0; i < bytes.size() && i < kShown; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0xf];
        }
    }
    out += '"';
    if (bytes.size() > kShown) {
        out += "... (" + QByteArray::number(bytes.size()) + " bytes)";
    }
    return out;
}

QByteArray errnoText(int error) {
    return QByteArray(std::strerror(error));
}

enum class Kind {
    Accept,
    UseConnection,
    Send,
    Pause,
    RepeatSend,
    ExpectLine,
    ExpectLinePrefix,
    ReadLine,
    ExpectBytes,
    ExpectClosedByClient,
    Close,
    Reset,
    CloseListener,
};

struct Step {
    Kind kind = Kind::Accept;
    QByteArray bytes;
    int value = 0; // milliseconds, a repeat count or a connection index
    int number = 0;
};

QByteArray describe(const Step& step) {
    switch (step.kind) {
    case Kind::Accept:
        return "accept()";
    case Kind::UseConnection:
        return "useConnection(" + QByteArray::number(step.value) + ")";
    case Kind::Send:
        return "send(" + quoted(step.bytes) + ")";
    case Kind::Pause:
        return "pause(" + QByteArray::number(step.value) + ")";
    case Kind::RepeatSend:
        return "repeatSend(" + quoted(step.bytes) + ", " + QByteArray::number(step.value) + ")";
    case Kind::ExpectLine:
        return "expectLine(" + quoted(step.bytes) + ")";
    case Kind::ExpectLinePrefix:
        return "expectLinePrefix(" + quoted(step.bytes) + ")";
    case Kind::ReadLine:
        return "readLine()";
    case Kind::ExpectBytes:
        return "expectBytes(" + quoted(step.bytes) + ")";
    case Kind::ExpectClosedByClient:
        return "expectClosedByClient()";
    case Kind::Close:
        return "close()";
    case Kind::Reset:
        return "reset()";
    case Kind::CloseListener:
        return "closeListener()";
    }
    return "?";
}

// One accepted client connection, owned by the worker thread.
struct Connection {
    int fd = -1;
    QByteArray inbox;          // received, not yet consumed by a step
    QByteArray pendingLine;    // received after the last line end, for the line record
    bool clientClosed = false; // recv() saw the end (FIN or reset), or send() saw the client gone
    bool closedByUs = false;   // we sent FIN (fd kept to read until the client closes) or a reset
};

enum class Wait { Ready, TimedOut, Stopped };
enum class SendResult { Sent, ClientGone, TimedOut, Stopped };

} // namespace

class ScriptedPeer::Impl {
public:
    explicit Impl(int stepTimeoutMs) : stepTimeout_(std::chrono::milliseconds(stepTimeoutMs)) {
        int pipeFds[2] = {-1, -1};
        if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
            failures_.push_back("setup: pipe2() failed: " + errnoText(errno));
            ended_ = true;
            return;
        }
        wakeRead_ = pipeFds[0];
        wakeWrite_ = pipeFds[1];
        if (!listen()) {
            ended_ = true;
        }
        worker_ = std::thread([this] { run(); });
    }

    ~Impl() {
        stop_ = true;
        wake();
        if (worker_.joinable()) {
            worker_.join();
        }
        for (Connection& connection : connections_) {
            closeFd(connection.fd);
        }
        closeFd(listenFd_);
        closeFd(wakeRead_);
        closeFd(wakeWrite_);
    }

    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    quint16 port() const { return port_; }

    void append(Kind kind, const QByteArray& bytes = {}, int value = 0) {
        {
            std::lock_guard lock(mutex_);
            Step step;
            step.kind = kind;
            step.bytes = deepCopy(bytes);
            step.value = value;
            step.number = static_cast<int>(steps_.size()) + 1;
            steps_.push_back(std::move(step));
        }
        wake();
    }

    bool finished() const {
        std::lock_guard lock(mutex_);
        return finishedLocked();
    }

    bool waitFinished(int timeoutMs) const {
        std::unique_lock lock(mutex_);
        return finishedCondition_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                           [this] { return finishedLocked(); });
    }

    QStringList failures() const {
        std::lock_guard lock(mutex_);
        QStringList out;
        for (const QByteArray& failure : failures_) {
            out.push_back(QString::fromUtf8(failure));
        }
        return out;
    }

    QList<QByteArray> receivedLines() const {
        std::lock_guard lock(mutex_);
        QList<QByteArray> out;
        out.reserve(lines_.size());
        for (const QByteArray& line : lines_) {
            out.push_back(deepCopy(line));
        }
        return out;
    }

    QByteArray receivedBytes() const {
        std::lock_guard lock(mutex_);
        return deepCopy(allBytes_);
    }

    QByteArray receivedBytes(int connection) const {
        std::lock_guard lock(mutex_);
        if (connection < 0 || static_cast<size_t>(connection) >= bytesPerConnection_.size()) {
            return {};
        }
        return deepCopy(bytesPerConnection_[static_cast<size_t>(connection)]);
    }

    int connectionCount() const {
        std::lock_guard lock(mutex_);
        return static_cast<int>(bytesPerConnection_.size());
    }

private:
    // --- Shared state, guarded by mutex_ -------------------------------------------------------------
    bool finishedLocked() const { return ended_ || (nextStep_ == steps_.size() && !running_); }

    bool hasStepToRun() const {
        std::lock_guard lock(mutex_);
        return !ended_ && nextStep_ < steps_.size();
    }

    // --- Set-up ---------------------------------------------------------------------------------------
    bool listen() {
        listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (listenFd_ < 0) {
            failures_.push_back("setup: socket() failed: " + errnoText(errno));
            return false;
        }
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        socklen_t length = sizeof(address);
        if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            ::listen(listenFd_, 16) != 0 ||
            ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            failures_.push_back("setup: cannot listen on 127.0.0.1: " + errnoText(errno));
            closeFd(listenFd_);
            return false;
        }
        port_ = ntohs(address.sin_port);
        return true;
    }

    static void closeFd(int& fd) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }

    void wake() const {
        if (wakeWrite_ >= 0) {
            const char byte = 'w';
            [[maybe_unused]] const ssize_t written = ::write(wakeWrite_, &byte, 1); // full pipe: awake anyway
        }
    }

    // --- The worker thread ----------------------------------------------------------------------------
    void run() {
        while (!stop_) {
            std::optional<Step> step;
            {
                std::lock_guard lock(mutex_);
                if (!ended_ && nextStep_ < steps_.size()) {
                    const Step& next = steps_[nextStep_++];
                    step = Step{next.kind, deepCopy(next.bytes), next.value, next.number};
                    running_ = true;
                }
            }
            if (!step) {
                // Idle: keep reading and accepting until more steps come or the peer is destroyed.
                waitUntil(std::nullopt, [this] { return hasStepToRun(); });
                continue;
            }
            std::optional<QByteArray> failure = execute(*step);
            if (failure && !stop_) {
                shutDownAll();
            }
            {
                std::lock_guard lock(mutex_);
                running_ = false;
                if (failure && !stop_) {
                    failures_.push_back("step " + QByteArray::number(step->number) + " " + describe(*step) +
                                        ": " + *failure);
                    ended_ = true;
                }
            }
            finishedCondition_.notify_all();
        }
    }

    // Runs one step; returns what went wrong, if anything.
    std::optional<QByteArray> execute(const Step& step) {
        switch (step.kind) {
        case Kind::Accept:
            return doAccept();
        case Kind::UseConnection:
            if (step.value < 0 || static_cast<size_t>(step.value) >= connections_.size()) {
                return "there is no connection " + QByteArray::number(step.value) + " (" +
                       QByteArray::number(connections_.size()) + " arrived)";
            }
            std::erase(backlog_, step.value);
            current_ = step.value;
            return std::nullopt;
        case Kind::Pause:
            waitUntil(Clock::now() + std::chrono::milliseconds(step.value), [] { return false; });
            return std::nullopt;
        case Kind::CloseListener:
            acceptPending();
            closeFd(listenFd_);
            return std::nullopt;
        default:
            break;
        }
        if (current_ < 0) {
            return QByteArray("no current connection (accept() missing)");
        }
        Connection& connection = connections_[static_cast<size_t>(current_)];
        switch (step.kind) {
        case Kind::Send:
            return doSend(connection, step.bytes);
        case Kind::RepeatSend:
            return doRepeatSend(connection, step.bytes, step.value);
        case Kind::ExpectLine:
        case Kind::ExpectLinePrefix:
        case Kind::ReadLine:
            return doReadLine(connection, step);
        case Kind::ExpectBytes:
            return doExpectBytes(connection, step.bytes);
        case Kind::ExpectClosedByClient:
            return doExpectClosedByClient(connection);
        case Kind::Close:
            closeOrderly(connection);
            return std::nullopt;
        case Kind::Reset:
            closeWithReset(connection);
            return std::nullopt;
        default:
            return std::nullopt;
        }
    }

    std::optional<QByteArray> doAccept() {
        const Wait wait = waitUntil(stepDeadline(), [this] { return !backlog_.empty(); });
        if (wait == Wait::TimedOut) {
            return timedOut("waiting for a connection");
        }
        if (wait == Wait::Ready) {
            current_ = backlog_.front();
            backlog_.pop_front();
        }
        return std::nullopt;
    }

    std::optional<QByteArray> doSend(Connection& connection, const QByteArray& bytes) {
        if (connection.closedByUs) {
            return QByteArray("the connection is already closed");
        }
        switch (sendAll(connection, bytes)) {
        case SendResult::ClientGone:
            return QByteArray("the client closed the connection");
        case SendResult::TimedOut:
            return timedOut("waiting for the client to read");
        case SendResult::Sent:
        case SendResult::Stopped:
            break;
        }
        return std::nullopt;
    }

    std::optional<QByteArray> doRepeatSend(Connection& connection, const QByteArray& bytes, int count) {
        if (connection.closedByUs) {
            return QByteArray("the connection is already closed");
        }
        if (bytes.isEmpty() || count <= 0) {
            return std::nullopt;
        }
        // Batches of about 64 KiB keep the system calls few; the stream is the same.
        const int perBatch = std::max<int>(1, static_cast<int>(65536 / bytes.size()));
        const QByteArray batch = bytes.repeated(std::min(perBatch, count));
        for (int left = count; left > 0;) {
            const int now = std::min(perBatch, left);
            const SendResult result = sendAll(connection, now == perBatch ? batch : bytes.repeated(now));
            if (result == SendResult::TimedOut) {
                return timedOut("waiting for the client to read or close");
            }
            if (result != SendResult::Sent) {
                break; // the client went away (expected for floods), or the peer is being destroyed
            }
            left -= now;
        }
        return std::nullopt;
    }

    std::optional<QByteArray> doReadLine(Connection& connection, const Step& step) {
        const Wait wait = waitUntil(stepDeadline(), [&connection] {
            return connection.inbox.contains('\n') || connection.clientClosed;
        });
        if (wait == Wait::Stopped) {
            return std::nullopt;
        }
        const qsizetype end = connection.inbox.indexOf('\n');
        if (end < 0) {
            const QByteArray what = wait == Wait::TimedOut ? timedOut("waiting for a line")
                                                           : QByteArray("the client closed the connection");
            return connection.inbox.isEmpty() ? what : what + " after " + quoted(connection.inbox);
        }
        QByteArray line = connection.inbox.left(end);
        connection.inbox.remove(0, end + 1);
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        const bool matches = step.kind == Kind::ReadLine ||
                             (step.kind == Kind::ExpectLine && line == step.bytes) ||
                             (step.kind == Kind::ExpectLinePrefix && line.startsWith(step.bytes));
        if (!matches) {
            return "expected " + quoted(step.bytes) + (step.kind == Kind::ExpectLinePrefix ? "..." : "") +
                   " got " + quoted(line);
        }
        return std::nullopt;
    }

    std::optional<QByteArray> doExpectBytes(Connection& connection, const QByteArray& expected) {
        const Wait wait = waitUntil(stepDeadline(), [&] {
            return connection.inbox.size() >= expected.size() || connection.clientClosed;
        });
        if (wait == Wait::Stopped) {
            return std::nullopt;
        }
        if (connection.inbox.size() < expected.size()) {
            const QByteArray what = wait == Wait::TimedOut ? timedOut("waiting for bytes")
                                                           : QByteArray("the client closed the connection");
            return what + " after " + quoted(connection.inbox);
        }
        const QByteArray got = connection.inbox.left(expected.size());
        connection.inbox.remove(0, expected.size());
        if (got != expected) {
            return "expected " + quoted(expected) + " got " + quoted(got);
        }
        return std::nullopt;
    }

    std::optional<QByteArray> doExpectClosedByClient(Connection& connection) {
        if (waitUntil(stepDeadline(), [&connection] { return connection.clientClosed; }) == Wait::TimedOut) {
            return timedOut("waiting for the client to close");
        }
        return std::nullopt;
    }

    // --- Socket work ----------------------------------------------------------------------------------
    Clock::time_point stepDeadline() const { return Clock::now() + stepTimeout_; }

    QByteArray timedOut(const char* what) const {
        return "timed out after " + QByteArray::number(static_cast<qint64>(stepTimeout_.count())) + " ms " +
               what;
    }

    // Sends everything; the time-out counts from the last progress, so a slow reader is no failure.
    SendResult sendAll(Connection& connection, const QByteArray& bytes) {
        qsizetype offset = 0;
        Clock::time_point deadline = stepDeadline();
        while (offset < bytes.size()) {
            if (connection.fd < 0 || connection.closedByUs) {
                return SendResult::ClientGone;
            }
            const ssize_t sent =
                ::send(connection.fd, bytes.constData() + offset, static_cast<size_t>(bytes.size() - offset),
                       MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent > 0) {
                offset += sent;
                deadline = stepDeadline();
                continue;
            }
            if (sent < 0 && errno == EINTR) {
                continue;
            }
            if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                writeFd_ = connection.fd;
                writable_ = false;
                const Wait wait = waitUntil(deadline, [this] { return writable_; });
                writeFd_ = -1;
                if (wait == Wait::TimedOut) {
                    return SendResult::TimedOut;
                }
                if (wait == Wait::Stopped) {
                    return SendResult::Stopped;
                }
                continue;
            }
            connection.clientClosed = true; // EPIPE, ECONNRESET: nobody is reading any more
            return SendResult::ClientGone;
        }
        return SendResult::Sent;
    }

    // Waits, reading from every connection and accepting new ones, until `ready()` holds, the
    // deadline passes (none: wait for ever) or the peer is being destroyed.
    template <typename Ready> Wait waitUntil(std::optional<Clock::time_point> deadline, Ready ready) {
        for (;;) {
            if (stop_) {
                return Wait::Stopped;
            }
            if (ready()) {
                return Wait::Ready;
            }
            int timeoutMs = 1000;
            if (deadline) {
                const auto now = Clock::now();
                if (now >= *deadline) {
                    return Wait::TimedOut;
                }
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - now).count();
                timeoutMs = static_cast<int>(std::min<decltype(left)>(left, timeoutMs));
            }
            pollOnce(timeoutMs);
        }
    }

    void pollOnce(int timeoutMs) {
        std::vector<pollfd> fds;
        std::vector<size_t> connectionOf; // index into connections_ for fds[2...]
        fds.push_back({wakeRead_, POLLIN, 0});
        fds.push_back({listenFd_, POLLIN, 0}); // fd -1 is ignored by poll()
        for (size_t i = 0; i < connections_.size(); ++i) {
            const Connection& connection = connections_[i];
            if (connection.fd < 0) {
                continue;
            }
            short events = connection.clientClosed ? 0 : POLLIN;
            if (connection.fd == writeFd_) {
                events |= POLLOUT;
            }
            if (events != 0) {
                fds.push_back({connection.fd, events, 0});
                connectionOf.push_back(i);
            }
        }
        if (::poll(fds.data(), fds.size(), timeoutMs) <= 0) {
            return; // time-out or EINTR: the caller checks its deadline
        }
        if (fds[0].revents != 0) {
            char drain[64];
            while (::read(wakeRead_, drain, sizeof(drain)) > 0) {
            }
        }
        if (fds[1].revents != 0) {
            acceptPending();
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            const short revents = fds[i].revents;
            Connection& connection = connections_[connectionOf[i - 2]];
            if ((revents & (POLLOUT | POLLERR | POLLHUP)) != 0 && connection.fd == writeFd_) {
                writable_ = true; // on an error the next send() reports it
            }
            if ((revents & (POLLIN | POLLERR | POLLHUP)) != 0 && !connection.clientClosed) {
                readAvailable(connectionOf[i - 2]);
            }
        }
    }

    void acceptPending() {
        while (listenFd_ >= 0) {
            const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd < 0) {
                return; // EAGAIN: none left; anything else: try again on the next poll
            }
            const int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
            Connection connection;
            connection.fd = fd;
            connections_.push_back(std::move(connection));
            backlog_.push_back(static_cast<int>(connections_.size()) - 1);
            std::lock_guard lock(mutex_);
            bytesPerConnection_.emplace_back();
        }
    }

    void readAvailable(size_t index) {
        Connection& connection = connections_[index];
        char buffer[65536];
        for (;;) {
            const ssize_t received = ::recv(connection.fd, buffer, sizeof(buffer), MSG_DONTWAIT);
            if (received > 0) {
                const QByteArray data(buffer, received);
                connection.inbox += data;
                record(index, connection, data);
                continue;
            }
            if (received < 0 && errno == EINTR) {
                continue;
            }
            if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                return;
            }
            connection.clientClosed = true; // 0: orderly close; otherwise a reset or another error
            if (connection.closedByUs) {
                closeFd(connection.fd);
            }
            return;
        }
    }

    void record(size_t index, Connection& connection, const QByteArray& data) {
        connection.pendingLine += data;
        std::lock_guard lock(mutex_);
        allBytes_ += data;
        bytesPerConnection_[index] += data;
        for (qsizetype end = connection.pendingLine.indexOf('\n'); end >= 0;
             end = connection.pendingLine.indexOf('\n')) {
            QByteArray line = connection.pendingLine.left(end);
            connection.pendingLine.remove(0, end + 1);
            if (line.endsWith('\r')) {
                line.chop(1);
            }
            lines_.push_back(line);
        }
    }

    // FIN after everything sent; the socket stays open to read until the client closes, so data the
    // client sends meanwhile cannot turn the close into a reset that would discard our last reply.
    void closeOrderly(Connection& connection) {
        if (connection.fd < 0 || connection.closedByUs) {
            return;
        }
        connection.closedByUs = true;
        if (connection.clientClosed) {
            closeFd(connection.fd);
        } else {
            ::shutdown(connection.fd, SHUT_WR);
        }
    }

    void closeWithReset(Connection& connection) {
        if (connection.fd < 0) {
            return;
        }
        const linger hard{1, 0};
        ::setsockopt(connection.fd, SOL_SOCKET, SO_LINGER, &hard, sizeof(hard));
        closeFd(connection.fd);
        connection.closedByUs = true;
        connection.clientClosed = true;
    }

    void shutDownAll() {
        for (Connection& connection : connections_) {
            closeOrderly(connection);
        }
    }

    const std::chrono::milliseconds stepTimeout_;
    quint16 port_ = 0;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::atomic<bool> stop_ = false;

    // Worker thread only (set up before it starts, released after it ends).
    int listenFd_ = -1;
    // A deque: a step keeps a reference to its connection while waiting, and connections that
    // arrive meanwhile must not move it.
    std::deque<Connection> connections_;
    std::deque<int> backlog_; // accepted by the kernel, not yet taken by an accept() step
    int current_ = -1;
    int writeFd_ = -1;
    bool writable_ = false;

    // Shared, guarded by mutex_.
    mutable std::mutex mutex_;
    mutable std::condition_variable finishedCondition_;
    std::vector<Step> steps_;
    size_t nextStep_ = 0;
    bool running_ = false;
    bool ended_ = false;
    std::vector<QByteArray> failures_;
    std::vector<QByteArray> lines_;
    QByteArray allBytes_;
    std::vector<QByteArray> bytesPerConnection_;

    std::thread worker_; // last: starts after every member above exists
};

ScriptedPeer::ScriptedPeer(int stepTimeoutMs) : impl_(std::make_unique<Impl>(stepTimeoutMs)) {}

ScriptedPeer::~ScriptedPeer() = default;

quint16 ScriptedPeer::port() const {
    return impl_->port();
}

ScriptedPeer& ScriptedPeer::accept() {
    impl_->append(Kind::Accept);
    return *this;
}

ScriptedPeer& ScriptedPeer::useConnection(int index) {
    impl_->append(Kind::UseConnection, {}, index);
    return *this;
}

ScriptedPeer& ScriptedPeer::send(const QByteArray& bytes) {
    impl_->append(Kind::Send, bytes);
    return *this;
}

ScriptedPeer& ScriptedPeer::sendInPieces(const QByteArray& bytes, const QList<int>& pieceSizes, int pauseMs) {
    qsizetype offset = 0;
    for (const int size : pieceSizes) {
        if (offset >= bytes.size()) {
            break;
        }
        send(bytes.mid(offset, size));
        pause(pauseMs);
        offset += size;
    }
    if (offset < bytes.size()) {
        send(bytes.mid(offset));
    }
    return *this;
}

ScriptedPeer& ScriptedPeer::pause(int ms) {
    impl_->append(Kind::Pause, {}, ms);
    return *this;
}

ScriptedPeer& ScriptedPeer::repeatSend(const QByteArray& bytes, int count) {
    impl_->append(Kind::RepeatSend, bytes, count);
    return *this;
}

ScriptedPeer& ScriptedPeer::expectLine(const QByteArray& line) {
    impl_->append(Kind::ExpectLine, line);
    return *this;
}

ScriptedPeer& ScriptedPeer::expectLinePrefix(const QByteArray& prefix) {
    impl_->append(Kind::ExpectLinePrefix, prefix);
    return *this;
}

ScriptedPeer& ScriptedPeer::readLine() {
    impl_->append(Kind::ReadLine);
    return *this;
}

ScriptedPeer& ScriptedPeer::expectBytes(const QByteArray& bytes) {
    impl_->append(Kind::ExpectBytes, bytes);
    return *this;
}

ScriptedPeer& ScriptedPeer::expectClosedByClient() {
    impl_->append(Kind::ExpectClosedByClient);
    return *this;
}

ScriptedPeer& ScriptedPeer::close() {
    impl_->append(Kind::Close);
    return *this;
}

ScriptedPeer& ScriptedPeer::reset() {
    impl_->append(Kind::Reset);
    return *this;
}

ScriptedPeer& ScriptedPeer::closeListener() {
    impl_->append(Kind::CloseListener);
    return *this;
}

bool ScriptedPeer::finished() const {
    return impl_->finished();
}

bool ScriptedPeer::waitFinished(int timeoutMs) const {
    return impl_->waitFinished(timeoutMs);
}

bool ScriptedPeer::runEventLoopUntilFinished(int timeoutMs) const {
    return pumpEventsUntil([this] { return finished(); }, timeoutMs);
}

QStringList ScriptedPeer::failures() const {
    return impl_->failures();
}

std::string ScriptedPeer::failureText() const {
    return failures().join(u'\n').toStdString();
}

QList<QByteArray> ScriptedPeer::receivedLines() const {
    return impl_->receivedLines();
}

QByteArray ScriptedPeer::receivedBytes() const {
    return impl_->receivedBytes();
}

QByteArray ScriptedPeer::receivedBytes(int connection) const {
    return impl_->receivedBytes(connection);
}

int ScriptedPeer::connectionCount() const {
    return impl_->connectionCount();
}

QByteArray ScriptedPeer::pasvReplyFor(quint16 port) {
    return "227 Entering Passive Mode (127,0,0,1," + QByteArray::number(port >> 8) + "," +
           QByteArray::number(port & 0xff) + ").\r\n";
}

QByteArray ScriptedPeer::epsvReplyFor(quint16 port) {
    return "229 Entering Extended Passive Mode (|||" + QByteArray::number(port) + "|)\r\n";
}

} // namespace tessaly::test
