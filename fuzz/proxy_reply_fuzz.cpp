// Proxy replies of every kind: the first byte picks the proxy kind and credentials, the second the
// piece size; the rest is what the proxy sends. The negotiation must never take more than it asked
// for, never ask for more once it ended, and end in a defined state.
#include "net/ProxyNegotiation.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace tessaly;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const auto kind = static_cast<ProxyKind>(1 + data[0] % 4);
    const bool credentials = (data[0] & 0x10) != 0;
    const bool byName = (data[0] & 0x20) != 0;
    const int piece = 1 + data[1] % 32;
    ProxyTarget target{byName ? QByteArray("ftp.example.org") : QByteArray(), byName ? 0u : 0x0100007fu, 21};
    ProxyNegotiation n(kind, target, credentials ? "user" : "", credentials ? "pass" : "");
    if (n.FirstRequest().isEmpty()) {
        std::abort();
    }
    const char* reply = reinterpret_cast<const char*>(data + 2);
    const size_t length = size - 2;
    size_t at = 0;
    while (at < length && n.Wanted() > 0) {
        const int wanted = n.Wanted();
        const int take = static_cast<int>(std::min<size_t>({size_t(wanted), size_t(piece), length - at}));
        const QByteArray request = n.Feed(reply + at, take);
        if (request.size() > 600) {
            std::abort();
        }
        at += static_cast<size_t>(take);
    }
    if (n.state() == ProxyNegotiation::State::Negotiating && at < length) {
        std::abort(); // bytes were left while the negotiation still wanted some
    }
    if (n.state() != ProxyNegotiation::State::Negotiating && n.Wanted() != 0) {
        std::abort();
    }
    if (n.state() == ProxyNegotiation::State::Failed && (n.Error() < 1 || n.Error() > 7)) {
        std::abort();
    }
    return 0;
}
