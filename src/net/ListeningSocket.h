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
    // One accepted connection: its handle (the caller owns it) and where it came from; handle -1
    // when nothing was accepted.
    struct Accepted {
        int handle = -1;
        sockaddr_in peer{};
    };

    ListeningSocket();
    ~ListeningSocket();
    ListeningSocket(const ListeningSocket&) = delete;
    ListeningSocket& operator=(const ListeningSocket&) = delete;

    // Creates the socket bound to the given address (network order; 0 is the any-address) and a port
    // the system picks. False with LastError() set when that failed.
    bool Open(quint32 addressNetworkOrder = 0);
    // Starts listening with a backlog of 5; from then on onAcceptReady runs for each connection that
    // waits to be accepted.
    bool Listen();
    // Takes the oldest waiting connection. A connection that went away before it was taken is no
    // failure (nothing is accepted); a failure that will not pass by itself (no descriptors left)
    // stops the announcements, so a connection that cannot be taken does not keep waking the loop,
    // and HasFailed() tells so.
    Accepted Accept();
    void Close();

    bool IsOpen() const { return handle_ >= 0; }
    bool HasFailed() const { return failed_; }
    quint16 PortNetworkOrder() const;
    int LastError() const { return lastError_; }

    std::function<void()> onAcceptReady;

private:
    class Notifier;
    int handle_ = -1;
    int lastError_ = 0;
    bool failed_ = false;
    std::unique_ptr<Notifier> notifier_;
};

} // namespace tessaly
