// Feeds arbitrary bytes to the listing parser as one listing, with caching on, and checks what it
// promises: only valid items with a name not ending in "." are kept, one cached line per kept item,
// every cached line parses again to the same item in the same place, and rebuilding the items from
// the cache entry gives the listing's items back. Parsing a buffer the parser may take over (its
// kept lines then move together in place) gives the same entry, byte for byte, and the same items.
// A bound on the items keeps the first ones, and counts the lines past it.
#include "listing/ListingParser.h"
#include "listing/LocalTimeCache.h"
#include "listing/RemoteItem.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace {

constexpr tessaly::LocalDate kToday{2026, 12, 8};

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
    // A name holds more than blanks; only "." and ".." are dropped.
    Check(!item.name().isEmpty() && item.name() != QByteArrayView(".") &&
          item.name() != QByteArrayView(".."));
    Check(item.name().size() < item.rawLine().size() &&
          item.rawLine()[item.rawLine().size() - item.name().size() - 1] == ' ');
    bool onlyBlanks = true;
    for (const char c : item.name()) {
        onlyBlanks = onlyBlanks && c == ' ';
    }
    Check(!onlyBlanks);
    // Only directories and links are directories in Unix style.
    Check(item.dosStyle() || item.isDirectory() == (line[0] == 'd' || line[0] == 'l'));
    // Only a link line is cut, and then before a " -> ".
    if (!item.dosStyle() && item.rawLine().size() != line.size()) {
        Check(line[0] == 'l' && line.sliced(item.rawLine().size()).startsWith(" -> "));
    }
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
    const tessaly::ParsedListing parsed = tessaly::ParseListing(listing, "/fuzz", true, kToday);
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
        const tessaly::RemoteItem item(line, kToday, times);
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

    const tessaly::ListingItems rebuilt = tessaly::RebuildFromEntry(entry, kToday);
    Check(rebuilt.directories == items.directories && rebuilt.files == items.files);

    const tessaly::ParsedListing uncached = tessaly::ParseListing(listing, "/fuzz", false, kToday);
    Check(!uncached.cacheEntry && uncached.items.directories == items.directories &&
          uncached.items.files == items.files);

    // A buffer of its own, without room to spare: the parser takes it over.
    for (const bool cache : {true, false}) {
        QByteArray owned(listing.constData(), listing.size());
        owned.squeeze();
        const tessaly::ParsedListing taken = tessaly::ParseListing(std::move(owned), "/fuzz", cache, kToday);
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

    // A bound on the items: the first kept lines stay, in order; the lines past it are counted.
    const qsizetype kept = entry.lineCount();
    const qsizetype bound = size > 0 ? qsizetype(data[0] % 8) : 0;
    for (const bool cache : {true, false}) {
        const tessaly::ParsedListing cut = tessaly::ParseListing(listing, "/fuzz", cache, kToday, bound);
        const qsizetype got = cut.items.directories.size() + cut.items.files.size();
        Check(got == std::min(kept, bound));
        Check(kept < bound ? cut.cutLines == 0 : cut.cutLines >= kept - bound);
        Check(cut.items.directories ==
              items.directories.first(std::min(cut.items.directories.size(), items.directories.size())));
        Check(cut.items.files == items.files.first(std::min(cut.items.files.size(), items.files.size())));
        if (cache) {
            Check(cut.cacheEntry->lineCount() == got);
            for (qsizetype i = 0; i < got; ++i) {
                Check(cut.cacheEntry->line(i) == entry.line(i));
            }
            qsizetype rebuiltCut = -1;
            const tessaly::ListingItems again = tessaly::RebuildFromEntry(entry, kToday, bound, &rebuiltCut);
            Check(again.directories.size() + again.files.size() == got && rebuiltCut == kept - got);
        }
    }
    return 0;
}
