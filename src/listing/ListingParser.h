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
};

// The year of today's local date; what ParseListing assumes for dates given with a time of day.
int CurrentLocalYear();

// Parses the bytes of a whole listing. Lines end at every run of CR and LF (empty lines vanish).
// A line starting with "total" (any case) is skipped; a line that does not parse is dropped, and so
// is an entry whose name ends in "." ("." and ".." and also "readme."). The rest go, in order, to
// the directories or the files. When cacheEnabled, cacheEntry holds path and each kept line.
//
// Without caching, the items share the listing's bytes instead of copying them; with caching, the
// items share the cache entry's buffer, and nothing holds on to the listing. Year-less Unix dates
// ("Mar  7 10:25") are taken to lie in currentLocalYear. Takes time linear in the listing's size.
ParsedListing ParseListing(const QByteArray& listing, const QByteArray& path, bool cacheEnabled,
                           int currentLocalYear = CurrentLocalYear());
// The same, taking over the listing's buffer when nothing else shares it: with caching, the kept
// lines are moved together in place and the buffer becomes the cache entry's (no second copy of
// the listing is made); without caching, the items share it. Spare room the buffer grew into is
// handed back. The result is what the other form gives for the same bytes.
ParsedListing ParseListing(QByteArray&& listing, const QByteArray& path, bool cacheEnabled,
                           int currentLocalYear = CurrentLocalYear());

// Rebuilds the items from the kept lines of a cache entry; the items share the entry's buffer. The
// lines passed ParseListing's checks when they were stored, so none are made here: every line
// becomes an item.
ListingItems RebuildFromEntry(const FolderCacheEntry& entry, int currentLocalYear = CurrentLocalYear());

} // namespace tessaly
