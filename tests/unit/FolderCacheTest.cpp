#include "listing/FolderCache.h"

#include "listing/ListingParser.h"

#include <QByteArray>
#include <QList>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using tessaly::FolderCache;
using tessaly::FolderCacheEntry;

namespace {

FolderCacheEntry Entry(const QByteArray& path, const QByteArray& line) {
    return FolderCacheEntry{path, {line}};
}

TEST(FolderCache, FindsTheFirstEntryIgnoringLetterCase) {
    FolderCache cache;
    EXPECT_TRUE(cache.isEmpty());
    EXPECT_EQ(cache.Find("/pub"), nullptr);

    FolderCacheEntry& pub = cache.Append(Entry("/Pub", "first"));
    cache.Append(Entry("/pub", "second")); // the session never stores two; Find still takes the first
    cache.Append(Entry("/pub/incoming", "third"));
    EXPECT_EQ(cache.size(), 3);
    EXPECT_EQ(cache.Find("/pub"), &pub);
    EXPECT_EQ(cache.Find("/PUB"), &pub);
    EXPECT_EQ(cache.Find("/PUB/Incoming")->lines, QList<QByteArray>{"third"});
    EXPECT_EQ(cache.Find("/pub/"), nullptr);
    EXPECT_EQ(cache.Find("/pu"), nullptr);
    EXPECT_EQ(cache.Find(""), nullptr);
}

TEST(FolderCache, FoldsOnlyAsciiLetters) {
    FolderCache cache;
    cache.Append(Entry("/caf\xc3\xa9", "utf8")); // "café" in UTF-8
    EXPECT_EQ(cache.Find("/CAF\xc3\xa9")->lines.front(), "utf8");
    EXPECT_EQ(cache.Find("/caf\xe3\xa9"), nullptr); // Latin-1 folding would take 0xC3 for 0xE3
    EXPECT_EQ(cache.Find("/CAF\xc3\x89"), nullptr); // "CAFÉ": no case folding beyond ASCII
    EXPECT_TRUE(tessaly::SamePathIgnoringCase("/[a]_@", "/[A]_@"));
    EXPECT_FALSE(tessaly::SamePathIgnoringCase("/[", "/{")); // '[' and '{' differ by the case bit too
}

TEST(FolderCache, ReplacingAListingKeepsOneEntryPerDirectory) {
    FolderCache cache;
    cache.Append(Entry("/", "root"));
    cache.Append(Entry("/pub", "old"));
    FolderCacheEntry& other = cache.Append(Entry("/other", "other"));

    // What the session does when /PUB is listed again: drop the old entry, store the new one.
    const tessaly::ParsedListing parsed =
        tessaly::ParseListing("-rw-r--r-- 1 o g 1 Jan 1 2020 new\r\n"_ba, "/PUB"_ba, true, 2026);
    ASSERT_TRUE(parsed.cacheEntry);
    cache.Remove(cache.Find("/PUB"));
    cache.Append(*parsed.cacheEntry);

    ASSERT_EQ(cache.size(), 3);
    EXPECT_EQ(cache.at(0).path, "/");
    EXPECT_EQ(&cache.at(1), &other); // entries stay where they are when others go
    EXPECT_EQ(cache.at(2).path, "/PUB");
    EXPECT_EQ(cache.Find("/pub")->lines, QList<QByteArray>{"-rw-r--r-- 1 o g 1 Jan 1 2020 new"});
}

TEST(FolderCache, RemoveAndClear) {
    FolderCache cache;
    FolderCacheEntry& a = cache.Append(Entry("/a", "a"));
    cache.Append(Entry("/b", "b"));
    const FolderCacheEntry stranger = Entry("/a", "a");
    cache.Remove(&stranger); // not in the cache: nothing happens
    cache.Remove(nullptr);
    EXPECT_EQ(cache.size(), 2);

    cache.Remove(&a);
    EXPECT_EQ(cache.size(), 1);
    EXPECT_EQ(cache.Find("/a"), nullptr);
    EXPECT_NE(cache.Find("/b"), nullptr);

    cache.Clear();
    EXPECT_TRUE(cache.isEmpty());
    EXPECT_EQ(cache.Find("/b"), nullptr);
    cache.Append(Entry("/b", "again"));
    EXPECT_EQ(cache.Find("/B")->lines.front(), "again");
}

} // namespace
