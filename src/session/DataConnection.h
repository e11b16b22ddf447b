#pragma once

#include "net/ProxyTunnel.h"

namespace tessaly {

class SessionEngine;

// The data connection of one listing or one file: a proxy tunnel whose events go to the session
// engine after the tunnel's own handling, so it goes through the same SOCKS or HTTP proxy as the
// control connection.
class DataConnection : public ProxyTunnel {
public:
    explicit DataConnection(SessionEngine& engine) : engine_(engine) {}

    // Opened for a command the user typed: what it carries is dropped, and the reply that ends the
    // command ends the connection too.
    bool raw = false;

protected:
    void OnHostResolved(int error) override;
    void OnConnected(int error) override;
    void OnPeerClosed(int error) override;
    void OnReadable(int error) override;
    void OnWritable(int error) override;

private:
    SessionEngine& engine_;
};

} // namespace tessaly
