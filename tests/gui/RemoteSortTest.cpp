#include "panes/RemoteSort.h"

#include <QDate>
#include <gtest/gtest.h>
#include <limits>

namespace tessaly {
namespace {

RemoteSortKey Key(bool directory, QStringView text, quint64 size = 0, std::optional<qint64> time = {}) {
    RemoteSortKey key;
    key.directory = directory;
    key.size = size;
    key.time = time;
    key.foldedText = text.toString().toCaseFolded();
    return key;
}

std::vector<int> Sorted(const std::vector<RemoteSortKey>& keys, RemoteSortKind kind, bool ascending) {
    return SortRemoteRows(keys, kind, ascending);
}

TEST(RemoteSort, DirectoriesLeadAscendingAndTrailDescendingUnderEveryKind) {
    const std::vector<RemoteSortKey> keys = {Key(false, u"a", 1, 10), Key(true, u"z", 900, 99),
                                             Key(false, u"b", 2, 20), Key(true, u"y", 800, 98)};
    for (const RemoteSortKind kind :
         {RemoteSortKind::Text, RemoteSortKind::Size, RemoteSortKind::Time, RemoteSortKind::DateOrText}) {
        const std::vector<int> up = Sorted(keys, kind, true);
        EXPECT_TRUE(keys[std::size_t(up[0])].directory && keys[std::size_t(up[1])].directory);
        const std::vector<int> down = Sorted(keys, kind, false);
        EXPECT_TRUE(!keys[std::size_t(down[0])].directory && !keys[std::size_t(down[1])].directory);
        EXPECT_EQ(down, (std::vector<int>{up[3], up[2], up[1], up[0]}));
    }
}

TEST(RemoteSort, TextIgnoresCaseAndTiesKeepListingOrderBothWays) {
    const std::vector<RemoteSortKey> keys = {Key(false, u"beta"), Key(false, u"ALPHA"), Key(false, u"Beta"),
                                             Key(false, u"alpha")};
    EXPECT_EQ(Sorted(keys, RemoteSortKind::Text, true), (std::vector<int>{1, 3, 0, 2}));
    EXPECT_EQ(Sorted(keys, RemoteSortKind::Text, false), (std::vector<int>{0, 2, 1, 3}));
}

TEST(RemoteSort, SizesCompareAsUnsigned64BitAndEqualSizesTie) {
    const quint64 huge = std::numeric_limits<quint64>::max();
    const std::vector<RemoteSortKey> keys = {Key(false, u"big", huge), Key(false, u"one", 5),
                                             Key(false, u"two", 5), Key(false, u"mid", quint64(1) << 40)};
    EXPECT_EQ(Sorted(keys, RemoteSortKind::Size, true), (std::vector<int>{1, 2, 3, 0}));
    EXPECT_EQ(Sorted(keys, RemoteSortKind::Size, false), (std::vector<int>{0, 3, 1, 2}));
    // A strict weak ordering: nothing is before itself, equal sizes are neither way round.
    for (const bool ascending : {true, false}) {
        EXPECT_EQ(CompareRemoteSortKeys(keys[1], keys[2], RemoteSortKind::Size, ascending), 0);
        for (const RemoteSortKey& key : keys) {
            EXPECT_EQ(CompareRemoteSortKeys(key, key, RemoteSortKind::Size, ascending), 0);
        }
    }
}

TEST(RemoteSort, TimeOrdersStampedRowsFirstThenUnstampedByText) {
    const std::vector<RemoteSortKey> keys = {Key(false, u"zz", 0, std::nullopt), Key(false, u"x", 0, 300),
                                             Key(false, u"AA", 0, std::nullopt), Key(false, u"y", 0, -5)};
    EXPECT_EQ(Sorted(keys, RemoteSortKind::Time, true), (std::vector<int>{3, 1, 2, 0}));
    EXPECT_EQ(Sorted(keys, RemoteSortKind::Time, false), (std::vector<int>{0, 2, 1, 3}));
}

TEST(RemoteSort, DateOrTextUsesDatesOnlyWhenBothTextsAreDates) {
    // As text "10:00" would go before " 9:00"; as dates nine o'clock is earlier.
    const auto a = MakeRemoteSortKey(kRemotePermissionColumn, false, 0, {}, u"a", u"2003-05-12 10:00");
    const auto b = MakeRemoteSortKey(kRemotePermissionColumn, false, 0, {}, u"b", u"2003-05-12 9:00");
    EXPECT_GT(CompareRemoteSortKeys(a, b, RemoteSortKind::DateOrText, true), 0);
    EXPECT_LT(CompareRemoteSortKeys(a, b, RemoteSortKind::DateOrText, false), 0);
    const auto text = MakeRemoteSortKey(kRemotePermissionColumn, false, 0, {}, u"c", u"RW-r--r-- ");
    EXPECT_LT(CompareRemoteSortKeys(a, text, RemoteSortKind::DateOrText, true), 0); // "2" before "r"
    const auto lower = MakeRemoteSortKey(kRemotePermissionColumn, false, 0, {}, u"d", u"rw-r--r-- ");
    EXPECT_EQ(CompareRemoteSortKeys(text, lower, RemoteSortKind::DateOrText, true), 0);
}

TEST(RemoteSort, KeysFollowTheColumnDirectoriesByNameUnderText) {
    EXPECT_EQ(SortKindOfColumn(kRemoteNameColumn), RemoteSortKind::Text);
    EXPECT_EQ(SortKindOfColumn(kRemoteSizeColumn), RemoteSortKind::Size);
    EXPECT_EQ(SortKindOfColumn(kRemoteModifiedColumn), RemoteSortKind::Time);
    EXPECT_EQ(SortKindOfColumn(kRemotePermissionColumn), RemoteSortKind::DateOrText);
    EXPECT_EQ(SortKindOfColumn(kRemoteTypeColumn), RemoteSortKind::Text);
    // Two folders have the same type text: by Type they still order by name.
    const auto b = MakeRemoteSortKey(kRemoteTypeColumn, true, 0, {}, u"Beta", u"folder");
    const auto a = MakeRemoteSortKey(kRemoteTypeColumn, true, 0, {}, u"alpha", u"folder");
    EXPECT_GT(CompareRemoteSortKeys(b, a, RemoteSortKind::Text, true), 0);
    // Files by Type compare the type texts, not the names.
    const auto zipped = MakeRemoteSortKey(kRemoteTypeColumn, false, 0, {}, u"a.zip", u"Zip archive");
    const auto text = MakeRemoteSortKey(kRemoteTypeColumn, false, 0, {}, u"z.txt", u"plain text document");
    EXPECT_LT(CompareRemoteSortKeys(text, zipped, RemoteSortKind::Text, true), 0);
    // The Modified column takes the item's stamp, whatever the text says.
    const auto early = MakeRemoteSortKey(kRemoteModifiedColumn, false, 0, 100, u"e", u"2099-01-01 ");
    const auto late = MakeRemoteSortKey(kRemoteModifiedColumn, false, 0, 200, u"l", u"1999-01-01 ");
    EXPECT_LT(CompareRemoteSortKeys(early, late, RemoteSortKind::Time, true), 0);
}

TEST(RemoteSort, ColumnDates) {
    const auto day = [](int y, int m, int d) { return QDate(y, m, d).toJulianDay() * 24 * 60; };
    EXPECT_EQ(ParseColumnDate(u"2003-05-12 "), day(2003, 5, 12));
    EXPECT_EQ(ParseColumnDate(u"2003-05-12"), day(2003, 5, 12));
    EXPECT_EQ(ParseColumnDate(u"2003-05-12  9:05"), day(2003, 5, 12) + 9 * 60 + 5);
    EXPECT_EQ(ParseColumnDate(u"2003-05-12 23:59"), day(2003, 5, 12) + 23 * 60 + 59);
    for (const QStringView bad : {u"", u"rwxr-xr-x ", u"2003-13-01 ", u"2003-02-30 ", u"2003-05-12 24:00",
                                  u"2003-05-12 10:60", u"2003-05-12 10:00x", u"03-05-12 "}) {
        EXPECT_FALSE(ParseColumnDate(bad)) << bad.toString().toStdString();
    }
}

} // namespace
} // namespace tessaly
