#pragma once

#include <QtGlobal>

namespace tessaly::test {

// A TCP port on 127.0.0.1 that nothing is bound to right now (the kernel's pick); 0 when none.
quint16 FindFreeTcpPort();

// The first of `count` consecutive TCP ports on 127.0.0.1 that are all free right now; 0 when none was
// found. The block is picked at random below the kernel's ephemeral range, so that outgoing client
// sockets do not take its ports before the server binds them.
quint16 FindFreeTcpPortRange(int count);

// True when a listening socket could bind 127.0.0.1:port now (with SO_REUSEADDR, as servers do).
bool IsTcpPortFree(quint16 port);

// True as soon as 127.0.0.1:port accepts a connection; false once timeoutMs have passed. Every
// attempt that succeeds is closed again at once.
bool WaitForTcpPort(quint16 port, int timeoutMs);

} // namespace tessaly::test
