#pragma once

#include "listing/FolderCache.h"
#include "listing/RemoteItem.h"

#include <QByteArray>
#include <QList>
#include <optional>

namespace tessaly {

// The entries of one listing, each kind in listing order.
struct ListingItems {
    QList<RemoteItem> directories; // everything with isDirectory(), links included
    QList<RemoteItem> files;
};

struct ParsedListing {
    ListingItems items;
    // With caching on: an entry for the listed path holding every kept line as received.
    std::optional<FolderCacheEntry> cacheEntry;
    // Lines that came after the listing had given the most items allowed (kMaxListingItems, or the
    // bound the caller passed): they were not parsed, and are neither items nor cache lines. Empty
    // lines and "total" lines are not counted; other lines are, whether or not they would have given
    // an item (a line that does not parse, ".", "..").
    qsizetype cutLines = 0;
};

// The most items ParseListing and RebuildFromEntry make of one listing. Each takes 48 bytes (plus
// 4 bytes and its line in a cache entry), so a listing costs at most about 200 MB of items however
// short its lines; the listing's bytes are bounded by the engine. Far more entries than a directory
// pane can usefully show.
inline constexpr qsizetype kMaxListingItems = 4'000'000;

// The year of today's local date.
int CurrentLocalYear();

// Parses the bytes of a whole listing. Lines end at every run of CR and LF (empty lines vanish).
// A line starting with "total" (any case) is skipped; a line that does not parse is dropped, and so
// are the entries "." and "..". The rest go, in order, to the directories or the files, until
// maxItems items are made; the lines after that are counted in cutLines. When cacheEnabled,
// cacheEntry holds path and each kept line.
//
// Without caching, the items share the listing's bytes instead of copying them; with caching, the
// items share the cache entry's buffer, and nothing holds on to the listing. The year of a year-less
// Unix date ("Mar  7 10:25") is decided from today (see RemoteItem). Takes time linear in the
// listing's size.
ParsedListing ParseListing(const QByteArray& listing, const QByteArray& path, bool cacheEnabled,
                           const LocalDate& today = LocalDate::Today(),
                           qsizetype maxItems = kMaxListingItems);
// The same, taking over the listing's buffer when nothing else shares it: with caching, the kept
// lines are moved together in place and the buffer becomes the cache entry's (no second copy of
// the listing is made); without caching, the items share it. Spare room the buffer grew into is
// handed back. The result is what the other form gives for the same bytes.
ParsedListing ParseListing(QByteArray&& listing, const QByteArray& path, bool cacheEnabled,
                           const LocalDate& today = LocalDate::Today(),
                           qsizetype maxItems = kMaxListingItems);

// Rebuilds the items from the kept lines of a cache entry; the items share the entry's buffer. The
// lines passed ParseListing's checks when they were stored, so none are made here: every line
// becomes an item, up to maxItems; when cutLines is given, it receives how many lines were left
// out past that bound (none for an entry that ParseListing made with the same bound).
ListingItems RebuildFromEntry(const FolderCacheEntry& entry, const LocalDate& today = LocalDate::Today(),
                              qsizetype maxItems = kMaxListingItems, qsizetype* cutLines = nullptr);

} // namespace tessaly
