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
    FolderCacheEntry entry(path);
    entry.AppendLine(line);
    return entry;
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
    EXPECT_EQ(cache.Find("/PUB/Incoming")->text(), "third\n");
    EXPECT_EQ(cache.Find("/pub/"), nullptr);
    EXPECT_EQ(cache.Find("/pu"), nullptr);
    EXPECT_EQ(cache.Find(""), nullptr);
}

TEST(FolderCache, FoldsOnlyAsciiLetters) {
    FolderCache cache;
    cache.Append(Entry("/caf\xc3\xa9", "utf8")); // "café" in UTF-8
    EXPECT_EQ(cache.Find("/CAF\xc3\xa9")->line(0), "utf8");
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
    const FolderCacheEntry* found = cache.Find("/pub");
    ASSERT_EQ(found->lineCount(), 1);
    EXPECT_EQ(found->line(0), "-rw-r--r-- 1 o g 1 Jan 1 2020 new");
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
    EXPECT_EQ(cache.Find("/B")->line(0), "again");
}

TEST(FolderCacheEntry, KeepsLinesInOneBufferInOrder) {
    FolderCacheEntry entry("/pub"_ba, 4);
    EXPECT_EQ(entry.lineCount(), 0);
    EXPECT_TRUE(entry.text().isEmpty());
    EXPECT_EQ(entry.AppendLine("first"), 0);
    EXPECT_EQ(entry.AppendLine(""), 6); // the parser keeps no empty line, but the entry can hold one
    EXPECT_EQ(entry.AppendLine("th\0rd"_ba), 7);
    entry.ReleaseUnusedRoom();
    ASSERT_EQ(entry.lineCount(), 3);
    EXPECT_EQ(entry.line(0), "first");
    EXPECT_EQ(entry.line(1), "");
    EXPECT_EQ(entry.line(2), "th\0rd"_ba);
    EXPECT_EQ(entry.lineLength(2), 5);
    EXPECT_EQ(entry.text(), "first\n\nth\0rd\n"_ba);

    // Moving the entry into the cache keeps its buffer where it is, so items sharing it stay put.
    const char* bytes = entry.text().constData();
    FolderCache cache;
    const FolderCacheEntry& stored = cache.Append(std::move(entry));
    EXPECT_EQ(stored.text().constData(), bytes);
    EXPECT_EQ(stored.path, "/pub");
}

TEST(FolderCacheEntry, ReleasesRoomReservedForLinesThatNeverCame) {
    FolderCacheEntry entry("/"_ba, 1 << 20, 1 << 16);
    entry.AppendLine("only");
    entry.ReleaseUnusedRoom();
    EXPECT_LT(entry.text().capacity(), 1024);
    EXPECT_EQ(entry.text(), "only\n");
}

} // namespace
