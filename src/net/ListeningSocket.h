#pragma once

#include <QtGlobal>
#include <functional>
#include <memory>
#include <netinet/in.h>

namespace tessaly {

// A non-blocking IPv4 listening socket whose pending connections are announced on the event loop.
// The active-mode data channel uses one: the server connects to it.
class ListeningSocket {
public:
    ListeningSocket();
    ~ListeningSocket();
    ListeningSocket(const ListeningSocket&) = delete;
    ListeningSocket& operator=(const ListeningSocket&) = delete;

    // Creates the socket bound to the any-address and a port the system picks. False with
    // LastError() set when that failed.
    bool Open();
    // Starts listening with a backlog of 5; from then on onAcceptReady runs for each connection that
    // waits to be accepted.
    bool Listen();
    // The accepted connection's handle (the caller owns it), or -1.
    int Accept();
    void Close();

    bool IsOpen() const { return handle_ >= 0; }
    quint16 PortNetworkOrder() const;
    int LastError() const { return lastError_; }

    std::function<void()> onAcceptReady;

private:
    class Notifier;
    int handle_ = -1;
    int lastError_ = 0;
    std::unique_ptr<Notifier> notifier_;
};

} // namespace tessaly
