#include "session/DataConnection.h"

#include "session/SessionEngine.h"

namespace tessaly {

void DataConnection::OnHostResolved(int error) {
    ProxyTunnel::OnHostResolved(error);
    engine_.OnDataHostResolved(error);
}

void DataConnection::OnConnected(int error) {
    ProxyTunnel::OnConnected(error);
    engine_.OnDataConnected(error);
}

void DataConnection::OnPeerClosed(int error) {
    ProxyTunnel::OnPeerClosed(error);
    engine_.OnDataClosed(error);
}

void DataConnection::OnReadable(int error) {
    ProxyTunnel::OnReadable(error);
    engine_.OnDataReadable(error);
}

void DataConnection::OnWritable(int error) {
    ProxyTunnel::OnWritable(error);
    engine_.OnDataWritable(error);
}

} // namespace tessaly
