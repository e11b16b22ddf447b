#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <memory>
#include <string>

namespace tessaly::test {

// The server end of an upload's data connection that reads as slowly as a test needs: a listener on
// 127.0.0.1 with a small receive buffer (set before listen(), so the accepted connection has it from
// its first segment) takes one connection and reads nothing until release(); then it reads at most
// `bytesPerRead` bytes at a time, pausing `pauseMs` after each read, until the client closes. The
// client's sends meanwhile fill both socket buffers and would block.
//
// It runs on its own thread with plain POSIX sockets; every wait ends after `timeoutMs` without
// progress, with a failure.
class SlowReader {
public:
    SlowReader(int receiveBufferBytes, int bytesPerRead, int pauseMs, int timeoutMs = 10000);
    ~SlowReader(); // stops the thread wherever it waits, closes both sockets
    SlowReader(const SlowReader&) = delete;
    SlowReader& operator=(const SlowReader&) = delete;

    quint16 port() const;
    // Reading starts (once the connection has come).
    void release();
    bool connected() const;
    // The client closed the connection after release(), or a failure ended the reading.
    bool finished() const;
    QByteArray received() const;
    // Empty without a failure.
    std::string failure() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace tessaly::test
