#include "listing/ListingParser.h"

#include "listing/ItemStore.h"
#include "listing/ItemTexts.h"
#include "listing/LocalTimeCache.h"

#include <QExplicitlySharedDataPointer>
#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Where the lines of a listing end: at the next CR or LF. The next CR and the next LF found are
// remembered, so each byte is searched about twice whatever line ends the listing uses (searching
// for an LF from every line start would read a listing with CR line ends alone to its end at each
// line).
class LineEnds {
public:
    LineEnds(const char* data, qsizetype size) : data_(data), size_(size) {}

    // The first CR or LF from from on, or the size.
    qsizetype From(qsizetype from) {
        if (nextLf_ < from) {
            nextLf_ = Find('\n', from);
        }
        if (nextCr_ < from) {
            nextCr_ = Find('\r', from);
        }
        return std::min(nextLf_, nextCr_);
    }

private:
    qsizetype Find(char c, qsizetype from) const {
        const void* found = std::memchr(data_ + from, c, std::size_t(size_ - from));
        return found ? static_cast<const char*>(found) - data_ : size_;
    }

    const char* data_;
    qsizetype size_;
    qsizetype nextLf_ = -1;
    qsizetype nextCr_ = -1;
};

// How many bytes of the data are byte.
qsizetype CountByte(const char* data, qsizetype size, char byte) {
    qsizetype count = 0;
    qsizetype i = 0;
#if defined(__SSE2__)
    // Sixteen byte counters, each taking at most 255 blocks before they are summed.
    const __m128i wanted = _mm_set1_epi8(byte);
    while (i + 16 <= size) {
        __m128i counters = _mm_setzero_si128();
        for (int blocks = 0; blocks < 255 && i + 16 <= size; ++blocks, i += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
            counters = _mm_sub_epi8(counters, _mm_cmpeq_epi8(bytes, wanted)); // a match is -1
        }
        const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());
        count += _mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4);
    }
#endif
    for (; i < size; ++i) {
        count += data[i] == byte;
    }
    return count;
}

// At least as many lines as the listing keeps, as far as its line ends tell: lines end at LFs, or
// at CRs in a listing without LFs (other mixes may hold more). A kept line takes at least 8 bytes
// with its line end ("1 2 3 n" in the MS-DOS style), which bounds the count of a listing made of
// line ends by its size.
qsizetype KeptLinesEstimate(const char* data, qsizetype size) {
    qsizetype ends = CountByte(data, size, '\n');
    if (ends == 0) {
        ends = CountByte(data, size, '\r');
    }
    return std::min(ends, size / 8) + 1;
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
    LineEnds ends(data, size);
    qsizetype pos = 0;
    while (pos < size) {
        while (pos < size && IsLineEnd(data[pos])) {
            ++pos;
        }
        if (pos == size) {
            break;
        }
        const qsizetype start = pos;
        pos = ends.From(start);
        if (!IsTotalLine(data + start, pos - start)) {
            visit(start, pos - start);
        }
    }
}

} // namespace

int CurrentLocalYear() {
    return LocalDate::Today().year;
}

// Builds the items of a listing or a cache entry. The items share stores (usually one) whose texts
// fill as lines are parsed; the buffer the lines end up in is handed to the stores once it is
// complete, so the lines may be moved into it after they were parsed.
class ListingAssembly {
public:
    ListingAssembly(const LocalDate& today, qsizetype maxItems)
        : texts_(times_), today_(today), maxItems_(std::max<qsizetype>(maxItems, 0)) {}

    // Parses line, which will lie at offset at of the final buffer, and files the item when it is
    // worth listing (every item, with keepAll). Returns whether it was filed. Once maxItems items
    // were filed, the line is only counted as cut.
    bool Add(QByteArrayView line, qsizetype at, ListingItems& items, bool keepAll = false) {
        if (filed_ >= maxItems_) {
            ++cutLines_;
            return false;
        }
        if (stores_.empty() || at - base_ > ItemStore::kMaxOffset || !texts_.store().HasRoomForTexts()) {
            StartStore(at);
        }
        RemoteItem item(line, today_, texts_);
        if (!keepAll && !item.Listable(line)) {
            return false;
        }
        item.lineStart_ = quint32(at - base_);
        File(items, std::move(item));
        ++filed_;
        return true;
    }

    qsizetype cutLines() const { return cutLines_; }

    // The items' lines lie in bytes, which the stores keep from now on.
    void Finish(const QByteArray& bytes) {
        for (const auto& [store, base] : stores_) {
            store->SetLines(bytes, base);
            store->SqueezeTexts();
        }
    }

    // Parses the lines of the listing at in, moves each kept one to the front of the buffer text
    // (which may hold the listing itself: a line never moves to a later place, and its line end
    // goes where its own CR or LF was, or to text's last byte) with a "\n" after it, and makes the
    // kept lines the entry's text.
    void Cached(const char* in, qsizetype size, QByteArray text, ListingItems& items,
                FolderCacheEntry& entry) {
        entry.ReserveLines(std::min(KeptLinesEstimate(in, size), maxItems_));
        char* const out = text.data();
        qsizetype written = 0;
        ForEachLine(in, size, [&](qsizetype start, qsizetype length) {
            const QByteArrayView line(in + start, length);
            if (!Add(line, written, items)) {
                return;
            }
            if (out + written != line.data()) {
                std::memmove(out + written, line.data(), std::size_t(length));
            }
            out[written + length] = '\n';
            entry.AddStart(written);
            written += length + 1;
        });
        text.resize(written);
        entry.text_ = std::move(text);
        entry.ReleaseUnusedRoom();
        Finish(entry.text_);
    }

    void Uncached(const QByteArray& bytes, ListingItems& items) {
        const char* data = bytes.constData();
        ForEachLine(data, bytes.size(), [&](qsizetype start, qsizetype length) {
            Add(QByteArrayView(data + start, length), start, items);
        });
        Finish(bytes);
    }

private:
    void StartStore(qsizetype base) {
        stores_.emplace_back(new ItemStore, base);
        texts_.Attach(*stores_.back().first);
        base_ = base;
    }

    LocalTimeCache times_;
    ItemTexts texts_;
    LocalDate today_;
    qsizetype maxItems_;
    qsizetype filed_ = 0;
    qsizetype cutLines_ = 0;
    std::vector<std::pair<QExplicitlySharedDataPointer<ItemStore>, qsizetype>> stores_;
    qsizetype base_ = 0; // where the offsets of the newest store count from
};

ParsedListing ParseListing(const QByteArray& listing, const QByteArray& path, bool cacheEnabled,
                           const LocalDate& today, qsizetype maxItems) {
    ParsedListing result;
    ListingAssembly assembly(today, maxItems);
    const qsizetype size = listing.size();
    if (cacheEnabled) {
        // The kept lines go to a buffer of their own: each with one line end, they take at most the
        // listing's bytes plus one (for a last line without a line end).
        assembly.Cached(listing.constData(), size, QByteArray(size + 1, Qt::Uninitialized), result.items,
                        result.cacheEntry.emplace(path));
    } else {
        // The items share these bytes; bytes the array does not own are copied here.
        QByteArray bytes = listing;
        if (!bytes.data_ptr().isMutable()) {
            bytes = QByteArray(listing.constData(), size);
        }
        assembly.Uncached(bytes, result.items);
    }
    result.cutLines = assembly.cutLines();
    return result;
}

ParsedListing ParseListing(QByteArray&& listing, const QByteArray& path, bool cacheEnabled,
                           const LocalDate& today, qsizetype maxItems) {
    if (listing.data_ptr().needsDetach() || !listing.data_ptr().isMutable()) {
        return ParseListing(std::as_const(listing), path, cacheEnabled, today, maxItems);
    }
    QByteArray bytes = std::move(listing);
    ParsedListing result;
    ListingAssembly assembly(today, maxItems);
    const qsizetype size = bytes.size();
    if (!cacheEnabled) {
        if (bytes.capacity() - size > size / 8) {
            bytes.squeeze(); // before the items share it
        }
        assembly.Uncached(bytes, result.items);
    } else {
        if (size > 0 && !IsLineEnd(bytes.constData()[size - 1])) {
            bytes.resize(size + 1); // room for the line end of the last line
        }
        const char* in = bytes.constData();
        assembly.Cached(in, size, std::move(bytes), result.items, result.cacheEntry.emplace(path));
    }
    result.cutLines = assembly.cutLines();
    return result;
}

ListingItems RebuildFromEntry(const FolderCacheEntry& entry, const LocalDate& today, qsizetype maxItems,
                              qsizetype* cutLines) {
    ListingItems items;
    ListingAssembly assembly(today, maxItems);
    const char* text = entry.text().constData();
    for (qsizetype i = 0; i < entry.lineCount(); ++i) {
        const qsizetype start = entry.lineStart(i);
        assembly.Add(QByteArrayView(text + start, entry.lineLength(i)), start, items, true);
    }
    assembly.Finish(entry.text());
    if (cutLines) {
        *cutLines = assembly.cutLines();
    }
    return items;
}

} // namespace tessaly
