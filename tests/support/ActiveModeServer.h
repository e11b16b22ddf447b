#pragma once

#include "support/ScriptedPeer.h"

#include <QByteArray>
#include <QtGlobal>

namespace tessaly {
class SessionEngine;
}

namespace tessaly::test {

// The server's side of an active-mode data connection, for scripts whose control connection is a
// ScriptedPeer: where the client listens, and connections to it.

// The port of the client's last PORT command received by `control`, or 0.
quint16 AnnouncedPort(const ScriptedPeer& control);

// Connects to 127.0.0.1:port from the given source address; the socket, or -1.
int ConnectFrom(const char* source, quint16 port);

// As the server does: connects to the port the client announced, sends `bytes` and closes. True
// when all of it was sent.
bool ConnectSendAndClose(const ScriptedPeer& control, const QByteArray& bytes);

// Hands the engine its control connection's readable event at once, ahead of anything else the
// event loop would announce first (a connection waiting at the listener, say).
void DeliverControlReadable(SessionEngine& engine);

} // namespace tessaly::test
