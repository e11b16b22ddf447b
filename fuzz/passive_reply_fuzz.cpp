// PASV reply texts: whatever the server sends, the parser gives a dotted IPv4 address of four
// numbers and a port from 1 to 65535, or nothing.
#include "session/PassiveReply.h"

#include <arpa/inet.h>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto address = tessaly::ParsePassiveReply(text);
    if (address) {
        in_addr parsed{};
        if (address->port == 0 || ::inet_pton(AF_INET, address->host.constData(), &parsed) != 1) {
            std::abort();
        }
    }
    return 0;
}
