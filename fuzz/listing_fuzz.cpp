// Feeds arbitrary bytes to the listing parser as one listing, with caching on, and checks what it
// promises: only valid items with a name not ending in "." are kept, one cached line per kept item,
// every cached line parses again to the same item in the same place, and rebuilding the items from
// the cache entry gives the listing's items back.
#include "listing/ListingParser.h"
#include "listing/LocalTimeCache.h"
#include "listing/RemoteItem.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

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
    return 0;
}
