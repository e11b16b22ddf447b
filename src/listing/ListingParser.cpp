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

} // namespace

int CurrentLocalYear() {
    const std::time_t now = std::time(nullptr);
    std::tm fields{};
    if (localtime_r(&now, &fields) == nullptr) {
        return 1970;
    }
    return fields.tm_year + 1900;
}

ParsedListing ParseListing(const QByteArray& listing, const QByteArray& path, bool cacheEnabled,
                           int currentLocalYear) {
    ParsedListing result;
    if (cacheEnabled) {
        result.cacheEntry.emplace(FolderCacheEntry{path, {}});
    }
    // Without caching the items share these bytes; bytes the array does not own are copied here.
    QByteArray bytes = listing;
    if (!bytes.data_ptr().isMutable()) {
        bytes = QByteArray(listing.constData(), listing.size());
    }
    const char* data = bytes.constData();
    const qsizetype size = bytes.size();
    LocalTimeCache times;
    if (cacheEnabled) {
        // One slot per LF spares the list its regrowth. A kept line takes at least 8 bytes with its
        // line end ("1 2 3 n" in the MS-DOS style), which bounds the slots (24 bytes each) of a
        // listing made of line ends.
        result.cacheEntry->lines.reserve(qMin(CountLineFeeds(data, size), size / 8) + 1);
    }

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
        const qsizetype length = pos - start;
        if (IsTotalLine(data + start, length)) {
            continue;
        }
        if (!cacheEnabled) {
            RemoteItem item(bytes, start, length, currentLocalYear, times);
            if (item.valid() && !item.name().endsWith('.')) {
                File(result.items, std::move(item));
            }
            continue;
        }
        // With caching on, the item shares the cached copy of its line rather than the listing,
        // so that the listing's bytes can go once the caller lets them go.
        QByteArray line(data + start, length);
        RemoteItem item(line, 0, length, currentLocalYear, times);
        if (item.valid() && !item.name().endsWith('.')) {
            File(result.items, std::move(item));
            result.cacheEntry->lines.append(std::move(line));
        }
    }
    return result;
}

ListingItems RebuildFromLines(const QList<QByteArray>& lines, int currentLocalYear) {
    ListingItems items;
    LocalTimeCache times;
    for (const QByteArray& line : lines) {
        File(items, RemoteItem(line, currentLocalYear, times));
    }
    return items;
}

} // namespace tessaly
