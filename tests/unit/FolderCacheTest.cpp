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

TEST(FolderCache, FindsTheFirstEntryWithExactlyThePathsBytes) {
    FolderCache cache;
    EXPECT_TRUE(cache.isEmpty());
    EXPECT_EQ(cache.Find("/pub"), nullptr);

    FolderCacheEntry& upper = cache.Append(Entry("/Pub", "upper"));
    FolderCacheEntry& lower = cache.Append(Entry("/pub", "lower"));
    cache.Append(Entry("/pub", "second")); // the session never stores two; Find still takes the first
    cache.Append(Entry("/pub/incoming", "third"));
    EXPECT_EQ(cache.size(), 4);
    // On a case-sensitive server /pub and /Pub are two directories: neither is shown for the other.
    EXPECT_EQ(cache.Find("/Pub"), &upper);
    EXPECT_EQ(cache.Find("/pub"), &lower);
    EXPECT_EQ(cache.Find("/PUB"), nullptr);
    EXPECT_EQ(cache.Find("/pub/incoming")->text(), "third\n");
    EXPECT_EQ(cache.Find("/PUB/Incoming"), nullptr);
    EXPECT_EQ(cache.Find("/pub/"), nullptr);
    EXPECT_EQ(cache.Find("/pu"), nullptr);
    EXPECT_EQ(cache.Find(""), nullptr);

    const FolderCache& constCache = cache;
    EXPECT_EQ(constCache.Find("/Pub"), &upper);
    EXPECT_EQ(constCache.Find("/PUB"), nullptr);
}

TEST(FolderCache, ComparesPathsAsBytes) {
    FolderCache cache;
    cache.Append(Entry("/caf\xc3\xa9", "utf8")); // "café" in UTF-8
    cache.Append(Entry("/[a]"_ba, "brackets"));
    cache.Append(Entry("/a\0b"_ba, "nul"));
    EXPECT_EQ(cache.Find("/caf\xc3\xa9")->line(0), "utf8");
    EXPECT_EQ(cache.Find("/CAF\xc3\xa9"), nullptr);
    EXPECT_EQ(cache.Find("/caf\xe3\xa9"), nullptr); // 0xC3 and 0xE3 differ by the case bit
    EXPECT_EQ(cache.Find("/CAF\xc3\x89"), nullptr); // "CAFÉ"
    EXPECT_EQ(cache.Find("/[a]")->line(0), "brackets");
    EXPECT_EQ(cache.Find("/[A]"), nullptr);
    EXPECT_EQ(cache.Find("/{a}"), nullptr); // '[' and '{' differ by the case bit too
    EXPECT_EQ(cache.Find("/a\0b"_ba)->line(0), "nul");
    EXPECT_EQ(cache.Find("/a\0c"_ba), nullptr);
    EXPECT_EQ(cache.Find("/a"), nullptr); // a NUL byte does not end the path
}

TEST(FolderCache, ReplacingAListingKeepsOneEntryPerDirectory) {
    FolderCache cache;
    cache.Append(Entry("/", "root"));
    cache.Append(Entry("/PUB", "old"));
    FolderCacheEntry& other = cache.Append(Entry("/other", "other"));
    FolderCacheEntry& lower = cache.Append(Entry("/pub", "lower case"));

    // What the session does when /PUB is listed again: drop the old entry, store the new one.
    const tessaly::ParsedListing parsed = tessaly::ParseListing(
        "-rw-r--r-- 1 o g 1 Jan 1 2020 new\r\n"_ba, "/PUB"_ba, true, tessaly::LocalDate{2026, 12, 8});
    ASSERT_TRUE(parsed.cacheEntry);
    cache.Remove(cache.Find("/PUB"));
    cache.Append(*parsed.cacheEntry);

    ASSERT_EQ(cache.size(), 4);
    EXPECT_EQ(cache.at(0).path, "/");
    EXPECT_EQ(&cache.at(1), &other); // entries stay where they are when others go
    EXPECT_EQ(&cache.at(2), &lower); // /pub is another directory: its entry stays
    EXPECT_EQ(cache.at(3).path, "/PUB");
    const FolderCacheEntry* found = cache.Find("/PUB");
    ASSERT_EQ(found->lineCount(), 1);
    EXPECT_EQ(found->line(0), "-rw-r--r-- 1 o g 1 Jan 1 2020 new");
    EXPECT_EQ(cache.Find("/pub")->line(0), "lower case");
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
    EXPECT_EQ(cache.Find("/b")->line(0), "again");
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
