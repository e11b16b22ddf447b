#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QtGlobal>
#include <memory>
#include <string>

namespace tessaly::test {

// A byte-exact fake server on 127.0.0.1 that plays a script: the replies and faults real servers do
// not give on demand (replies split across TCP reads, a close before the welcome, an endless
// multi-line reply, SOCKS answers in pieces...).
//
// The script runs on the peer's own thread with blocking-style POSIX sockets, so it needs no Qt event
// loop: the test's main thread stays free to run the engine. Steps are appended fluently and run in
// order as soon as they are appended; a script may be extended while it runs:
//
//     ScriptedPeer peer;
//     peer.accept().send("220-Welcome\r\n").pause(50).send("220 ready\r\n")
//         .expectLine("USER alice").send("331 pw\r\n").expectLine("PASS secret").send("230 ok\r\n")
//         .expectLine("QUIT").send("221 bye\r\n").close();
//     ... start the engine on peer.port() ...
//     EXPECT_TRUE(peer.runEventLoopUntilFinished(5000));
//     EXPECT_EQ(peer.failureText(), "");
//
// Every wait (a connection, a line, bytes, the client's close, room to send) ends after the step
// time-out with a failure. The first failure ends the script: later steps are skipped and every
// connection is shut down (FIN), so the client under test sees the end instead of hanging.
//
// Connections are accepted as soon as they arrive, also while the script is elsewhere; accept()
// takes the oldest one not yet taken and makes it the current connection. Steps that talk act on
// the current connection. Everything received on any connection is recorded.
class ScriptedPeer {
public:
    static constexpr int kDefaultStepTimeoutMs = 10000;

    explicit ScriptedPeer(int stepTimeoutMs = kDefaultStepTimeoutMs);
    ~ScriptedPeer(); // stops the script wherever it waits, closes every socket
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    // The listening port on 127.0.0.1; 0 when the listener could not be set up (see failures()).
    quint16 port() const;

    // --- Script steps -------------------------------------------------------------------------------
    // Waits for the next client connection; it becomes the current one. Earlier ones stay open.
    ScriptedPeer& accept();
    // Makes connection `index` (0-based, in order of arrival) the current one.
    ScriptedPeer& useConnection(int index);
    // Writes all bytes, in one send() call as far as the kernel takes them (TCP_NODELAY is on).
    ScriptedPeer& send(const QByteArray& bytes);
    // Sends `bytes` in pieces of the given sizes with a pause after each; what the sizes do not cover
    // goes last. Each piece reaches the client in its own TCP read unless the client is very slow.
    ScriptedPeer& sendInPieces(const QByteArray& bytes, const QList<int>& pieceSizes, int pauseMs = 50);
    // Waits `ms` milliseconds (incoming data is still read and recorded meanwhile).
    ScriptedPeer& pause(int ms);
    // Sends `bytes` `count` times as one stream. When the client closes or resets the connection
    // meanwhile, the step ends without failure and the connection counts as closed by the client.
    ScriptedPeer& repeatSend(const QByteArray& bytes, int count);
    // Reads one line ending in CRLF or a bare LF and compares it, line end removed, with `line`.
    ScriptedPeer& expectLine(const QByteArray& line);
    // As expectLine(), but the line only has to start with `prefix`.
    ScriptedPeer& expectLinePrefix(const QByteArray& prefix);
    // Reads one line, whatever it holds.
    ScriptedPeer& readLine();
    // Reads exactly bytes.size() bytes and compares them (for binary protocols such as SOCKS).
    ScriptedPeer& expectBytes(const QByteArray& bytes);
    // Waits until the client closes the current connection; data it sends first is recorded.
    ScriptedPeer& expectClosedByClient();
    // Closes the current connection in an orderly way: the client reads everything sent, then EOF.
    ScriptedPeer& close();
    // Aborts the current connection with a TCP reset (the client sees "connection reset").
    ScriptedPeer& reset();
    // Stops listening: later connection attempts are refused. Accepted connections stay.
    ScriptedPeer& closeListener();

    // --- Results (callable from any thread while the script runs) -----------------------------------
    // True when every step appended so far has run, or a failure ended the script.
    bool finished() const;
    // Blocks the calling thread; use runEventLoopUntilFinished() on a thread that runs the engine.
    bool waitFinished(int timeoutMs) const;
    // Pumps the Qt event loop of the calling thread until finished() or the time-out.
    bool runEventLoopUntilFinished(int timeoutMs) const;
    QStringList failures() const;
    // The failures, one per line, empty without any: EXPECT_EQ(peer.failureText(), "") shows them.
    std::string failureText() const;
    // Every complete line received on any connection in order of arrival, line ends removed.
    QList<QByteArray> receivedLines() const;
    // Every byte received, all connections in order of arrival; or those of one connection.
    QByteArray receivedBytes() const;
    QByteArray receivedBytes(int connection) const;
    // How many client connections arrived so far, taken by accept() or not.
    int connectionCount() const;

    // Replies that point the client at a data port, e.g. of a second ScriptedPeer.
    static QByteArray pasvReplyFor(quint16 port); // "227 Entering Passive Mode (127,0,0,1,p1,p2).\r\n"
    static QByteArray epsvReplyFor(quint16 port); // "229 Entering Extended Passive Mode (|||port|)\r\n"

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace tessaly::test
