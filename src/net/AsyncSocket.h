#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <memory>
#include <netinet/in.h>
#include <optional>

namespace tessaly {

// The readiness events an owner can select. The numbers are the event codes of the socket layer
// (read 1, write 2, out-of-band 4, accept 8, connect 16, close 32).
enum SocketEvent : unsigned {
    kEventRead = 1,
    kEventWrite = 2,
    kEventUrgent = 4,
    kEventAccept = 8,
    kEventConnect = 16,
    kEventClose = 32,
};
inline constexpr unsigned kAllSocketEvents = 63;

// One non-blocking IPv4 stream socket whose readiness arrives on the Qt event loop as calls of its
// hooks, with the semantics owners of the socket rely on:
//  - a connect completes with exactly one OnConnected(error), always through the loop, even when the
//    kernel answered the connect at once (loopback);
//  - OnWritable comes once after the connect and then only after a write that would have blocked;
//  - OnReadable comes only while bytes are pending (never for zero bytes); after one OnReadable the
//    next comes only once the owner has called Read again, so an owner that stops reading gets no
//    further events and nothing spins;
//  - OnPeerClosed comes once, after the pending data has been read, when the peer has closed; a close
//    with ECONNABORTED is not reported;
//  - a host lookup that was cancelled is never reported.
// Errors are errno values; LastError() holds the errno of the last failing call.
class AsyncSocket {
public:
    AsyncSocket();
    virtual ~AsyncSocket();
    AsyncSocket(const AsyncSocket&) = delete;
    AsyncSocket& operator=(const AsyncSocket&) = delete;

    // Creates the socket, selects the events and binds it (localAddress: dotted-decimal text or
    // null for any). False with LastError() set when any step failed; the socket is then closed.
    bool Open(quint16 localPort = 0, unsigned eventMask = kAllSocketEvents,
              const char* localAddress = nullptr);

    // Starts a connect to the address. Returns 0 when the kernel connected at once, -1 otherwise
    // (LastError() EWOULDBLOCK while the connect is under way). Either way one OnConnected follows.
    virtual int ConnectToAddress(const sockaddr_in& address);
    // A dotted-decimal host connects at once (the result of ConnectToAddress); a name starts an
    // asynchronous lookup and returns 1, its outcome arriving through OnHostResolved. A lookup still
    // pending is cancelled first.
    virtual int ConnectToHost(const QByteArray& hostName, quint16 port);
    virtual void CloseSocket();
    // Non-blocking: the byte count, 0 at the end of the stream, -1 with LastError() set (EWOULDBLOCK
    // when nothing is there).
    virtual qint64 Read(char* buffer, qint64 length);
    virtual qint64 Write(const char* data, qint64 length);

    bool SelectEvents(unsigned eventMask);
    // Adopts a connected handle (an accepted connection): no connect event follows. The socket owns
    // the handle from here on, also when false is returned.
    bool AttachHandle(int handle, unsigned eventMask);
    bool BindLocal(quint16 localPort, const char* localAddress);
    bool LocalAddress(sockaddr_in& address) const;
    // The address of the connected peer (for a tunnel: the proxy server).
    bool PeerAddress(sockaddr_in& address) const;
    bool BytesAvailable(qint64& count) const;
    bool Shutdown(int how);

    bool IsOpen() const { return handle_ >= 0; }
    // A Read has met the end of the stream: the peer has closed and everything it sent is read.
    // The close event still follows; an owner that acts on this first need not wait for it.
    bool ReachedEnd() const { return reachedEnd_; }
    int Handle() const { return handle_; }
    int LastError() const { return lastError_; }
    // The target of the pending or current connect; after a successful lookup, the resolved address.
    const sockaddr_in& RemoteAddress() const { return remote_; }

protected:
    virtual void OnHostResolved(int /*error*/) {}
    virtual void OnConnected(int /*error*/) {}
    virtual void OnPeerClosed(int /*error*/) {}
    virtual void OnAcceptReady(int /*error*/) {}
    virtual void OnReadable(int /*error*/) {}
    virtual void OnWritable(int /*error*/) {}
    virtual void OnUrgentData(int /*error*/) {}

    void SetLastError(int error) const { lastError_ = error; }
    // Starts the asynchronous lookup of a name without touching the remote address record's port.
    int StartLookup(const QByteArray& hostName);
    void SetRemoteAddress(const sockaddr_in& address) { remote_ = address; }

private:
    class Notifier;
    friend class Notifier;

    void Dispatch(SocketEvent event, int error);
    void DispatchLookup(int lookupId, bool ok, quint32 addressNetworkOrder);
    void OnConnectCompleted();
    void OnReadReady();
    // Lets read events come again; bytes left in the read-ahead buffer get an event of their own.
    void ArmRead();
    qint64 TakeReadAhead(char* buffer, qint64 length);
    void OnWriteReady();
    void OnUrgentReady();
    void PostEvent(SocketEvent event, int error);
    void UpdateNotifiers();
    void DropNotifier();
    void CloseHandle();

    int handle_ = -1;
    std::unique_ptr<Notifier> notifier_;
    sockaddr_in remote_{};
    mutable int lastError_ = 0;
    mutable std::optional<sockaddr_in> peer_; // known once asked for while connected
    bool reachedEnd_ = false;
    // Expires when the socket object is destroyed, so a dispatch can tell that a hook deleted it.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace tessaly
