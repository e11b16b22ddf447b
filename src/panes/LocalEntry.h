#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QIcon>
#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <optional>
#include <span>
#include <vector>

namespace tessaly {

// The local list's columns, in their order on screen.
enum LocalColumn : int {
    kLocalNameColumn = 0,
    kLocalSizeColumn = 1,
    kLocalTypeColumn = 2,
    kLocalModifiedColumn = 3,
    kLocalColumnCount = 4,
};

// One row of the local pane: a file or directory of the directory shown, or in the top-level view
// the home directory or a mounted volume.
struct LocalEntry {
    enum class Kind : quint8 { File, Directory, Home, Volume };

    QString path; // absolute, without a trailing slash except for "/"
    QString name; // the last path component; in the top-level view the name to show
    qint64 size = 0;
    QDateTime modified; // invalid when unknown (the top-level entries, broken links)
    Kind kind = Kind::File;
    QString typeText;
    QIcon icon;

    // Directories, links to directories and the top-level entries: what a double-click enters.
    bool IsDirectory() const { return kind != Kind::File; }
};

// The entries of one directory, directories and files apart; the pane shows the directories first.
struct LocalListing {
    std::vector<LocalEntry> directories;
    std::vector<LocalEntry> files;
};

// Every child of the directory but "." and "..", hidden ones included. A symbolic link stands for
// what it points to (a link to a directory is a directory); a link that points nowhere is a file.
// Nothing when the directory cannot be opened and read. Icons and type names come from
// FileTypeInfo, so only for the GUI thread.
std::optional<LocalListing> ReadLocalDirectory(const QString& path);

// Whether the directory can be opened and its entries read.
bool IsReadableDirectory(const QString& path);

// The top-level view: the home directory, then the mounted volumes a user keeps files on.
LocalListing ReadTopLevel();

// Whether a mounted file system is one a user keeps files on: not a kernel or pseudo file system,
// nothing under /proc, /sys, /dev or /run (but removable media under /run/media), no snap images,
// no memory file system but the one on /tmp.
bool IsUserVolume(QStringView rootPath, QByteArrayView fileSystemType);

// The parent of a directory; empty for "/" (whose parent is the top-level view).
QString ParentLocalDirectory(const QString& path);

// A typed directory as an absolute clean path: "~" and "~/..." are taken from the home directory,
// a relative path from base (the home directory when base is empty).
QString ResolveLocalPath(const QString& base, const QString& typed);

// A file's size as both panes show it: the whole kilobytes plus one ("1 KB" for an empty file, "3 KB"
// for 2,048 bytes), as the remote list shows the sizes a server lists.
QString LocalSizeText(qint64 size);

// The order of the entries sorted by a column: result[i] is the index into entries of the row shown
// at i. Directories always go before files, in both directions. Names compare ignoring case with
// numbers in their natural order ("file2" before "file10"), sizes as numbers, types by their text,
// modified times as times; ties go by the name, so the result does not depend on the input order
// beyond entries that are the same in every respect.
std::vector<int> SortLocalEntries(std::span<const LocalEntry* const> entries, int column, bool ascending);

} // namespace tessaly
