#include "listing/ListingParser.h"

#include "listing/ItemTexts.h"
#include "listing/LocalTimeCache.h"
#include "listing/RemoteItem.h"

#include <QByteArray>
#include <QList>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <gtest/gtest.h>
#include <optional>
#include <ostream>
#include <string>
#include <utility>

using namespace Qt::StringLiterals;
using tessaly::ListingItems;
using tessaly::LocalDate;
using tessaly::LocalTimeCache;
using tessaly::ParsedListing;
using tessaly::ParseListing;
using tessaly::RebuildFromEntry;
using tessaly::RemoteItem;

namespace tessaly {
void PrintTo(const RemoteItem& item, std::ostream* out) {
    *out << "RemoteItem{" << (item.valid() ? "valid" : "invalid") << (item.dosStyle() ? " dos" : " unix")
         << (item.isDirectory() ? " dir" : " file") << " name='" << item.name().toByteArray().toStdString()
         << "' raw='" << item.rawLine().toByteArray().toStdString() << "' size=" << item.size() << "}";
}
} // namespace tessaly

namespace {

// Year-less Unix dates are read as of this day, whatever the day the tests run: the day the server
// lines below were captured.
constexpr int kYear = 2026;
constexpr LocalDate kToday{kYear, 12, 8};

struct LocalFields {
    int year, month, day, hour, minute;
};

// What the platform makes of the local fields, asked directly.
qint64 Mktime(const LocalFields& f) {
    std::tm fields{};
    fields.tm_year = f.year - 1900;
    fields.tm_mon = f.month - 1;
    fields.tm_mday = f.day;
    fields.tm_hour = f.hour;
    fields.tm_min = f.minute;
    fields.tm_isdst = -1;
    return qint64(std::mktime(&fields));
}

// A literal with its NUL bytes.
template <std::size_t N> QByteArray Bytes(const char (&text)[N]) {
    return QByteArray(text, qsizetype(N - 1));
}

// The kept lines of an entry, checked against its text on the way.
QList<QByteArray> Lines(const tessaly::FolderCacheEntry& entry) {
    QList<QByteArray> lines;
    QByteArray joined;
    for (qsizetype i = 0; i < entry.lineCount(); ++i) {
        lines.append(entry.line(i).toByteArray());
        joined += lines.back() + '\n';
    }
    EXPECT_EQ(entry.text(), joined);
    return lines;
}

enum class Outcome { Listed, DroppedForDot, Invalid, Skipped };

struct LineCase {
    const char* label;
    QByteArray line;
    Outcome outcome = Outcome::Listed;
    bool directory = false;
    bool dos = false;
    QByteArray name = {};
    quint64 size = 0;
    QByteArray sizeText = {};
    QByteArray dateText = {};
    QByteArray timeText = {};
    QByteArray permissionText = {};
    std::optional<LocalFields> modified = std::nullopt;
    QByteArray rawLine = {}; // when it is not the line itself
};

void PrintTo(const LineCase& c, std::ostream* out) {
    *out << c.label;
}

const LineCase kLineCases[] = {
    // The cases every listing parser of this kind must get right.
    {.label = "TotalHeader", .line = "total 0", .outcome = Outcome::Skipped},
    {.label = "TotalHeaderUpperCase", .line = "TOTAL 0", .outcome = Outcome::Skipped},
    {.label = "DirectoryWithBlankInName",
     .line = "drwxr-xr-x   2 owner group     4096 Jan  5  2003 my docs",
     .directory = true,
     .name = "my docs",
     .size = 4096,
     .sizeText = "5 KB",
     .dateText = "2003-01-05",
     .permissionText = "rwxr-xr-x ",
     .modified = LocalFields{2003, 1, 5, 0, 0}},
    {.label = "EightFieldsWithoutGroup",
     .line = "-rw-r--r-- 1 owner 1234 Mar 7 10:25 a.txt",
     .name = "a.txt",
     .size = 1234,
     .sizeText = "2 KB",
     .dateText = "2026-03-07",
     .timeText = "10:25",
     .permissionText = "rw-r--r-- ",
     .modified = LocalFields{kYear, 3, 7, 10, 25}},
    {.label = "SymbolicLink",
     .line = "lrwxrwxrwx 1 o g 11 Jan 1 2003 link -> /target",
     .directory = true,
     .name = "link",
     .size = 11,
     .sizeText = "1 KB",
     .dateText = "2003-01-01",
     .permissionText = "rwxrwxrwx ",
     .modified = LocalFields{2003, 1, 1, 0, 0},
     .rawLine = "lrwxrwxrwx 1 o g 11 Jan 1 2003 link"},
    {.label = "DosDirectoryAtNoon",
     .line = "05-12-03  12:30PM       <DIR>          pub",
     .directory = true,
     .dos = true,
     .name = "pub",
     .dateText = "2003-05-12",
     .timeText = "12:30",
     .modified = LocalFields{2003, 5, 12, 12, 30}},
    {.label = "DosFileWithBlankInName",
     .line = "05-12-99  09:00AM              1024 a b.txt",
     .dos = true,
     .name = "a b.txt",
     .size = 1024,
     .sizeText = "2 KB",
     .dateText = "1999-05-12",
     .timeText = " 9:00",
     .modified = LocalFields{1999, 5, 12, 9, 0}},
    {.label = "DotEntry",
     .line = "drwxr-xr-x   2 owner group     4096 Jan  5  2003 .",
     .outcome = Outcome::DroppedForDot},
    {.label = "DotDotEntry",
     .line = "drwxr-xr-x   2 owner group     4096 Jan  5  2003 ..",
     .outcome = Outcome::DroppedForDot},
    // Only "." and ".." are dropped: "readme." is a file like any other.
    {.label = "NameEndingInDot",
     .line = "-rw-r--r--   1 owner group       10 Jan  5  2003 readme.",
     .name = "readme.",
     .size = 10,
     .sizeText = "1 KB",
     .dateText = "2003-01-05",
     .permissionText = "rw-r--r-- ",
     .modified = LocalFields{2003, 1, 5, 0, 0}},
    {.label = "DosNameEndingInDot",
     .line = "05-12-03  12:30PM                   10 readme.",
     .dos = true,
     .name = "readme.",
     .size = 10,
     .sizeText = "1 KB",
     .dateText = "2003-05-12",
     .timeText = "12:30",
     .modified = LocalFields{2003, 5, 12, 12, 30}},
    {.label = "DosDotDot",
     .line = "05-12-03  12:30PM       <DIR>          ..",
     .outcome = Outcome::DroppedForDot},
    {.label = "LowerCaseMonth",
     .line = "-rw-r--r--   1 owner group      100 jan 15  2004 notes",
     .name = "notes",
     .size = 100,
     .sizeText = "1 KB",
     .dateText = "2004-01-15",
     .permissionText = "rw-r--r-- ",
     .modified = LocalFields{2004, 1, 15, 0, 0}},

    // MS-DOS clock and year conversions.
    {.label = "DosQuarterPastMidnight",
     .line = "05-12-03  12:15AM                 0 empty",
     .dos = true,
     .name = "empty",
     .sizeText = "1 KB",
     .dateText = "2003-05-12",
     .timeText = " 0:15",
     .modified = LocalFields{2003, 5, 12, 0, 15}},
    {.label = "DosAfternoonLowerCase",
     .line = "01-31-69  01:05pm      2048 late",
     .dos = true,
     .name = "late",
     .size = 2048,
     .sizeText = "3 KB",
     .dateText = "2069-01-31",
     .timeText = "13:05",
     .modified = LocalFields{2069, 1, 31, 13, 5}},
    {.label = "DosYear70Is1970",
     .line = "06-15-70  11:59PM  1 old",
     .dos = true,
     .name = "old",
     .size = 1,
     .sizeText = "1 KB",
     .dateText = "1970-06-15",
     .timeText = "23:59",
     .modified = LocalFields{1970, 6, 15, 23, 59}},
    {.label = "DosFourDigitYear",
     .line = "12-07-2026  10:52PM  100 x",
     .dos = true,
     .name = "x",
     .size = 100,
     .sizeText = "1 KB",
     .dateText = "2026-12-07",
     .timeText = "22:52",
     .modified = LocalFields{2026, 12, 7, 22, 52}},
    {.label = "DosTwentyFourHourClock",
     .line = "12-07-26  14:05  100 y",
     .dos = true,
     .name = "y",
     .size = 100,
     .sizeText = "1 KB",
     .dateText = "2026-12-07",
     .timeText = "14:05",
     .modified = LocalFields{2026, 12, 7, 14, 5}},
    // A one-digit month shifts the date text out of its form: shown as it comes, no time stamp.
    {.label = "DosShortDateToken",
     .line = "5-12-03  10:00AM  7 short",
     .dos = true,
     .name = "short",
     .size = 7,
     .sizeText = "1 KB",
     .dateText = "2003-5-12-",
     .timeText = "10:00"},
    {.label = "DosDirectoryMarkerAnywhere",
     .line = "05-12-03  10:00AM  123 my<DIR>file",
     .directory = true,
     .dos = true,
     .name = "my<DIR>file",
     .dateText = "2003-05-12",
     .timeText = "10:00",
     .modified = LocalFields{2003, 5, 12, 10, 0}},
    {.label = "DosDateOnly", .line = "05-12-03", .outcome = Outcome::Invalid},
    {.label = "DosWithoutSize", .line = "05-12-03  12:30PM   ", .outcome = Outcome::Invalid},
    {.label = "DosWithoutName", .line = "05-12-03  12:30PM       <DIR>   ", .outcome = Outcome::Invalid},

    // Unix fields.
    {.label = "HourMinuteFormPadded",
     .line = "-rw-r--r-- 1 o g 5 Feb 3 1:5 t",
     .name = "t",
     .size = 5,
     .sizeText = "1 KB",
     .dateText = "2026-02-03",
     .timeText = "01:05",
     .permissionText = "rw-r--r-- ",
     .modified = LocalFields{kYear, 2, 3, 1, 5}},
    {.label = "NameKeepsInnerAndTrailingBlanks",
     .line = "-rw-r--r-- 1 o g 5 Feb 3 2020 two  blanks ",
     .name = "two  blanks ",
     .size = 5,
     .sizeText = "1 KB",
     .dateText = "2020-02-03",
     .permissionText = "rw-r--r-- ",
     .modified = LocalFields{2020, 2, 3, 0, 0}},
    // A link's name ends at " -> ", the arrow with its blanks; "->" alone is part of the name.
    {.label = "ArrowWithoutBlankBefore",
     .line = "lrwxrwxrwx 1 o g 1 Jan 1 2003 a->b",
     .directory = true,
     .name = "a->b",
     .size = 1,
     .sizeText = "1 KB",
     .dateText = "2003-01-01",
     .permissionText = "rwxrwxrwx ",
     .modified = LocalFields{2003, 1, 1, 0, 0}},
    {.label = "LinkNameWithArrowCutAtTheFirstBlankArrow",
     .line = "lrwxrwxrwx 1 o g 1 Jan 1 2003 a->b -> c -> d",
     .directory = true,
     .name = "a->b",
     .size = 1,
     .sizeText = "1 KB",
     .dateText = "2003-01-01",
     .permissionText = "rwxrwxrwx ",
     .modified = LocalFields{2003, 1, 1, 0, 0},
     .rawLine = "lrwxrwxrwx 1 o g 1 Jan 1 2003 a->b"},
    // A device is a file for the panes.
    {.label = "DeviceIsAFile",
     .line = "crw-rw-rw- 1 root root 0 Jan 1 2003 null",
     .name = "null",
     .sizeText = "1 KB",
     .dateText = "2003-01-01",
     .permissionText = "rw-rw-rw- ",
     .modified = LocalFields{2003, 1, 1, 0, 0}},
    {.label = "FourGigabytesAndMore",
     .line = "-rw-r--r-- 1 o g 5000000000 Jan 1 2020 dvd.iso",
     .name = "dvd.iso",
     .size = 5000000000,
     .sizeText = "4882813 KB",
     .dateText = "2020-01-01",
     .permissionText = "rw-r--r-- ",
     .modified = LocalFields{2020, 1, 1, 0, 0}},
    {.label = "SizeBeyond64BitsSaturates",
     .line = "-rw-r--r-- 1 o g 99999999999999999999 Jan 1 2020 huge",
     .name = "huge",
     .size = 18446744073709551615u,
     .sizeText = "18014398509481984 KB",
     .dateText = "2020-01-01",
     .permissionText = "rw-r--r-- ",
     .modified = LocalFields{2020, 1, 1, 0, 0}},
    // Dates that form no calendar time: the entry stays, without a time stamp.
    {.label = "UnknownMonth",
     .line = "-rw-r--r-- 1 o g 5 Foo 3 2003 m",
     .name = "m",
     .size = 5,
     .sizeText = "1 KB",
     .dateText = "2003--03",
     .permissionText = "rw-r--r-- "},
    {.label = "YearBefore1970",
     .line = "-rw-r--r-- 1 o g 5 Dec 31 1969 old",
     .name = "old",
     .size = 5,
     .sizeText = "1 KB",
     .dateText = "1969-12-31",
     .permissionText = "rw-r--r-- "},
    {.label = "UnreadableYear",
     .line = "-rw-r--r-- 1 o g 5 Jan 5 abcd y0",
     .name = "y0",
     .size = 5,
     .sizeText = "1 KB",
     .dateText = "0-01-05",
     .permissionText = "rw-r--r-- "},
    {.label = "NoSuchDay",
     .line = "-rw-r--r-- 1 o g 5 Feb 30 2003 feb",
     .name = "feb",
     .size = 5,
     .sizeText = "1 KB",
     .dateText = "2003-02-30",
     .permissionText = "rw-r--r-- "},
    {.label = "OverlongDayAndTime",
     .line = "-rw-r--r-- 1 o g 5 Jan 123 10:12345 z",
     .name = "z",
     .size = 5,
     .sizeText = "1 KB",
     .dateText = "2026-01-123",
     .timeText = "10:12345",
     .permissionText = "rw-r--r-- "},
    {.label = "HourOutOfRange",
     .line = "-rw-r--r-- 1 o g 5 Jan 1 25:00 h",
     .name = "h",
     .size = 5,
     .sizeText = "1 KB",
     .dateText = "2026-01-01",
     .timeText = "25:00",
     .permissionText = "rw-r--r-- "},
    {.label = "NoBlankAtAll", .line = "garbage", .outcome = Outcome::Invalid},
    {.label = "NoName", .line = "-rw-r--r-- 1 o 12 Jan 5 2003", .outcome = Outcome::Invalid},
    {.label = "NoNameTrailingBlanks",
     .line = "-rw-r--r-- 1 o 12 Jan 5 2003    ",
     .outcome = Outcome::Invalid},
    // A line that ends with its date has no name, whether or not it has a group column.
    {.label = "GroupColumnButNoName", .line = "-rw-r--r-- 1 o g 12 Jan 5 2003", .outcome = Outcome::Invalid},
    {.label = "TooFewFields", .line = "-rw-r--r-- 1 o", .outcome = Outcome::Invalid},
    {.label = "ArrowOnly", .line = "-> /target", .outcome = Outcome::Invalid},
    {.label = "OnlyBlanks", .line = "      ", .outcome = Outcome::Invalid},

    // Lines as real servers send them.
    {.label = "PyftpdlibDirectory",
     .line = "drwxr-xr-x   2 root     root         4096 Dec 07 22:52 pub",
     .directory = true,
     .name = "pub",
     .size = 4096,
     .sizeText = "5 KB",
     .dateText = "2026-12-07",
     .timeText = "22:52",
     .permissionText = "rwxr-xr-x ",
     .modified = LocalFields{kYear, 12, 7, 22, 52}},
    {.label = "ProftpdFile",
     .line = "-rw-r--r--   1 root     root           12 Dec  7 22:54 hello.txt",
     .name = "hello.txt",
     .size = 12,
     .sizeText = "1 KB",
     .dateText = "2026-12-07",
     .timeText = "22:54",
     .permissionText = "rw-r--r-- ",
     .modified = LocalFields{kYear, 12, 7, 22, 54}},
    {.label = "PureFtpdFileWithNumericOwner",
     .line = "-rw-r--r--    1 1000       users          307200 Jan 01  2025 file with space.txt",
     .name = "file with space.txt",
     .size = 307200,
     .sizeText = "301 KB",
     .dateText = "2025-01-01",
     .permissionText = "rw-r--r-- ",
     .modified = LocalFields{2025, 1, 1, 0, 0}},
    {.label = "VsftpdDirectory",
     .line = "drwxr-xr-x    2 0        0            4096 Dec 07 22:52 incoming",
     .directory = true,
     .name = "incoming",
     .size = 4096,
     .sizeText = "5 KB",
     .dateText = "2026-12-07",
     .timeText = "22:52",
     .permissionText = "rwxr-xr-x ",
     .modified = LocalFields{kYear, 12, 7, 22, 52}},
    {.label = "PyftpdlibDosDirectory",
     .line = "12-07-26  10:52PM       <DIR>          incoming",
     .directory = true,
     .dos = true,
     .name = "incoming",
     .dateText = "2026-12-07",
     .timeText = "22:52",
     .modified = LocalFields{2026, 12, 7, 22, 52}},
    {.label = "PyftpdlibDosFile",
     .line = "12-07-26  10:52PM               100000 big.bin",
     .dos = true,
     .name = "big.bin",
     .size = 100000,
     .sizeText = "98 KB",
     .dateText = "2026-12-07",
     .timeText = "22:52",
     .modified = LocalFields{2026, 12, 7, 22, 52}},
    // Bytes are kept as they are: no encoding is assumed, and unsafe names are refused later, by the
    // code that transfers.
    {.label = "NonUtf8Name",
     .line = "-rw-r--r-- 1 o g 1 Jan 1 2020 caf\xe9 \xff\xfe",
     .name = "caf\xe9 \xff\xfe",
     .size = 1,
     .sizeText = "1 KB",
     .dateText = "2020-01-01",
     .permissionText = "rw-r--r-- ",
     .modified = LocalFields{2020, 1, 1, 0, 0}},
    {.label = "NulBytesInName",
     .line = Bytes("-rw-r--r-- 1 o g 1 Jan 1 2020 a\0b\0"),
     .name = Bytes("a\0b\0"),
     .size = 1,
     .sizeText = "1 KB",
     .dateText = "2020-01-01",
     .permissionText = "rw-r--r-- ",
     .modified = LocalFields{2020, 1, 1, 0, 0}},
    {.label = "AbsolutePathAsName",
     .line = "-rw-r--r-- 1 o g 1 Jan 1 2020 /etc/passwd",
     .name = "/etc/passwd",
     .size = 1,
     .sizeText = "1 KB",
     .dateText = "2020-01-01",
     .permissionText = "rw-r--r-- ",
     .modified = LocalFields{2020, 1, 1, 0, 0}},
    {.label = "ParentStepsInName",
     .line = "drwxr-xr-x 1 o g 1 Jan 1 2020 a/../../b",
     .directory = true,
     .name = "a/../../b",
     .size = 1,
     .sizeText = "1 KB",
     .dateText = "2020-01-01",
     .permissionText = "rwxr-xr-x ",
     .modified = LocalFields{2020, 1, 1, 0, 0}},
};

void ExpectFields(const RemoteItem& item, const LineCase& c) {
    EXPECT_TRUE(item.valid());
    EXPECT_EQ(item.isDirectory(), c.directory);
    EXPECT_EQ(item.dosStyle(), c.dos);
    EXPECT_EQ(item.name(), c.name);
    EXPECT_EQ(item.size(), c.size);
    EXPECT_EQ(item.sizeText(), c.sizeText);
    EXPECT_EQ(item.dateText(), c.dateText);
    EXPECT_EQ(item.timeText(), c.timeText);
    EXPECT_EQ(item.permissionText(), c.permissionText);
    EXPECT_EQ(item.rawLine(), c.rawLine.isNull() ? c.line : c.rawLine);
    EXPECT_EQ(item.modified(), c.modified ? std::optional<qint64>(Mktime(*c.modified)) : std::nullopt);
}

class ListingLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(ListingLine, ParsesToTheExpectedItem) {
    const LineCase& c = GetParam();
    const ParsedListing parsed = ParseListing(c.line, "/pub"_ba, true, kToday);
    const QList<RemoteItem>& kept = c.directory ? parsed.items.directories : parsed.items.files;
    const qsizetype keptCount = parsed.items.directories.size() + parsed.items.files.size();
    ASSERT_TRUE(parsed.cacheEntry);
    EXPECT_EQ(parsed.cacheEntry->path, "/pub");
    if (c.outcome != Outcome::Listed) {
        EXPECT_EQ(keptCount, 0);
        EXPECT_TRUE(parsed.cacheEntry->lineCount() == 0);
        if (c.outcome == Outcome::Invalid || c.outcome == Outcome::DroppedForDot) {
            EXPECT_EQ(RemoteItem(c.line, kToday).valid(), c.outcome == Outcome::DroppedForDot);
        }
        return;
    }
    ASSERT_EQ(keptCount, 1);
    ASSERT_EQ(kept.size(), 1);
    ExpectFields(kept.front(), c);
    EXPECT_EQ(Lines(*parsed.cacheEntry), QList<QByteArray>{c.line}); // as received, link target included
    ExpectFields(RemoteItem(c.line, kToday), c);
}

INSTANTIATE_TEST_SUITE_P(ListingParser, ListingLine, ::testing::ValuesIn(kLineCases),
                         [](const ::testing::TestParamInfo<LineCase>& info) {
                             return std::string(info.param.label);
                         });

// Lines as real servers print them, captured verbatim on 2026-12-08 (kToday) with
// `curl -s ftp://127.0.0.1:PORT/t/` (LIST) from each server of /work/shared/notes/test-peers.md,
// serving one directory made alike for all: a file and a directory whose names start with two
// blanks, files named "a -> b" and "a->b", a directory, a FIFO (mkfifo), a link to "old", a file
// "my file.txt" of 1234 bytes, the devices null (c 1 3) and sda (b 8 0), a Unix socket, "readme.",
// a file whose name ends in a blank, all dated 2020-01-01 12:00 (touch -d), "old" dated
// 2019-03-07 10:25 and "recent" touched two hours before the capture. None of the servers prints a
// device's numbers or leaves the group column out; those forms, and MS-DOS lines with a 24-hour
// clock, are written by hand at the end.
QByteArray OwnBuffer(const QByteArray& bytes, qsizetype spare);

struct ServerLine {
    const char* label;
    QByteArray line;
    bool directory;
    QByteArray name;
    quint64 size;
    LocalFields date; // the date the line gives, with the time of day when it gives one (else 0:00)
    bool hasTime;
    QByteArray rawLine = {}; // when it is not the line itself (a link line, cut before " -> ")
};

void PrintTo(const ServerLine& c, std::ostream* out) {
    *out << c.label;
}

// One line each, so that every captured line stands as the server printed it.
// clang-format off
const ServerLine kServerLines[] = {
    // pyftpdlib 1.5.7
    {"Pyftpdlib_LeadingBlanks", "-rw-r--r--   1 root     root            2 Jan 01  2020   spaced", false, "  spaced", 2, {2020, 1, 1, 0, 0}, false},
    {"Pyftpdlib_DirectoryWithLeadingBlanks", "drwxr-xr-x   2 root     root         4096 Jan 01  2020   spaced dir", true, "  spaced dir", 4096, {2020, 1, 1, 0, 0}, false},
    {"Pyftpdlib_FileNamedWithBlankArrow", "-rw-r--r--   1 root     root            2 Jan 01  2020 a -> b", false, "a -> b", 2, {2020, 1, 1, 0, 0}, false},
    {"Pyftpdlib_FileNamedWithArrow", "-rw-r--r--   1 root     root            2 Jan 01  2020 a->b", false, "a->b", 2, {2020, 1, 1, 0, 0}, false},
    {"Pyftpdlib_Directory", "drwxr-xr-x   2 root     root         4096 Jan 01  2020 dir", true, "dir", 4096, {2020, 1, 1, 0, 0}, false},
    {"Pyftpdlib_Fifo", "prw-r--r--   1 root     root            0 Jan 01  2020 fifo", false, "fifo", 0, {2020, 1, 1, 0, 0}, false},
    {"Pyftpdlib_Link", "lrwxrwxrwx   1 root     root            3 Jan 01  2020 link -> old", true, "link", 3, {2020, 1, 1, 0, 0}, false, "lrwxrwxrwx   1 root     root            3 Jan 01  2020 link"},
    {"Pyftpdlib_NameWithBlank", "-rw-r--r--   1 root     root         1234 Jan 01  2020 my file.txt", false, "my file.txt", 1234, {2020, 1, 1, 0, 0}, false},
    {"Pyftpdlib_CharacterDevice", "crw-r--r--   1 root     root            0 Jan 01  2020 null", false, "null", 0, {2020, 1, 1, 0, 0}, false},
    {"Pyftpdlib_OldFile", "-rw-r--r--   1 root     root            2 Mar 07  2019 old", false, "old", 2, {2019, 3, 7, 0, 0}, false},
    {"Pyftpdlib_NameEndingInDot", "-rw-r--r--   1 root     root            2 Jan 01  2020 readme.", false, "readme.", 2, {2020, 1, 1, 0, 0}, false},
    {"Pyftpdlib_RecentFile", "-rw-r--r--   1 root     root            2 Dec 08 12:57 recent", false, "recent", 2, {2026, 12, 8, 12, 57}, true},
    {"Pyftpdlib_BlockDevice", "brw-r--r--   1 root     root            0 Jan 01  2020 sda", false, "sda", 0, {2020, 1, 1, 0, 0}, false},
    {"Pyftpdlib_Socket", "srwxr-xr-x   1 root     root            0 Jan 01  2020 sock", false, "sock", 0, {2020, 1, 1, 0, 0}, false},
    {"Pyftpdlib_TrailingBlank", "-rw-r--r--   1 root     root            2 Jan 01  2020 trailing ", false, "trailing ", 2, {2020, 1, 1, 0, 0}, false},
    // pyftpdlib 1.5.7 with the MS-DOS formatter of test-peers.md (--dos)
    {"PyftpdlibDos_LeadingBlanks", "01-01-20  12:00PM                    2   spaced", false, "  spaced", 2, {2020, 1, 1, 12, 0}, true},
    {"PyftpdlibDos_DirectoryWithLeadingBlanks", "01-01-20  12:00PM       <DIR>            spaced dir", true, "  spaced dir", 0, {2020, 1, 1, 12, 0}, true},
    {"PyftpdlibDos_FileNamedWithBlankArrow", "01-01-20  12:00PM                    2 a -> b", false, "a -> b", 2, {2020, 1, 1, 12, 0}, true},
    {"PyftpdlibDos_FileNamedWithArrow", "01-01-20  12:00PM                    2 a->b", false, "a->b", 2, {2020, 1, 1, 12, 0}, true},
    {"PyftpdlibDos_Directory", "01-01-20  12:00PM       <DIR>          dir", true, "dir", 0, {2020, 1, 1, 12, 0}, true},
    {"PyftpdlibDos_Fifo", "01-01-20  12:00PM                    0 fifo", false, "fifo", 0, {2020, 1, 1, 12, 0}, true},
    {"PyftpdlibDos_Link", "01-01-20  12:00PM                    3 link", false, "link", 3, {2020, 1, 1, 12, 0}, true},
    {"PyftpdlibDos_NameWithBlank", "01-01-20  12:00PM                 1234 my file.txt", false, "my file.txt", 1234, {2020, 1, 1, 12, 0}, true},
    {"PyftpdlibDos_CharacterDevice", "01-01-20  12:00PM                    0 null", false, "null", 0, {2020, 1, 1, 12, 0}, true},
    {"PyftpdlibDos_OldFile", "03-07-19  10:25AM                    2 old", false, "old", 2, {2019, 3, 7, 10, 25}, true},
    {"PyftpdlibDos_NameEndingInDot", "01-01-20  12:00PM                    2 readme.", false, "readme.", 2, {2020, 1, 1, 12, 0}, true},
    {"PyftpdlibDos_RecentFile", "12-08-26  12:57PM                    2 recent", false, "recent", 2, {2026, 12, 8, 12, 57}, true},
    {"PyftpdlibDos_BlockDevice", "01-01-20  12:00PM                    0 sda", false, "sda", 0, {2020, 1, 1, 12, 0}, true},
    {"PyftpdlibDos_Socket", "01-01-20  12:00PM                    0 sock", false, "sock", 0, {2020, 1, 1, 12, 0}, true},
    {"PyftpdlibDos_TrailingBlank", "01-01-20  12:00PM                    2 trailing ", false, "trailing ", 2, {2020, 1, 1, 12, 0}, true},
    // vsftpd 3.0.3
    {"Vsftpd_LeadingBlanks", "-rw-r--r--    1 0        0               2 Jan 01  2020   spaced", false, "  spaced", 2, {2020, 1, 1, 0, 0}, false},
    {"Vsftpd_DirectoryWithLeadingBlanks", "drwxr-xr-x    2 0        0            4096 Jan 01  2020   spaced dir", true, "  spaced dir", 4096, {2020, 1, 1, 0, 0}, false},
    {"Vsftpd_FileNamedWithBlankArrow", "-rw-r--r--    1 0        0               2 Jan 01  2020 a -> b", false, "a -> b", 2, {2020, 1, 1, 0, 0}, false},
    {"Vsftpd_FileNamedWithArrow", "-rw-r--r--    1 0        0               2 Jan 01  2020 a->b", false, "a->b", 2, {2020, 1, 1, 0, 0}, false},
    {"Vsftpd_Directory", "drwxr-xr-x    2 0        0            4096 Jan 01  2020 dir", true, "dir", 4096, {2020, 1, 1, 0, 0}, false},
    {"Vsftpd_Fifo", "prw-r--r--    1 0        0               0 Jan 01  2020 fifo", false, "fifo", 0, {2020, 1, 1, 0, 0}, false},
    {"Vsftpd_Link", "lrwxrwxrwx    1 0        0               3 Jan 01  2020 link -> old", true, "link", 3, {2020, 1, 1, 0, 0}, false, "lrwxrwxrwx    1 0        0               3 Jan 01  2020 link"},
    {"Vsftpd_NameWithBlank", "-rw-r--r--    1 0        0            1234 Jan 01  2020 my file.txt", false, "my file.txt", 1234, {2020, 1, 1, 0, 0}, false},
    {"Vsftpd_CharacterDevice", "crw-r--r--    1 0        0               0 Jan 01  2020 null", false, "null", 0, {2020, 1, 1, 0, 0}, false},
    {"Vsftpd_OldFile", "-rw-r--r--    1 0        0               2 Mar 07  2019 old", false, "old", 2, {2019, 3, 7, 0, 0}, false},
    {"Vsftpd_NameEndingInDot", "-rw-r--r--    1 0        0               2 Jan 01  2020 readme.", false, "readme.", 2, {2020, 1, 1, 0, 0}, false},
    {"Vsftpd_RecentFile", "-rw-r--r--    1 0        0               2 Dec 08 12:57 recent", false, "recent", 2, {2026, 12, 8, 12, 57}, true},
    {"Vsftpd_BlockDevice", "brw-r--r--    1 0        0               0 Jan 01  2020 sda", false, "sda", 0, {2020, 1, 1, 0, 0}, false},
    {"Vsftpd_Socket", "srwxr-xr-x    1 0        0               0 Jan 01  2020 sock", false, "sock", 0, {2020, 1, 1, 0, 0}, false},
    {"Vsftpd_TrailingBlank", "-rw-r--r--    1 0        0               2 Jan 01  2020 trailing ", false, "trailing ", 2, {2020, 1, 1, 0, 0}, false},
    // proftpd 1.3.8
    {"Proftpd_LeadingBlanks", "-rw-r--r--   1 root     root            2 Jan  1  2020   spaced", false, "  spaced", 2, {2020, 1, 1, 0, 0}, false},
    {"Proftpd_DirectoryWithLeadingBlanks", "drwxr-xr-x   2 root     root         4096 Jan  1  2020   spaced dir", true, "  spaced dir", 4096, {2020, 1, 1, 0, 0}, false},
    {"Proftpd_FileNamedWithBlankArrow", "-rw-r--r--   1 root     root            2 Jan  1  2020 a -> b", false, "a -> b", 2, {2020, 1, 1, 0, 0}, false},
    {"Proftpd_FileNamedWithArrow", "-rw-r--r--   1 root     root            2 Jan  1  2020 a->b", false, "a->b", 2, {2020, 1, 1, 0, 0}, false},
    {"Proftpd_Directory", "drwxr-xr-x   2 root     root         4096 Jan  1  2020 dir", true, "dir", 4096, {2020, 1, 1, 0, 0}, false},
    {"Proftpd_Fifo", "prw-r--r--   1 root     root            0 Jan  1  2020 fifo", false, "fifo", 0, {2020, 1, 1, 0, 0}, false},
    {"Proftpd_Link", "lrwxrwxrwx   1 root     root            3 Jan  1  2020 link -> old", true, "link", 3, {2020, 1, 1, 0, 0}, false, "lrwxrwxrwx   1 root     root            3 Jan  1  2020 link"},
    {"Proftpd_NameWithBlank", "-rw-r--r--   1 root     root         1234 Jan  1  2020 my file.txt", false, "my file.txt", 1234, {2020, 1, 1, 0, 0}, false},
    {"Proftpd_CharacterDevice", "crw-r--r--   1 root     root            0 Jan  1  2020 null", false, "null", 0, {2020, 1, 1, 0, 0}, false},
    {"Proftpd_OldFile", "-rw-r--r--   1 root     root            2 Mar  7  2019 old", false, "old", 2, {2019, 3, 7, 0, 0}, false},
    {"Proftpd_NameEndingInDot", "-rw-r--r--   1 root     root            2 Jan  1  2020 readme.", false, "readme.", 2, {2020, 1, 1, 0, 0}, false},
    {"Proftpd_RecentFile", "-rw-r--r--   1 root     root            2 Dec  8 12:57 recent", false, "recent", 2, {2026, 12, 8, 12, 57}, true},
    {"Proftpd_BlockDevice", "brw-r--r--   1 root     root            0 Jan  1  2020 sda", false, "sda", 0, {2020, 1, 1, 0, 0}, false},
    {"Proftpd_Socket", "srwxr-xr-x   1 root     root            0 Jan  1  2020 sock", false, "sock", 0, {2020, 1, 1, 0, 0}, false},
    {"Proftpd_TrailingBlank", "-rw-r--r--   1 root     root            2 Jan  1  2020 trailing ", false, "trailing ", 2, {2020, 1, 1, 0, 0}, false},
    // pure-ftpd 1.0.50 (it leaves FIFOs, devices and sockets out)
    {"PureFtpd_LeadingBlanks", "-rw-r--r--    1 0          0                   2 Jan  1  2020   spaced", false, "  spaced", 2, {2020, 1, 1, 0, 0}, false},
    {"PureFtpd_DirectoryWithLeadingBlanks", "drwxr-xr-x    2 0          0                4096 Jan  1  2020   spaced dir", true, "  spaced dir", 4096, {2020, 1, 1, 0, 0}, false},
    {"PureFtpd_FileNamedWithBlankArrow", "-rw-r--r--    1 0          0                   2 Jan  1  2020 a -> b", false, "a -> b", 2, {2020, 1, 1, 0, 0}, false},
    {"PureFtpd_FileNamedWithArrow", "-rw-r--r--    1 0          0                   2 Jan  1  2020 a->b", false, "a->b", 2, {2020, 1, 1, 0, 0}, false},
    {"PureFtpd_Directory", "drwxr-xr-x    2 0          0                4096 Jan  1  2020 dir", true, "dir", 4096, {2020, 1, 1, 0, 0}, false},
    {"PureFtpd_Link", "lrwxrwxrwx    1 0          0                   3 Jan  1  2020 link -> old", true, "link", 3, {2020, 1, 1, 0, 0}, false, "lrwxrwxrwx    1 0          0                   3 Jan  1  2020 link"},
    {"PureFtpd_NameWithBlank", "-rw-r--r--    1 0          0                1234 Jan  1  2020 my file.txt", false, "my file.txt", 1234, {2020, 1, 1, 0, 0}, false},
    {"PureFtpd_OldFile", "-rw-r--r--    1 0          0                   2 Mar  7  2019 old", false, "old", 2, {2019, 3, 7, 0, 0}, false},
    {"PureFtpd_NameEndingInDot", "-rw-r--r--    1 0          0                   2 Jan  1  2020 readme.", false, "readme.", 2, {2020, 1, 1, 0, 0}, false},
    {"PureFtpd_RecentFile", "-rw-r--r--    1 0          0                   2 Dec  8 12:57 recent", false, "recent", 2, {2026, 12, 8, 12, 57}, true},
    {"PureFtpd_TrailingBlank", "-rw-r--r--    1 0          0                   2 Jan  1  2020 trailing ", false, "trailing ", 2, {2020, 1, 1, 0, 0}, false},
    // Written by hand: devices with their numbers ("major, minor" in the size column, as ls prints
    // them), lines without a group column, and MS-DOS lines with a 24-hour clock.
    {"HandWritten_CharacterDeviceNumbers", "crw-rw-rw- 1 0 0 1, 3 Jan 01 2020 null", false, "null", 0, {2020, 1, 1, 0, 0}, false},
    {"HandWritten_BlockDeviceNumbers", "brw-rw---- 1 root disk 8, 0 Jan 01 2020 sda", false, "sda", 0, {2020, 1, 1, 0, 0}, false},
    {"HandWritten_DeviceAsLsPadsIt", "crw-rw-rw- 1 root root 1,   3 Dec  8 14:49 null", false, "null", 0, {2026, 12, 8, 14, 49}, true},
    {"HandWritten_DeviceNumbersInOneField", "crw-rw-rw- 1 root root 1,3 Jan 01 2020 null", false, "null", 0, {2020, 1, 1, 0, 0}, false},
    {"HandWritten_DeviceWithoutGroup", "crw-rw-rw- 1 root 1, 3 Jan 01 2020 my null", false, "my null", 0, {2020, 1, 1, 0, 0}, false},
    {"HandWritten_NoGroupNameWithBlanks", "-rw-r--r-- 1 owner 1234 Jan 01 2020 my file.txt", false, "my file.txt", 1234, {2020, 1, 1, 0, 0}, false},
    {"HandWritten_NoGroupRecentNameWithBlanks", "-rw-r--r-- 1 owner 1234 Mar  7 10:25 a b c d", false, "a b c d", 1234, {2026, 3, 7, 10, 25}, true},
    {"HandWritten_NoGroupDirectoryWithLeadingBlank", "drwxr-xr-x 2 owner 4096 Jan 01 2020  x y", true, " x y", 4096, {2020, 1, 1, 0, 0}, false},
    {"HandWritten_OwnerAndGroupNamedLikeMonths", "-rw-r--r-- 1 jan dec 12 Jan 01 2020 f", false, "f", 12, {2020, 1, 1, 0, 0}, false},
    {"HandWritten_NameHoldsADate", "-rw-r--r-- 1 o 5 Jan 01 2020 Feb 02 2021 x", false, "Feb 02 2021 x", 5, {2020, 1, 1, 0, 0}, false},
    {"HandWritten_LinkWithoutTarget", "lrwxrwxrwx 1 o g 3 Jan 01 2020 link", true, "link", 3, {2020, 1, 1, 0, 0}, false},
    {"HandWritten_DosTwentyFourHourDirectory", "01-02-20  12:30       <DIR>          name", true, "name", 0, {2020, 1, 2, 12, 30}, true},
    {"HandWritten_DosTwentyFourHourMidnight", "01-02-20  00:05                  100 night", false, "night", 100, {2020, 1, 2, 0, 5}, true},
    {"HandWritten_DosTwentyFourHourEvening", "01-02-20  23:59                    7  late", false, " late", 7, {2020, 1, 2, 23, 59}, true},
    {"HandWritten_DosDirectoryMarkerWithOneBlank", "01-02-20  10:00AM <DIR> short gap", true, "short gap", 0, {2020, 1, 2, 10, 0}, true},
};
// clang-format on

void ExpectServerLine(const RemoteItem& item, const ServerLine& c) {
    const bool dos = c.line[0] >= '0' && c.line[0] <= '9';
    const LocalFields& d = c.date;
    char date[32];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", d.year, d.month, d.day);
    char time[32] = "";
    if (c.hasTime) {
        std::snprintf(time, sizeof time, dos ? "%2d:%02d" : "%02d:%02d", d.hour, d.minute);
    }
    EXPECT_TRUE(item.valid());
    EXPECT_EQ(item.dosStyle(), dos);
    EXPECT_EQ(item.isDirectory(), c.directory);
    EXPECT_EQ(item.name(), c.name);
    EXPECT_EQ(item.size(), c.size);
    EXPECT_EQ(item.sizeText(),
              dos && c.directory ? QByteArray() : QByteArray::number(c.size / 1024 + 1) + " KB");
    EXPECT_EQ(item.dateText(), QByteArray(date));
    EXPECT_EQ(item.timeText(), QByteArray(time));
    EXPECT_EQ(item.permissionText(), dos ? QByteArray() : c.line.sliced(1, c.line.indexOf(' ')));
    EXPECT_EQ(item.rawLine(), c.rawLine.isNull() ? c.line : c.rawLine);
    EXPECT_EQ(item.modified(), Mktime(d));
}

class ServerListingLine : public ::testing::TestWithParam<ServerLine> {};

TEST_P(ServerListingLine, ParsesToTheItemTheServerMeant) {
    const ServerLine& c = GetParam();
    for (const bool cache : {true, false}) {
        SCOPED_TRACE(cache ? "cached" : "not cached");
        const ParsedListing parsed = ParseListing(c.line + "\r\n", "/t"_ba, cache, kToday);
        const QList<RemoteItem>& kept = c.directory ? parsed.items.directories : parsed.items.files;
        ASSERT_EQ(parsed.items.directories.size() + parsed.items.files.size(), 1);
        ASSERT_EQ(kept.size(), 1);
        ExpectServerLine(kept.front(), c);
        if (cache) {
            EXPECT_EQ(Lines(*parsed.cacheEntry), QList<QByteArray>{c.line});
            const ListingItems rebuilt = RebuildFromEntry(*parsed.cacheEntry, kToday);
            EXPECT_EQ(rebuilt.directories, parsed.items.directories);
            EXPECT_EQ(rebuilt.files, parsed.items.files);
        }
    }
    ExpectServerLine(RemoteItem(c.line, kToday), c);
}

INSTANTIATE_TEST_SUITE_P(ListingParser, ServerListingLine, ::testing::ValuesIn(kServerLines),
                         [](const ::testing::TestParamInfo<ServerLine>& info) {
                             return std::string(info.param.label);
                         });

// Each server's lines as one listing, with the "." and ".." that some servers add: every entry
// comes out, in order, and only "." and ".." are dropped.
TEST(ListingParser, WholeServerListingsKeepEveryEntry) {
    for (const char* server : {"Pyftpdlib_", "PyftpdlibDos_", "Vsftpd_", "Proftpd_", "PureFtpd_"}) {
        SCOPED_TRACE(server);
        const bool dos = std::strcmp(server, "PyftpdlibDos_") == 0;
        QByteArray listing = dos ? "01-01-20  12:00PM       <DIR>          .\r\n"
                                   "01-01-20  12:00PM       <DIR>          ..\r\n"_ba
                                 : "total 44\r\ndrwxr-xr-x 3 0 0 4096 Dec 08 12:57 .\r\n"
                                   "drwxr-xr-x 5 0 0 4096 Dec 08 12:57 ..\r\n"_ba;
        QList<const ServerLine*> expected;
        for (const ServerLine& c : kServerLines) {
            if (std::strncmp(c.label, server, std::strlen(server)) == 0) {
                listing += c.line + "\r\n";
                expected.append(&c);
            }
        }
        ASSERT_GE(expected.size(), 11);
        const ParsedListing parsed = ParseListing(listing, "/t"_ba, true, kToday);
        EXPECT_EQ(parsed.cutLines, 0);
        ASSERT_EQ(parsed.items.directories.size() + parsed.items.files.size(), expected.size());
        qsizetype directory = 0;
        qsizetype file = 0;
        for (const ServerLine* c : expected) {
            SCOPED_TRACE(c->label);
            ExpectServerLine(
                c->directory ? parsed.items.directories.at(directory++) : parsed.items.files.at(file++), *c);
        }
    }
}

// Servers give the time of day instead of the year for files of the last months: such a date lies
// in the year that puts it at most a day after today.
TEST(ListingParser, YearlessDatesLieAtMostADayAhead) {
    // proftpd 1.3.8, captured on 2026-12-08.
    const QByteArray recent = "-rw-r--r--   1 root     root            2 Dec  8 12:57 recent"_ba;
    struct Case {
        LocalDate today;
        int year;
    };
    for (const Case& c : {Case{{2026, 12, 8}, 2026}, Case{{2026, 12, 7}, 2026}, Case{{2026, 12, 6}, 2025},
                          Case{{2026, 6, 1}, 2025}, Case{{2027, 1, 5}, 2026}, Case{{2027, 12, 31}, 2027},
                          Case{{2026, 1, 1}, 2025}}) {
        SCOPED_TRACE(std::to_string(c.today.year) + "-" + std::to_string(c.today.month) + "-" +
                     std::to_string(c.today.day));
        const RemoteItem item(recent, c.today);
        EXPECT_EQ(item.dateText(), QByteArray::number(c.year) + "-12-08");
        EXPECT_EQ(item.modified(), Mktime({c.year, 12, 8, 12, 57}));
        const ParsedListing parsed = ParseListing(recent, "/"_ba, true, c.today);
        ASSERT_EQ(parsed.items.files.size(), 1);
        EXPECT_EQ(parsed.items.files.front(), item);
        EXPECT_EQ(RebuildFromEntry(*parsed.cacheEntry, c.today).files.front(), item);
    }
    // Across the turn of the year: January 1st read on December 31st is tomorrow.
    const QByteArray newYear = "-rw-r--r-- 1 o g 2 Jan  1 00:10 new"_ba;
    EXPECT_EQ(RemoteItem(newYear, LocalDate{2026, 12, 31}).dateText(), "2027-01-01");
    EXPECT_EQ(RemoteItem(newYear, LocalDate{2026, 12, 30}).dateText(), "2026-01-01");
    EXPECT_EQ(RemoteItem(newYear, LocalDate{2027, 1, 1}).dateText(), "2027-01-01");
    // February 29th in a leap year, read in March.
    const RemoteItem leap("-rw-r--r-- 1 o g 2 Feb 29 10:00 leap"_ba, LocalDate{2028, 3, 1});
    EXPECT_EQ(leap.dateText(), "2028-02-29");
    EXPECT_EQ(leap.modified(), Mktime({2028, 2, 29, 10, 0}));
    // A date with a year is that year, however far ahead; one without a known month stays in
    // today's year.
    EXPECT_EQ(RemoteItem("-rw-r--r-- 1 o g 2 Dec 31 2030 f"_ba, LocalDate{2026, 1, 1}).dateText(),
              "2030-12-31");
    EXPECT_EQ(RemoteItem("-rw-r--r-- 1 o g 2 Foo 31 10:00 f"_ba, LocalDate{2026, 1, 1}).dateText(),
              "2026--31");

    // By default today is the local date of the machine.
    const LocalDate today = LocalDate::Today();
    std::time_t now = std::time(nullptr);
    std::tm fields{};
    localtime_r(&now, &fields);
    EXPECT_EQ(today.year, fields.tm_year + 1900);
    EXPECT_EQ(today.month, fields.tm_mon + 1);
    EXPECT_EQ(today.day, fields.tm_mday);
    EXPECT_EQ(tessaly::CurrentLocalYear(), today.year);
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QByteArray todays = "-rw-r--r-- 1 o g 2 " + QByteArray(kMonths[today.month - 1]) + " " +
                              QByteArray::number(today.day) + " 00:00 f";
    const ParsedListing parsed = ParseListing(todays, "/"_ba, false);
    ASSERT_EQ(parsed.items.files.size(), 1);
    EXPECT_EQ(parsed.items.files.front().dateText().first(4), QByteArray::number(today.year));
}

// The items a listing gives are bounded in number: the lines past the bound are neither items nor
// cache lines, and are counted.
TEST(ListingParser, ItemsAreBoundedAndTheCutLinesCounted) {
    QByteArray listing = "total 20\r\ndrwxr-xr-x 2 o g 1 Jan 1 2020 .\r\ndrwxr-xr-x 2 o g 1 Jan 1 2020 ..\r\n"
                         "garbage\r\n"_ba; // dropped lines do not count towards the bound
    for (int i = 0; i < 10; ++i) {
        listing += (i % 3 == 0 ? "drwxr-xr-x" : "-rw-r--r--") + " 1 o g 1 Jan 1 2020 e"_ba +
                   QByteArray::number(i) + "\r\n";
    }
    // Two lines more: an empty line and a "total" line are no entries, and are not counted.
    listing += "\r\ntotal 1\r\nmore garbage\r\ndrwxr-xr-x 2 o g 1 Jan 1 2020 ..\r\n";
    const ParsedListing whole = ParseListing(listing, "/"_ba, true, kToday);
    EXPECT_EQ(whole.cutLines, 0);
    ASSERT_EQ(whole.cacheEntry->lineCount(), 10);
    EXPECT_EQ(ParseListing(listing, "/"_ba, true, kToday, 10).cutLines, 2);

    for (const bool cache : {true, false}) {
        for (const bool takeOver : {false, true}) {
            SCOPED_TRACE(std::string(cache ? "cached" : "not cached") + (takeOver ? ", taken over" : ""));
            const ParsedListing cut = takeOver ? ParseListing(OwnBuffer(listing, 0), "/"_ba, cache, kToday, 4)
                                               : ParseListing(listing, "/"_ba, cache, kToday, 4);
            EXPECT_EQ(cut.cutLines, 6 + 2); // e4 to e9 and the two lines after them
            // e0 and e3 are directories, e1 and e2 files.
            ASSERT_EQ(cut.items.directories.size(), 2);
            ASSERT_EQ(cut.items.files.size(), 2);
            EXPECT_EQ(cut.items.directories.at(1).name(), "e3");
            EXPECT_EQ(cut.items.files.at(1).name(), "e2");
            EXPECT_EQ(cut.items.directories, whole.items.directories.first(2));
            EXPECT_EQ(cut.items.files, whole.items.files.first(2));
            ASSERT_EQ(cut.cacheEntry.has_value(), cache);
            if (cache) {
                EXPECT_EQ(Lines(*cut.cacheEntry), Lines(*whole.cacheEntry).first(4));
            }
        }
    }
    const ParsedListing none = ParseListing(listing, "/"_ba, true, kToday, 0);
    EXPECT_EQ(none.cutLines, 3 + 10 + 2); // ".", ".." and "garbage" come after a bound of 0 too
    EXPECT_EQ(none.cacheEntry->lineCount(), 0);
    EXPECT_TRUE(none.items.directories.isEmpty() && none.items.files.isEmpty());

    // Rebuilding from a cache entry keeps to the bound as well.
    qsizetype cutLines = -1;
    const ListingItems rebuilt = RebuildFromEntry(*whole.cacheEntry, kToday, 3, &cutLines);
    EXPECT_EQ(cutLines, 7);
    EXPECT_EQ(rebuilt.directories, whole.items.directories.first(1));
    EXPECT_EQ(rebuilt.files, whole.items.files.first(2));
    RebuildFromEntry(*whole.cacheEntry, kToday, tessaly::kMaxListingItems, &cutLines);
    EXPECT_EQ(cutLines, 0);

    // Short lines, many of them: the items stop at the bound.
    QByteArray many;
    for (int i = 0; i < 100'000; ++i) {
        many += "1 2 3 n\n";
    }
    const ParsedListing bounded = ParseListing(many, "/"_ba, true, kToday, 1000);
    EXPECT_EQ(bounded.items.files.size(), 1000);
    EXPECT_EQ(bounded.cacheEntry->lineCount(), 1000);
    EXPECT_EQ(bounded.cutLines, 99'000);
    EXPECT_LE(bounded.cacheEntry->text().capacity(), 8 * 1000 * 9 / 8 + 64);
    static_assert(tessaly::kMaxListingItems >= 1'000'000 &&
                      tessaly::kMaxListingItems * 48 <= 512 * 1024 * 1024,
                  "enough items for any directory, and far below the memory a listing may take");
}

QByteArray AllLines(const char* separator) {
    QByteArray listing;
    for (const LineCase& c : kLineCases) {
        listing += c.line + separator;
    }
    return listing;
}

TEST(ListingParser, ParsesAllTableLinesAsOneListingInOrder) {
    for (const char* separator : {"\r\n", "\n", "\r", "\r\n\r\n\n"}) {
        SCOPED_TRACE(separator);
        const ParsedListing parsed = ParseListing(AllLines(separator), "/"_ba, true, kToday);
        qsizetype directory = 0;
        qsizetype file = 0;
        QList<QByteArray> keptLines;
        for (const LineCase& c : kLineCases) {
            if (c.outcome != Outcome::Listed) {
                continue;
            }
            SCOPED_TRACE(c.label);
            const QList<RemoteItem>& kept = c.directory ? parsed.items.directories : parsed.items.files;
            qsizetype& index = c.directory ? directory : file;
            ASSERT_LT(index, kept.size());
            ExpectFields(kept.at(index++), c);
            keptLines.append(c.line);
        }
        EXPECT_EQ(directory, parsed.items.directories.size());
        EXPECT_EQ(file, parsed.items.files.size());
        ASSERT_TRUE(parsed.cacheEntry);
        EXPECT_EQ(Lines(*parsed.cacheEntry), keptLines);

        // The cached lines give the same items again.
        const ListingItems rebuilt = RebuildFromEntry(*parsed.cacheEntry, kToday);
        EXPECT_EQ(rebuilt.directories, parsed.items.directories);
        EXPECT_EQ(rebuilt.files, parsed.items.files);
    }
}

TEST(ListingParser, WithoutCachingMakesNoEntry) {
    const ParsedListing parsed = ParseListing(AllLines("\r\n"), "/"_ba, false, kToday);
    EXPECT_FALSE(parsed.cacheEntry);
    EXPECT_FALSE(parsed.items.files.isEmpty());
}

TEST(ListingParser, SplitsAtEveryRunOfLineEnds) {
    const QByteArray line = "-rw-r--r-- 1 o g 1 Jan 1 2020 f"_ba;
    EXPECT_EQ(ParseListing(QByteArray(), "/"_ba, true, kToday).cacheEntry->lineCount(), 0);
    EXPECT_EQ(ParseListing("\r\n\n\r"_ba, "/"_ba, true, kToday).cacheEntry->lineCount(), 0);
    EXPECT_EQ(ParseListing("total 0\r\n"_ba, "/"_ba, true, kToday).cacheEntry->lineCount(), 0);
    const ParsedListing parsed =
        ParseListing("\n\r" + line + "\r\r" + line + "\n" + line, "/"_ba, true, kToday);
    EXPECT_EQ(Lines(*parsed.cacheEntry), (QList<QByteArray>{line, line, line}));
    ASSERT_EQ(parsed.items.files.size(), 3);
    EXPECT_EQ(parsed.items.files.back().name(), "f"); // the last line needs no line end
    // A single line ends at its first CR or LF.
    EXPECT_EQ(RemoteItem(line + "\r\nmore", kToday).name(), "f");
}

TEST(ListingParser, ItemsOutliveTheListingAndRawData) {
    RemoteItem kept;
    {
        const QByteArray listing = "-rw-r--r-- 1 o g 1 Jan 1 2020 shared\r\n"_ba;
        kept = ParseListing(listing, "/"_ba, false, kToday).items.files.front();
    }
    EXPECT_EQ(kept.name(), "shared");

    // Bytes the array does not own are copied rather than shared.
    QByteArray storage = "-rw-r--r-- 1 o g 1 Jan 1 2020 raw"_ba;
    const QByteArray raw = QByteArray::fromRawData(storage.constData(), storage.size());
    const RemoteItem item(raw, kToday);
    const ParsedListing parsed = ParseListing(raw, "/"_ba, false, kToday);
    storage.fill('x');
    EXPECT_EQ(item.name(), "raw");
    ASSERT_EQ(parsed.items.files.size(), 1);
    EXPECT_EQ(parsed.items.files.front().name(), "raw");
    const RemoteItem copy = item;
    EXPECT_EQ(copy, item);
    EXPECT_EQ(copy.name(), "raw");
}

TEST(ListingParser, CachedItemsShareTheEntryNotTheListing) {
    QByteArray storage = "total 2\r\n-rw-r--r-- 1 o g 1 Jan 1 2020 a\r\nbad\r\n"
                         "lrwxrwxrwx 1 o g 1 Jan 1 2020 b -> a\r\ndrwxr-xr-x 1 o g 1 Jan 1 2020 .."_ba;
    ParsedListing parsed;
    {
        const QByteArray listing = storage;
        parsed = ParseListing(listing, "/"_ba, true, kToday);
    }
    const QByteArray raw = QByteArray::fromRawData(storage.constData(), storage.size());
    const ParsedListing fromRaw = ParseListing(raw, "/"_ba, true, kToday);
    storage.fill('x');
    const ParsedListing* const both[] = {&parsed, &fromRaw};
    for (const ParsedListing* each : both) {
        const tessaly::FolderCacheEntry& entry = *each->cacheEntry;
        ASSERT_EQ(entry.lineCount(), 2);
        EXPECT_EQ(entry.text(), "-rw-r--r-- 1 o g 1 Jan 1 2020 a\nlrwxrwxrwx 1 o g 1 Jan 1 2020 b -> a\n");
        ASSERT_EQ(each->items.files.size(), 1);
        ASSERT_EQ(each->items.directories.size(), 1);
        EXPECT_EQ(each->items.files.front().name(), "a");
        EXPECT_EQ(each->items.directories.front().name(), "b");
        EXPECT_EQ(each->items.files.front().rawLine().data(), entry.line(0).data());
        EXPECT_EQ(each->items.directories.front().rawLine().data(), entry.line(1).data());
    }
    // Items rebuilt from the entry share it too, and outlive it.
    ListingItems rebuilt;
    {
        const tessaly::FolderCacheEntry entry = *parsed.cacheEntry;
        rebuilt = RebuildFromEntry(entry, kToday);
        ASSERT_EQ(rebuilt.files.size(), 1);
        EXPECT_EQ(rebuilt.files.front().rawLine().data(), entry.line(0).data());
    }
    parsed = ParsedListing();
    EXPECT_EQ(rebuilt.files.front().name(), "a");
    EXPECT_EQ(rebuilt.directories.front().name(), "b");
}

TEST(ListingParser, CacheEntryKeepsNoRoomForDroppedLines) {
    QByteArray listing(1'000'000, 'x');
    listing += "\n-rw-r--r-- 1 o g 1 Jan 1 2020 kept\n" + QByteArray(1'000'000, '\n');
    const ParsedListing parsed = ParseListing(listing, "/"_ba, true, kToday);
    ASSERT_EQ(parsed.cacheEntry->lineCount(), 1);
    EXPECT_EQ(parsed.cacheEntry->line(0), "-rw-r--r-- 1 o g 1 Jan 1 2020 kept");
    EXPECT_LT(parsed.cacheEntry->text().capacity(), 4096);
    ASSERT_EQ(parsed.items.files.size(), 1);
    EXPECT_EQ(parsed.items.files.front().name(), "kept");
}

TEST(ListingParser, KeepsLongNamesWhole) {
    const QByteArray name(300, 'n');
    const QByteArray line = "-rw-r--r-- 1 o g 1 Jan 1 2020 " + name;
    const ParsedListing parsed = ParseListing(line, "/"_ba, true, kToday);
    ASSERT_EQ(parsed.items.files.size(), 1);
    EXPECT_EQ(parsed.items.files.front().name(), name);
    EXPECT_EQ(parsed.items.files.front().rawLine(), line);

    const QByteArray longName(100 * 1024, 'x');
    const ParsedListing huge =
        ParseListing("drwxr-xr-x 1 o g 1 Jan 1 2020 " + longName, "/"_ba, false, kToday);
    ASSERT_EQ(huge.items.directories.size(), 1);
    EXPECT_EQ(huge.items.directories.front().name(), longName);
}

// Hostile listings: each must parse quickly (the parser is linear) and give only well-formed items.
TEST(ListingParser, SurvivesHostileListings) {
    const auto started = std::chrono::steady_clock::now();

    EXPECT_EQ(ParseListing(QByteArray(10'000'000, ' '), "/"_ba, true, kToday).cacheEntry->lineCount(), 0);
    EXPECT_EQ(ParseListing(QByteArray(100 * 1024, 'x'), "/"_ba, true, kToday).cacheEntry->lineCount(), 0);
    EXPECT_EQ(ParseListing(QByteArray(100 * 1024, '7'), "/"_ba, true, kToday).cacheEntry->lineCount(), 0);
    EXPECT_EQ(ParseListing(QByteArray(100 * 1024, '\0'), "/"_ba, true, kToday).cacheEntry->lineCount(), 0);
    // Blanks between every field, and a line of nothing but arrows.
    const QByteArray gap(1'000'000, ' ');
    const QByteArray spaced = "-rw" + gap + "1" + gap + "o" + gap + "g" + gap + "9" + gap + "Jan" + gap +
                              "1" + gap + "2020" + gap + "name";
    const ParsedListing wide = ParseListing(spaced, "/"_ba, false, kToday);
    ASSERT_EQ(wide.items.files.size(), 1);
    // The name starts one blank after the year: the rest of the gap is its leading blanks.
    EXPECT_EQ(wide.items.files.front().name(), QByteArray(gap.size() - 1, ' ') + "name");
    EXPECT_EQ(wide.items.files.front().permissionText(), "rw ");
    EXPECT_TRUE(
        ParseListing("d " + QByteArray(1'000'000, '>'), "/"_ba, false, kToday).items.directories.isEmpty());

    // Pseudo-random bytes rich in the bytes the parser looks at.
    static constexpr char kAlphabet[] = " \r\n-:>dl0123456789<DIR>PMAMJanDec\0\xff";
    quint32 state = 12345;
    QByteArray noise;
    for (int i = 0; i < 2'000'000; ++i) {
        state = state * 1664525u + 1013904223u;
        noise += kAlphabet[(state >> 16) % (sizeof kAlphabet - 1)];
    }
    const ParsedListing parsed = ParseListing(noise, "/"_ba, true, kToday);
    const ListingItems rebuilt = RebuildFromEntry(*parsed.cacheEntry, kToday);
    EXPECT_EQ(rebuilt.directories, parsed.items.directories);
    EXPECT_EQ(rebuilt.files, parsed.items.files);
    for (const QList<RemoteItem>* kind : {&parsed.items.directories, &parsed.items.files}) {
        for (const RemoteItem& item : *kind) {
            EXPECT_TRUE(item.valid() && !item.name().isEmpty() && item.name() != QByteArrayView(".") &&
                        item.name() != QByteArrayView(".."));
        }
    }

    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
}

// The bytes of every route through ParseListing agree: the items, and the cache entry byte for byte.
void ExpectSameResult(const ParsedListing& got, const ParsedListing& want) {
    EXPECT_EQ(got.items.directories, want.items.directories);
    EXPECT_EQ(got.items.files, want.items.files);
    ASSERT_EQ(got.cacheEntry.has_value(), want.cacheEntry.has_value());
    if (want.cacheEntry) {
        EXPECT_EQ(got.cacheEntry->text(), want.cacheEntry->text());
        EXPECT_EQ(Lines(*got.cacheEntry), Lines(*want.cacheEntry));
    }
}

// A listing in a buffer of its own, as the session receives it: the parser may take it over.
QByteArray OwnBuffer(const QByteArray& bytes, qsizetype spare) {
    QByteArray own(bytes.constData(), bytes.size());
    own.reserve(bytes.size() + spare);
    if (spare == 0) {
        own.squeeze();
    }
    return own;
}

TEST(ListingParser, TakingTheBufferOverGivesTheSameBytes) {
    for (const char* separator : {"\r\n", "\n", "\r", "\r\n\r\n\n"}) {
        for (const bool lastLineEnded : {true, false}) {
            SCOPED_TRACE(std::string(separator) + (lastLineEnded ? " ended" : " not ended"));
            QByteArray listing = "total 12" + QByteArray(separator) + AllLines(separator);
            if (!lastLineEnded) {
                listing.chop(qsizetype(std::strlen(separator)));
            }
            for (const bool cache : {true, false}) {
                const ParsedListing want = ParseListing(listing, "/"_ba, cache, kToday);
                // Without room to spare, the line end of an unended last line needs one byte more.
                for (const qsizetype spare : {qsizetype(0), qsizetype(64)}) {
                    ExpectSameResult(ParseListing(OwnBuffer(listing, spare), "/"_ba, cache, kToday), want);
                }
                // A buffer that is shared, or not owned, is read and left alone.
                QByteArray shared = listing;
                const QByteArray other = shared;
                ExpectSameResult(ParseListing(std::move(shared), "/"_ba, cache, kToday), want);
                EXPECT_EQ(other, listing);
                QByteArray storage = listing;
                const ParsedListing fromRaw = ParseListing(
                    QByteArray::fromRawData(storage.constData(), storage.size()), "/"_ba, cache, kToday);
                storage.fill('x');
                ExpectSameResult(fromRaw, want);
            }
        }
    }
}

TEST(ListingParser, TakenBufferBecomesTheEntryAndTheItemsShareIt) {
    QByteArray listing;
    for (int i = 0; i < 1000; ++i) {
        listing +=
            "-rw-r--r-- 1 o g " + QByteArray::number(i) + " Jan 1 2020 f" + QByteArray::number(i) + "\r\n";
    }
    QByteArray own = OwnBuffer(listing, 0);
    const char* bytes = own.constData();
    const ParsedListing parsed = ParseListing(std::move(own), "/"_ba, true, kToday);
    const tessaly::FolderCacheEntry& entry = *parsed.cacheEntry;
    EXPECT_EQ(entry.text().constData(), bytes); // the kept lines moved together in the same buffer
    EXPECT_EQ(entry.text(), QByteArray(listing).replace("\r\n", "\n"));
    ASSERT_EQ(parsed.items.files.size(), 1000);
    EXPECT_EQ(parsed.items.files.back().rawLine().data(), entry.line(999).data());
    EXPECT_EQ(parsed.items.files.back().name(), "f999");

    // Without caching the items share the buffer where it is.
    QByteArray plain = OwnBuffer(listing, 0);
    const char* plainBytes = plain.constData();
    const ParsedListing uncached = ParseListing(std::move(plain), "/"_ba, false, kToday);
    ASSERT_EQ(uncached.items.files.size(), 1000);
    EXPECT_EQ(uncached.items.files.front().rawLine().data(), plainBytes);
}

TEST(ListingParser, ListingWhoseEveryLineIsDroppedLeavesAnEmptyEntry) {
    QByteArray listing;
    for (int i = 0; i < 20'000; ++i) {
        listing += "total 8\r\ndrwxr-xr-x 2 o g 4096 Jan 5 2003 .\r\ndrwxr-xr-x 2 o g 4096 Jan 5 2003 ..\r\n"
                   "garbage\r\n05-12-03\r\n\r\n";
    }
    for (const bool takeOver : {false, true}) {
        SCOPED_TRACE(takeOver ? "taken over" : "shared");
        const ParsedListing parsed = takeOver ? ParseListing(OwnBuffer(listing, 0), "/"_ba, true, kToday)
                                              : ParseListing(listing, "/"_ba, true, kToday);
        EXPECT_TRUE(parsed.items.directories.isEmpty());
        EXPECT_TRUE(parsed.items.files.isEmpty());
        ASSERT_TRUE(parsed.cacheEntry);
        EXPECT_EQ(parsed.cacheEntry->lineCount(), 0);
        EXPECT_TRUE(parsed.cacheEntry->text().isEmpty());
        EXPECT_LT(parsed.cacheEntry->text().capacity(), 4096); // the listing's room is handed back
        const ListingItems rebuilt = RebuildFromEntry(*parsed.cacheEntry, kToday);
        EXPECT_TRUE(rebuilt.directories.isEmpty() && rebuilt.files.isEmpty());
    }
}

// A listing with CR line ends alone must not be searched for an LF to its end at every line.
TEST(ListingParser, LinesEndingInCrAloneTakeLinearTime) {
    QByteArray listing;
    for (int i = 0; i < 100'000; ++i) {
        listing += "-rw-r--r-- 1 o g 1 Jan 1 2020 f" + QByteArray::number(i) + '\r';
    }
    const auto started = std::chrono::steady_clock::now();
    const ParsedListing shared = ParseListing(listing, "/"_ba, true, kToday);
    const ParsedListing taken = ParseListing(OwnBuffer(listing, 0), "/"_ba, true, kToday);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    ASSERT_EQ(shared.items.files.size(), 100'000);
    EXPECT_EQ(shared.items.files.back().name(), "f99999");
    ExpectSameResult(taken, shared);
}

// Dates of the usual form are kept once per day for all the items of a listing; past the months
// the table holds, each item gets a text of its own, with the same bytes and time stamps.
TEST(ListingParser, DatesOfManyMonthsKeepTheirTextsAndTimeStamps) {
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const int monthCount = int(tessaly::ItemTexts::kMaxMonths) + 500;
    QByteArray listing;
    for (int i = 0; i < monthCount; ++i) {
        const QByteArray line = "-rw-r--r-- 1 o g 1 " + QByteArray(kMonths[i % 12]) + " 7 " +
                                QByteArray::number(1970 + i / 12) + " f";
        listing += line + "\r\n" + line + "\r\n"; // each date twice
    }
    const ParsedListing parsed = ParseListing(listing, "/"_ba, true, kToday);
    ASSERT_EQ(parsed.items.files.size(), 2 * monthCount);
    for (int i = 0; i < monthCount; i += 97) {
        SCOPED_TRACE(i);
        const RemoteItem& item = parsed.items.files.at(2 * i);
        const int year = 1970 + i / 12;
        const int month = i % 12 + 1;
        EXPECT_EQ(item.dateText(),
                  QByteArray::number(year) + (month < 10 ? "-0" : "-") + QByteArray::number(month) + "-07");
        EXPECT_EQ(item.modified(), Mktime({year, month, 7, 0, 0}));
        EXPECT_EQ(parsed.items.files.at(2 * i + 1), item);
    }
    // One text for both items of a month in the table, a text each beyond it.
    EXPECT_EQ(parsed.items.files.at(0).dateText().data(), parsed.items.files.at(1).dateText().data());
    EXPECT_NE(parsed.items.files.back().dateText().data(),
              parsed.items.files.at(2 * monthCount - 2).dateText().data());
    const ListingItems rebuilt = RebuildFromEntry(*parsed.cacheEntry, kToday);
    EXPECT_EQ(rebuilt.files, parsed.items.files);
}

// The platform is asked once per day; times of days with a clock change are asked one by one, so
// every answer is what mktime itself gives.
class LocalTimeCacheInZone : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        const char* old = std::getenv("TZ");
        savedZone_ = old ? std::optional<std::string>(old) : std::nullopt;
        setenv("TZ", GetParam(), 1);
        tzset();
    }
    void TearDown() override {
        if (savedZone_) {
            setenv("TZ", savedZone_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    std::optional<std::string> savedZone_;
};

TEST_P(LocalTimeCacheInZone, AgreesWithMktimeAroundClockChanges) {
    LocalTimeCache cache;
    // The clock changes of 2024 in the zones below, days next to them and plain days.
    for (const auto& [month, day] : {std::pair{3, 31}, std::pair{10, 27}, std::pair{4, 7}, std::pair{10, 6},
                                     std::pair{3, 10}, std::pair{11, 3}, std::pair{10, 20}, std::pair{2, 18},
                                     std::pair{4, 10}, std::pair{8, 31}, std::pair{9, 1}, std::pair{9, 15},
                                     std::pair{7, 19}, std::pair{7, 25}, std::pair{6, 1}, std::pair{1, 1}}) {
        for (int minute = 0; minute < 24 * 60; minute += 5) {
            const LocalFields fields{2024, month, day, minute / 60, minute % 60};
            SCOPED_TRACE(std::to_string(month) + "-" + std::to_string(day) + " " + std::to_string(minute));
            EXPECT_EQ(cache.Convert(2024, month, day, minute / 60, minute % 60, 0), Mktime(fields));
        }
    }
    EXPECT_EQ(cache.Convert(1969, 12, 31, 23, 59, 0), std::nullopt);
    EXPECT_EQ(cache.Convert(2024, 2, 30, 0, 0, 0), std::nullopt);
    EXPECT_EQ(cache.Convert(2024, 2, 29, 24, 0, 0), std::nullopt);
    EXPECT_EQ(cache.Convert(2023, 2, 29, 0, 0, 0), std::nullopt);
    EXPECT_EQ(cache.Convert(2024, 13, 1, 0, 0, 0), std::nullopt);
}

// Time stamps of whole listings, Unix and MS-DOS style, on the days of the clock changes of 2024
// and next to them: the same as mktime gives, minute by minute.
TEST_P(LocalTimeCacheInZone, ListingTimeStampsAgreeWithMktime) {
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    QByteArray listing;
    QList<LocalFields> expected;
    for (const auto& [month, day] : {std::pair{3, 31}, std::pair{10, 27}, std::pair{4, 7}, std::pair{10, 6},
                                     std::pair{3, 10}, std::pair{11, 3}, std::pair{10, 20}, std::pair{2, 18},
                                     std::pair{9, 1}, std::pair{7, 19}, std::pair{7, 25}, std::pair{1, 1}}) {
        for (int minute = 0; minute < 24 * 60; minute += 5) {
            const int hour = minute / 60;
            char line[96];
            std::snprintf(line, sizeof line, "-rw-r--r-- 1 o g 1 %s %d %02d:%02d u\r\n", kMonths[month - 1],
                          day, hour, minute % 60);
            listing += line;
            std::snprintf(line, sizeof line, "%02d-%02d-24  %02d:%02d%s  1 d\r\n", month, day,
                          hour % 12 == 0 ? 12 : hour % 12, minute % 60, hour < 12 ? "AM" : "PM");
            listing += line;
            expected.append({2024, month, day, hour, minute % 60});
            expected.append({2024, month, day, hour, minute % 60});
        }
    }
    const ParsedListing parsed = ParseListing(listing, "/"_ba, false, LocalDate{2024, 12, 15});
    ASSERT_EQ(parsed.items.files.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const LocalFields& f = expected[i];
        ASSERT_EQ(parsed.items.files[i].modified(), Mktime(f))
            << parsed.items.files[i].rawLine().toByteArray().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(ListingParserTimes, LocalTimeCacheInZone,
                         ::testing::Values("UTC0", "CET-1CEST,M3.5.0,M10.5.0/3",
                                           "<+1030>-10:30<+11>-11,M10.1.0,M4.1.0", "EST5EDT,M3.2.0,M11.1.0",
                                           // Clock changes at midnight, and an hour passed twice
                                           // at the start of September.
                                           "<-03>3<-02>,M10.3.0/0,M2.3.0/0", "<+02>-2<+03>,J100,J244/1",
                                           // Summer time for ten days of July only.
                                           "<+02>-2<+03>,J200,J210"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::to_string(info.index);
                         });

} // namespace
