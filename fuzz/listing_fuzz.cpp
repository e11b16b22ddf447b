// Feeds arbitrary bytes to the listing parser as one listing, with caching on, and checks what it
// promises: only valid items with a name not ending in "." are kept, one cached line per kept item,
// every cached line parses again to the same item in the same place, and rebuilding the items from
// the cache entry gives the listing's items back. Parsing a buffer the parser may take over (its
// kept lines then move together in place) gives the same entry, byte for byte, and the same items.
#include "listing/ListingParser.h"
#include "listing/LocalTimeCache.h"
#include "listing/RemoteItem.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace {

constexpr int kYear = 2026;

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void CheckItem(const tessaly::RemoteItem& item, const QByteArray& line) {
    Check(item.valid());
    Check(!line.isEmpty() && !line.contains('\r') && !line.contains('\n'));
    Check(item.dosStyle() == (line[0] >= '0' && line[0] <= '9'));
    Check(line.startsWith(item.rawLine()));
    Check(item.rawLine().endsWith(item.name()));
    Check(!item.name().isEmpty() && !item.name().endsWith('.') && item.name()[0] != ' ');
    Check(item.permissionText().isEmpty() || item.rawLine().sliced(1).startsWith(item.permissionText()));
    Check(item.dateText().size() <= 16 && item.timeText().size() <= 13);
    Check(item.sizeText().isEmpty() == (item.dosStyle() && item.isDirectory()));
    Check(!item.modified() || *item.modified() >= 0);
    Check(!item.modified() || (item.dateText().size() == 10 && item.timeText().size() % 5 == 0));
    if (item.dosStyle()) {
        Check(item.permissionText().isEmpty() && item.rawLine() == line);
        Check(item.isDirectory() == line.contains("<DIR>"));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray listing(reinterpret_cast<const char*>(data), qsizetype(size));
    const tessaly::ParsedListing parsed = tessaly::ParseListing(listing, "/fuzz", true, kYear);
    Check(parsed.cacheEntry.has_value() && parsed.cacheEntry->path == "/fuzz");
    const tessaly::FolderCacheEntry& entry = *parsed.cacheEntry;
    const tessaly::ListingItems& items = parsed.items;
    Check(entry.lineCount() == items.directories.size() + items.files.size());
    qsizetype textSize = 0;
    for (qsizetype i = 0; i < entry.lineCount(); ++i) {
        textSize += entry.lineLength(i) + 1;
        Check(entry.text()[entry.lineStart(i) + entry.lineLength(i)] == '\n');
    }
    Check(textSize == entry.text().size());

    // Each cached line, parsed alone, is the next directory or the next file.
    tessaly::LocalTimeCache times;
    qsizetype directory = 0;
    qsizetype file = 0;
    for (qsizetype i = 0; i < entry.lineCount(); ++i) {
        const QByteArray line = entry.line(i).toByteArray();
        const tessaly::RemoteItem item(line, kYear, times);
        CheckItem(item, line);
        const QList<tessaly::RemoteItem>& kind = item.isDirectory() ? items.directories : items.files;
        qsizetype& index = item.isDirectory() ? directory : file;
        Check(index < kind.size() && kind.at(index) == item);
        // The listing's items share the entry's buffer, at this line.
        Check(kind.at(index).rawLine().data() == entry.line(i).data());
        ++index;
        const tessaly::RemoteItem copy = item;
        Check(copy == item);
    }

    const tessaly::ListingItems rebuilt = tessaly::RebuildFromEntry(entry, kYear);
    Check(rebuilt.directories == items.directories && rebuilt.files == items.files);

    const tessaly::ParsedListing uncached = tessaly::ParseListing(listing, "/fuzz", false, kYear);
    Check(!uncached.cacheEntry && uncached.items.directories == items.directories &&
          uncached.items.files == items.files);

    // A buffer of its own, without room to spare: the parser takes it over.
    for (const bool cache : {true, false}) {
        QByteArray owned(listing.constData(), listing.size());
        owned.squeeze();
        const tessaly::ParsedListing taken = tessaly::ParseListing(std::move(owned), "/fuzz", cache, kYear);
        Check(taken.items.directories == items.directories && taken.items.files == items.files);
        Check(taken.cacheEntry.has_value() == cache);
        if (cache) {
            const tessaly::FolderCacheEntry& same = *taken.cacheEntry;
            Check(same.text() == entry.text() && same.lineCount() == entry.lineCount());
            for (qsizetype i = 0; i < entry.lineCount(); ++i) {
                Check(same.lineStart(i) == entry.lineStart(i));
            }
        }
    }
    return 0;
}
