#pragma once

#include "sites/SiteProfile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace tessaly {

// The bytes of "Favorites.dat": a 10-byte signature, then one record per site to the end of the file.
// A record is L (4 bytes, little-endian), then L bytes: the lengths and nibble-swapped bytes of label,
// address, user name and password, the port, the lengths and bytes of remote path and note (every
// integer 4 bytes, little-endian), and 4 bytes of filler. L is the sum of the text lengths plus 32.
inline constexpr char kSiteFileName[] = "Favorites.dat";
inline constexpr char kSiteFileSignatureText[] = "ORVANEWORKS";
inline constexpr qsizetype kSiteFileSignatureSize = 10;
// The largest L the format allows; a larger one ends the load.
inline constexpr quint32 kSiteRecordMaxLength = 899999999;
// The smallest L: seven lengths and the port (28 bytes) and the filler.
inline constexpr quint32 kSiteRecordMinLength = 32;
// A file is read up to this many bytes; a record that reaches beyond them ends the load.
inline constexpr qsizetype kSiteFileMaxBytes = 64 * 1024 * 1024;
// The saved-site commands: one id per site, so at most kMaxSites sites.
inline constexpr int kFirstSiteCommandId = 3584;
inline constexpr int kLastSiteCommandId = 4095;
inline constexpr int kMaxSites = kLastSiteCommandId - kFirstSiteCommandId + 1;

// What a load found, beyond the sites.
enum class SiteFileState {
    Missing,        // no file (or an empty one): nothing to keep
    Intact,         // every byte was read as records
    WrongSignature, // fewer than 10 bytes, or not the signature: no site read
    Damaged,        // a record was short or implausible, or past the site limit: the sites before it read
    Unreadable,     // the file exists but could not be read
};

struct ParsedSiteFile {
    QList<SiteProfile> sites; // command ids 3584 up, in file order
    SiteFileState state = SiteFileState::Missing;
};

// Seven-bit packing, least significant bit first, eight characters into seven bytes.
QByteArray PackSevenBit(QByteArrayView text);
QByteArray UnpackSevenBit(QByteArrayView bytes);

// Reads the sites of a file's bytes. A record whose L is below 32, above 899999999 or above the bytes
// left, or whose inner lengths run past L, ends the reading before anything is allocated for it; the
// sites before it are kept. Never reads more than kMaxSites sites.
ParsedSiteFile ParseSiteFile(QByteArrayView bytes);
// The file's bytes for these sites, in order (their command ids are not stored).
QByteArray SerializeSiteFile(const QList<SiteProfile>& sites);

} // namespace tessaly
