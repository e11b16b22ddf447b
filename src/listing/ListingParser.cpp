#include "listing/ListingParser.h"

#include "listing/LocalTimeCache.h"

#include <cstring>
#include <ctime>

namespace tessaly {

namespace {

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// The block-count header of Unix listings, "total 42": its first five bytes are "total" in any case.
bool IsTotalLine(const char* line, qsizetype length) {
    static constexpr char kTotal[] = "total";
    if (length < 5) {
        return false;
    }
    for (int i = 0; i < 5; ++i) {
        const char c = line[i];
        const char lower = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
        if (lower != kTotal[i]) {
            return false;
        }
    }
    return true;
}

// Where the line starting at from ends: the next CR or LF, or size.
qsizetype NextLineEnd(const char* data, qsizetype from, qsizetype size) {
    const void* lf = std::memchr(data + from, '\n', std::size_t(size - from));
    const qsizetype lfAt = lf ? static_cast<const char*>(lf) - data : size;
    const void* cr = std::memchr(data + from, '\r', std::size_t(lfAt - from));
    return cr ? static_cast<const char*>(cr) - data : lfAt;
}

qsizetype CountLineFeeds(const char* data, qsizetype size) {
    qsizetype count = 0;
    for (const char* end = data + size;
         (data = static_cast<const char*>(std::memchr(data, '\n', std::size_t(end - data)))) != nullptr;
         ++data) {
        ++count;
    }
    return count;
}

void File(ListingItems& items, RemoteItem&& item) {
    if (item.isDirectory()) {
        items.directories.append(std::move(item));
    } else {
        items.files.append(std::move(item));
    }
}

// Calls visit(start, length) for each line of the listing that is not a "total" line.
template <typename Visit> void ForEachLine(const char* data, qsizetype size, Visit visit) {
    qsizetype pos = 0;
    while (pos < size) {
        while (pos < size && IsLineEnd(data[pos])) {
            ++pos;
        }
        if (pos == size) {
            break;
        }
        const qsizetype start = pos;
        pos = NextLineEnd(data, start, size);
        if (!IsTotalLine(data + start, pos - start)) {
            visit(start, pos - start);
        }
    }
}

} // namespace

int CurrentLocalYear() {
    const std::time_t now = std::time(nullptr);
    std::tm fields{};
    if (localtime_r(&now, &fields) == nullptr) {
        return 1970;
    }
    return fields.tm_year + 1900;
}

// Builds the items of a listing with caching on. Each line is parsed where the listing holds it and,
// when kept, appended to the cache entry; the items take the entry's buffer only once it is
// complete, so that appending never has to copy bytes that items already share, and the listing's
// bytes can go as soon as the caller lets them go.
class ListingAssembly {
public:
    static void Cached(QByteArrayView listing, int currentLocalYear, ListingItems& items,
                       FolderCacheEntry& entry) {
        LocalTimeCache times;
        const char* data = listing.data();
        ForEachLine(data, listing.size(), [&](qsizetype start, qsizetype length) {
            const QByteArrayView line(data + start, length);
            RemoteItem item(line, currentLocalYear, times);
            if (item.Listable(line)) {
                item.lineStart_ = entry.AppendLine(line);
                File(items, std::move(item));
            }
        });
        entry.ReleaseUnusedRoom();
        for (QList<RemoteItem>* kind : {&items.directories, &items.files}) {
            for (RemoteItem& item : *kind) {
                item.ShareLine(entry.text(), item.lineStart_);
            }
        }
    }
};

ParsedListing ParseListing(const QByteArray& listing, const QByteArray& path, bool cacheEnabled,
                           int currentLocalYear) {
    ParsedListing result;
    const char* data = listing.constData();
    const qsizetype size = listing.size();
    if (cacheEnabled) {
        // The kept lines, each with one line end, take at most the listing's bytes plus one (for a
        // last line without a line end). A kept line takes at least 8 bytes with its line end ("1 2
        // 3 n" in the MS-DOS style), which bounds the line starts (8 bytes each) of a listing made
        // of line ends by its size.
        FolderCacheEntry& entry =
            result.cacheEntry.emplace(path, size + 1, qMin(CountLineFeeds(data, size), size / 8) + 1);
        ListingAssembly::Cached(QByteArrayView(data, size), currentLocalYear, result.items, entry);
        return result;
    }
    // The items share these bytes; bytes the array does not own are copied here.
    QByteArray bytes = listing;
    if (!bytes.data_ptr().isMutable()) {
        bytes = QByteArray(data, size);
    }
    LocalTimeCache times;
    ForEachLine(bytes.constData(), size, [&](qsizetype start, qsizetype length) {
        RemoteItem item(bytes, start, length, currentLocalYear, times);
        if (item.valid() && !item.name().endsWith('.')) {
            File(result.items, std::move(item));
        }
    });
    return result;
}

ListingItems RebuildFromEntry(const FolderCacheEntry& entry, int currentLocalYear) {
    ListingItems items;
    LocalTimeCache times;
    const QByteArray& text = entry.text();
    for (qsizetype i = 0; i < entry.lineCount(); ++i) {
        File(items, RemoteItem(text, entry.lineStart(i), entry.lineLength(i), currentLocalYear, times));
    }
    return items;
}

} // namespace tessaly
