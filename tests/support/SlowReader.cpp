#include "support/SlowReader.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tessaly::test {

namespace {

using Clock = std::chrono::steady_clock;

// How often the worker looks at the stop and release flags while it waits.
constexpr int kPollSliceMs = 20;

void CloseFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

} // namespace

class SlowReader::Impl {
public:
    Impl(int receiveBufferBytes, int bytesPerRead, int pauseMs, int timeoutMs)
        : bytesPerRead_(bytesPerRead), pauseMs_(pauseMs), timeout_(timeoutMs) {
        if (Listen(receiveBufferBytes)) {
            worker_ = std::thread([this] { Run(); });
        }
    }

    ~Impl() {
        stop_ = true;
        if (worker_.joinable()) {
            worker_.join();
        }
        CloseFd(connectionFd_);
        CloseFd(listenFd_);
    }

    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    quint16 port() const { return port_; }
    void release() { released_ = true; }
    bool connected() const { return connected_; }
    bool finished() const { return finished_; }

    QByteArray received() const {
        std::lock_guard lock(mutex_);
        return QByteArray(received_.data(), static_cast<qsizetype>(received_.size()));
    }

    std::string failure() const {
        std::lock_guard lock(mutex_);
        return failure_;
    }

private:
    bool Listen(int receiveBufferBytes) {
        listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (listenFd_ < 0 ||
            ::setsockopt(listenFd_, SOL_SOCKET, SO_RCVBUF, &receiveBufferBytes, sizeof(receiveBufferBytes)) !=
                0 ||
            ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            ::listen(listenFd_, 1) != 0 ||
            ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            Fail(std::string("cannot listen on 127.0.0.1: ") + std::strerror(errno));
            CloseFd(listenFd_);
            return false;
        }
        port_ = ntohs(address.sin_port);
        return true;
    }

    void Fail(const std::string& what) {
        {
            std::lock_guard lock(mutex_);
            failure_ = what;
        }
        finished_ = true;
    }

    // Waits for `events` on `fd` once `ready()` allows it; true when the fd has them. The time-out
    // runs from when `ready()` first holds: waiting for the test is no failure.
    template <typename Ready> bool WaitFor(int fd, short events, Ready ready, const char* what) {
        Clock::time_point deadline = Clock::now() + timeout_;
        while (!stop_) {
            if (!ready()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(kPollSliceMs));
                deadline = Clock::now() + timeout_;
                continue;
            }
            if (Clock::now() >= deadline) {
                Fail(std::string("timed out waiting ") + what);
                return false;
            }
            pollfd entry{fd, events, 0};
            if (::poll(&entry, 1, kPollSliceMs) > 0) {
                return true;
            }
        }
        return false;
    }

    void Run() {
        if (!WaitFor(
                listenFd_, POLLIN, [] { return true; }, "for the connection")) {
            return;
        }
        connectionFd_ = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (connectionFd_ < 0) {
            Fail(std::string("accept: ") + std::strerror(errno));
            return;
        }
        connected_ = true;
        std::vector<char> buffer(static_cast<std::size_t>(bytesPerRead_));
        for (;;) {
            if (!WaitFor(
                    connectionFd_, POLLIN, [this] { return released_.load(); }, "for data")) {
                return;
            }
            const ssize_t got = ::recv(connectionFd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
            if (got > 0) {
                std::lock_guard lock(mutex_);
                received_.insert(received_.end(), buffer.data(), buffer.data() + got);
            } else if (got == 0) {
                finished_ = true; // the client's close: the whole file is here
                return;
            } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                Fail(std::string("recv: ") + std::strerror(errno));
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs_));
        }
    }

    const int bytesPerRead_;
    const int pauseMs_;
    const std::chrono::milliseconds timeout_;
    quint16 port_ = 0;
    int listenFd_ = -1;
    int connectionFd_ = -1;
    std::atomic<bool> stop_ = false;
    std::atomic<bool> released_ = false;
    std::atomic<bool> connected_ = false;
    std::atomic<bool> finished_ = false;
    mutable std::mutex mutex_;
    std::vector<char> received_;
    std::string failure_;
    std::thread worker_; // last: starts after every member above exists
};

SlowReader::SlowReader(int receiveBufferBytes, int bytesPerRead, int pauseMs, int timeoutMs)
    : impl_(std::make_unique<Impl>(receiveBufferBytes, bytesPerRead, pauseMs, timeoutMs)) {}

SlowReader::~SlowReader() = default;

quint16 SlowReader::port() const {
    return impl_->port();
}

void SlowReader::release() {
    impl_->release();
}

bool SlowReader::connected() const {
    return impl_->connected();
}

bool SlowReader::finished() const {
    return impl_->finished();
}

QByteArray SlowReader::received() const {
    return impl_->received();
}

std::string SlowReader::failure() const {
    return impl_->failure();
}

} // namespace tessaly::test
