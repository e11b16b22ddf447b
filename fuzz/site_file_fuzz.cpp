// Reads arbitrary bytes as a saved-site file and checks what a load promises: at most 512 sites, with
// command ids 3584 up in file order; a file that does not start with the signature gives none; and the
// sites read, written again, read back the same and whole.
#include "sites/SiteFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const tessaly::ParsedSiteFile parsed = tessaly::ParseSiteFile(bytes);
    Check(parsed.sites.size() <= tessaly::kMaxSites);
    for (qsizetype i = 0; i < parsed.sites.size(); ++i) {
        Check(parsed.sites[i].commandId == tessaly::kFirstSiteCommandId + i);
    }
    if (parsed.state == tessaly::SiteFileState::WrongSignature ||
        parsed.state == tessaly::SiteFileState::Missing) {
        Check(parsed.sites.isEmpty());
    }
    const QByteArray written = tessaly::SerializeSiteFile(parsed.sites);
    // A record is written with its 4 bytes of filler, which a record read may have lacked.
    Check(written.size() <=
          std::max(bytes.size(), tessaly::kSiteFileSignatureSize) + 4 * parsed.sites.size());
    const tessaly::ParsedSiteFile reread = tessaly::ParseSiteFile(written);
    Check(reread.state == tessaly::SiteFileState::Intact);
    Check(reread.sites == parsed.sites);
    return 0;
}
