// Reads arbitrary bytes as an ftp:// address from the command line and checks what the parser
// promises: an address it accepts has a host, no CR, LF or NUL in any part, a port from 1 up when
// one is given, a path empty or starting with "/", and the same address read twice reads the same.
#include "sites/FtpUrl.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool Clean(const QByteArray& text) {
    return !text.contains('\r') && !text.contains('\n') && !text.contains('\0');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const tessaly::FtpUrlResult result = tessaly::ParseFtpUrl(text);
    Check(result.url.has_value() == result.error.isEmpty());
    if (!result.url) {
        return 0;
    }
    const tessaly::FtpUrl& url = *result.url;
    Check(text.size() <= tessaly::kMaxFtpUrlLength && tessaly::IsFtpUrl(text));
    Check(!url.host.isEmpty() && Clean(url.host));
    Check(Clean(url.user.value_or(QByteArray())) && Clean(url.password.value_or(QByteArray())));
    Check(Clean(url.path) && (url.path.isEmpty() || url.path.startsWith('/')));
    Check(!url.port || *url.port >= 1);
    Check(url.path.size() <= text.size() && url.host.size() <= text.size());
    const tessaly::FtpUrlResult again = tessaly::ParseFtpUrl(text);
    Check(again.url == result.url);
    return 0;
}
