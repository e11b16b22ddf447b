#include "panes/LocalEntry.h"

#include "ui/LocalPropertiesDialog.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMimeDatabase>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace tessaly {
namespace {

using namespace Qt::StringLiterals;
using Kind = LocalEntry::Kind;

QStringList NamesOf(const std::vector<LocalEntry>& entries) {
    QStringList names;
    for (const LocalEntry& entry : entries) {
        names.append(entry.name);
    }
    names.sort();
    return names;
}

void WriteFile(const QString& path, qint64 size) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(QByteArray(size, 'x'));
}

TEST(LocalEntryTest, ReadingShowsHiddenEntriesAndLinksAsWhatTheyPointTo) {
    QTemporaryDir root;
    QDir dir(root.path());
    ASSERT_TRUE(dir.mkdir(u"sub"_s) && dir.mkdir(u".cache"_s));
    WriteFile(dir.filePath(u"notes.txt"_s), 2500);
    WriteFile(dir.filePath(u".htaccess"_s), 10);
    ASSERT_TRUE(QFile::link(dir.filePath(u"sub"_s), dir.filePath(u"to-sub"_s)));
    ASSERT_TRUE(QFile::link(dir.filePath(u"notes.txt"_s), dir.filePath(u"to-notes"_s)));
    ASSERT_TRUE(QFile::link(dir.filePath(u"gone"_s), dir.filePath(u"dangling"_s)));
    const QDateTime stamp(QDate(2021, 3, 4), QTime(5, 6, 7));
    {
        QFile file(dir.filePath(u"notes.txt"_s));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(stamp, QFileDevice::FileModificationTime));
    }

    const std::optional<LocalListing> listing = ReadLocalDirectory(root.path());
    ASSERT_TRUE(listing.has_value());
    EXPECT_EQ(NamesOf(listing->directories), (QStringList{u".cache"_s, u"sub"_s, u"to-sub"_s}));
    EXPECT_EQ(NamesOf(listing->files),
              (QStringList{u".htaccess"_s, u"dangling"_s, u"notes.txt"_s, u"to-notes"_s}));
    for (const LocalEntry& entry : listing->directories) {
        EXPECT_EQ(entry.kind, Kind::Directory);
        EXPECT_EQ(entry.size, 0) << entry.name.toStdString(); // not the 4,096 of the directory file
        EXPECT_FALSE(entry.icon.isNull());
    }
    const auto file = [&](const QString& name) {
        return *std::find_if(listing->files.begin(), listing->files.end(),
                             [&](const LocalEntry& e) { return e.name == name; });
    };
    EXPECT_EQ(file(u"notes.txt"_s).path, dir.filePath(u"notes.txt"_s));
    EXPECT_EQ(file(u"notes.txt"_s).size, 2500);
    EXPECT_EQ(file(u"to-notes"_s).size, 2500);
    EXPECT_EQ(file(u"notes.txt"_s).modified, stamp);
    EXPECT_EQ(file(u"notes.txt"_s).typeText, QMimeDatabase().mimeTypeForName(u"text/plain"_s).comment());
    EXPECT_EQ(file(u"dangling"_s).kind, Kind::File);

    // What cannot be opened as a directory reads as nothing at all.
    EXPECT_FALSE(ReadLocalDirectory(dir.filePath(u"missing"_s)).has_value());
    EXPECT_FALSE(ReadLocalDirectory(dir.filePath(u"notes.txt"_s)).has_value());
    EXPECT_FALSE(ReadLocalDirectory(dir.filePath(u"dangling"_s)).has_value());
    if (::geteuid() != 0) { // root opens every directory
        ASSERT_EQ(::chmod(QFile::encodeName(dir.filePath(u"sub"_s)).constData(), 0), 0);
        EXPECT_FALSE(ReadLocalDirectory(dir.filePath(u"sub"_s)).has_value());
        ::chmod(QFile::encodeName(dir.filePath(u"sub"_s)).constData(), 0700);
    }
}

LocalEntry Entry(const QString& name, bool directory, qint64 size, const QString& type, int day) {
    LocalEntry entry;
    entry.name = name;
    entry.path = u"/x/"_s + name;
    entry.kind = directory ? Kind::Directory : Kind::File;
    entry.size = size;
    entry.typeText = type;
    entry.modified = QDateTime(QDate(2020, 1, day), QTime(12, 0));
    return entry;
}

QStringList Sorted(const std::vector<LocalEntry>& entries, int column, bool ascending) {
    std::vector<const LocalEntry*> pointers;
    for (const LocalEntry& entry : entries) {
        pointers.push_back(&entry);
    }
    QStringList names;
    for (const int index : SortLocalEntries(pointers, column, ascending)) {
        names.append(entries[std::size_t(index)].name);
    }
    return names;
}

TEST(LocalEntryTest, EveryColumnSortsWithDirectoriesFirstInBothDirections) {
    const std::vector<LocalEntry> entries = {
        Entry(u"file10.txt"_s, false, 300, u"Text"_s, 3),
        Entry(u"src"_s, true, 0, u"Folder"_s, 9),
        Entry(u"File2.txt"_s, false, 300, u"Text"_s, 1),
        Entry(u"archive.zip"_s, false, 5000, u"Zip"_s, 2),
        Entry(u"Docs"_s, true, 0, u"Folder"_s, 1),
        Entry(u"file1.txt"_s, false, 7, u"Text"_s, 5),
        Entry(u"image.PNG"_s, false, 1 << 30, u"Image"_s, 4),
        Entry(u"build2"_s, true, 0, u"Folder"_s, 5),
        Entry(u"build10"_s, true, 0, u"Folder"_s, 2),
    };
    // Names ignore case and read numbers as numbers.
    EXPECT_EQ(Sorted(entries, kLocalNameColumn, true),
              (QStringList{u"build2"_s, u"build10"_s, u"Docs"_s, u"src"_s, u"archive.zip"_s, u"file1.txt"_s,
                           u"File2.txt"_s, u"file10.txt"_s, u"image.PNG"_s}));
    EXPECT_EQ(Sorted(entries, kLocalNameColumn, false),
              (QStringList{u"src"_s, u"Docs"_s, u"build10"_s, u"build2"_s, u"image.PNG"_s, u"file10.txt"_s,
                           u"File2.txt"_s, u"file1.txt"_s, u"archive.zip"_s}));
    // Sizes as 64-bit numbers; equal sizes (and directories, which have none) go by the name.
    EXPECT_EQ(Sorted(entries, kLocalSizeColumn, true),
              (QStringList{u"build2"_s, u"build10"_s, u"Docs"_s, u"src"_s, u"file1.txt"_s, u"File2.txt"_s,
                           u"file10.txt"_s, u"archive.zip"_s, u"image.PNG"_s}));
    EXPECT_EQ(Sorted(entries, kLocalSizeColumn, false),
              (QStringList{u"src"_s, u"Docs"_s, u"build10"_s, u"build2"_s, u"image.PNG"_s, u"archive.zip"_s,
                           u"file10.txt"_s, u"File2.txt"_s, u"file1.txt"_s}));
    EXPECT_EQ(Sorted(entries, kLocalTypeColumn, true),
              (QStringList{u"build2"_s, u"build10"_s, u"Docs"_s, u"src"_s, u"image.PNG"_s, u"file1.txt"_s,
                           u"File2.txt"_s, u"file10.txt"_s, u"archive.zip"_s}));
    EXPECT_EQ(Sorted(entries, kLocalModifiedColumn, true),
              (QStringList{u"Docs"_s, u"build10"_s, u"build2"_s, u"src"_s, u"File2.txt"_s, u"archive.zip"_s,
                           u"file10.txt"_s, u"image.PNG"_s, u"file1.txt"_s}));
    EXPECT_EQ(Sorted(entries, kLocalModifiedColumn, false),
              (QStringList{u"src"_s, u"build2"_s, u"build10"_s, u"Docs"_s, u"file1.txt"_s, u"image.PNG"_s,
                           u"file10.txt"_s, u"archive.zip"_s, u"File2.txt"_s}));

    // Names equal but for case still come in one order, whatever order they are read in.
    const std::vector<LocalEntry> twins = {Entry(u"readme"_s, false, 1, {}, 1),
                                           Entry(u"README"_s, false, 1, {}, 1)};
    const std::vector<LocalEntry> twinsReversed = {twins[1], twins[0]};
    EXPECT_EQ(Sorted(twins, kLocalNameColumn, true), Sorted(twinsReversed, kLocalNameColumn, true));
}

TEST(LocalEntryTest, TenThousandEntriesSortQuicklyByEveryColumn) {
    std::vector<LocalEntry> entries;
    for (int i = 0; i < 10000; ++i) {
        entries.push_back(Entry(
            u"entry"_s + QString::number(i * 7919 % 10007) + (i % 3 ? u".txt"_s : u".bin"_s), i % 10 == 0,
            i % 10 == 0 ? 0 : qint64(i) * 104729 % 1000003, i % 3 ? u"Text"_s : u"Binary"_s, 1 + i % 28));
    }
    std::vector<const LocalEntry*> pointers;
    for (const LocalEntry& entry : entries) {
        pointers.push_back(&entry);
    }
    QElapsedTimer clock;
    clock.start();
    for (int column = 0; column < kLocalColumnCount; ++column) {
        for (const bool ascending : {true, false}) {
            const std::vector<int> order = SortLocalEntries(pointers, column, ascending);
            ASSERT_EQ(order.size(), entries.size());
            EXPECT_TRUE(entries[std::size_t(order[999])].IsDirectory());
            EXPECT_FALSE(entries[std::size_t(order[1000])].IsDirectory());
            if (column == kLocalSizeColumn) {
                for (std::size_t row = 1001; row < order.size(); ++row) {
                    const qint64 before = entries[std::size_t(order[row - 1])].size;
                    const qint64 after = entries[std::size_t(order[row])].size;
                    ASSERT_TRUE(ascending ? before <= after : before >= after) << row;
                }
            }
        }
    }
    EXPECT_LT(clock.elapsed(), 2000); // eight sorts, in a debug build
}

TEST(LocalEntryTest, OnlyVolumesAUserKeepsFilesOnAreOffered) {
    EXPECT_TRUE(IsUserVolume(u"/", "ext4"));
    EXPECT_TRUE(IsUserVolume(u"/", "overlay")); // a container's root
    EXPECT_TRUE(IsUserVolume(u"/home", "btrfs"));
    EXPECT_TRUE(IsUserVolume(u"/media/ann/USB STICK", "vfat"));
    EXPECT_TRUE(IsUserVolume(u"/run/media/ann/disk", "exfat"));
    EXPECT_TRUE(IsUserVolume(u"/tmp", "tmpfs"));
    EXPECT_TRUE(IsUserVolume(u"/srv/nfs", "nfs4"));
    EXPECT_TRUE(IsUserVolume(u"/devices", "ext4")); // not under /dev

    EXPECT_FALSE(IsUserVolume(u"/proc", "proc"));
    EXPECT_FALSE(IsUserVolume(u"/sys/fs/cgroup", "cgroup2"));
    EXPECT_FALSE(IsUserVolume(u"/dev/shm", "tmpfs"));
    EXPECT_FALSE(IsUserVolume(u"/run/user/1000", "tmpfs"));
    EXPECT_FALSE(IsUserVolume(u"/run/media", "tmpfs"));
    EXPECT_FALSE(IsUserVolume(u"/mnt/scratch", "tmpfs"));
    EXPECT_FALSE(IsUserVolume(u"/snap/core22/1122", "squashfs"));
    EXPECT_FALSE(IsUserVolume(u"/proc/sys/fs/binfmt_misc", "binfmt_misc"));
    EXPECT_FALSE(IsUserVolume(u"/run/user/1000/gvfs", "fuse.gvfsd-fuse"));
    EXPECT_FALSE(IsUserVolume(u"/home/ann/.cache/doc", "fuse.portal"));
}

TEST(LocalEntryTest, PathsGoUpAndTypedPathsResolve) {
    EXPECT_EQ(ParentLocalDirectory(u"/home/ann/src"_s), u"/home/ann"_s);
    EXPECT_EQ(ParentLocalDirectory(u"/home"_s), u"/"_s);
    EXPECT_EQ(ParentLocalDirectory(u"/"_s), QString()); // the top-level view

    const QString home = QDir::homePath();
    EXPECT_EQ(ResolveLocalPath(u"/srv"_s, u"ftp/../www/"_s), u"/srv/www"_s);
    EXPECT_EQ(ResolveLocalPath(u"/srv"_s, u"/etc//ssh/"_s), u"/etc/ssh"_s);
    EXPECT_EQ(ResolveLocalPath(u"/srv"_s, u"~"_s), home);
    EXPECT_EQ(ResolveLocalPath(u"/srv"_s, u"~/Music"_s), home + u"/Music"_s);
    EXPECT_EQ(ResolveLocalPath(u"/srv"_s, u"~ann"_s), u"/srv/~ann"_s);
    EXPECT_EQ(ResolveLocalPath(QString(), u"Music"_s), home + u"/Music"_s);
    EXPECT_EQ(ResolveLocalPath(u"/srv"_s, u"/.."_s), u"/"_s);

    EXPECT_EQ(LocalSizeText(0), u"1 KB"_s);
    EXPECT_EQ(LocalSizeText(2048), u"3 KB"_s);
    EXPECT_EQ(LocalSizeText(qint64(5) << 40), u"5368709121 KB"_s);
}

TEST(LocalEntryTest, PermissionsReadAsLsShowsThem) {
    EXPECT_EQ(PermissionText(S_IFREG | 0644), u"rw-r--r--"_s);
    EXPECT_EQ(OctalPermissionText(S_IFREG | 0644), u"644"_s);
    EXPECT_EQ(PermissionText(S_IFDIR | 01777), u"rwxrwxrwt"_s);
    EXPECT_EQ(OctalPermissionText(S_IFDIR | 01777), u"1777"_s);
    EXPECT_EQ(PermissionText(04755), u"rwsr-xr-x"_s);
    EXPECT_EQ(PermissionText(02640), u"rw-r-S---"_s);
    EXPECT_EQ(PermissionText(01000), u"--------T"_s);
    EXPECT_EQ(OctalPermissionText(0), u"000"_s);
    EXPECT_EQ(OctalPermissionText(0007), u"007"_s);
}

} // namespace
} // namespace tessaly
