#include "panes/LocalEntry.h"

#include "panes/FileTypeInfo.h"
#include "ui/Icons.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QStorageInfo>
#include <algorithm>
#include <dirent.h>
#include <iterator>
#include <limits>
#include <string_view>

namespace tessaly {

namespace {

using namespace Qt::StringLiterals;

// Kernel and pseudo file systems: nothing a user keeps files on.
constexpr std::string_view kPseudoFileSystems[] = {
    "autofs",    "binfmt_misc", "bpf",      "cgroup",          "cgroup2",     "configfs",      "debugfs",
    "devpts",    "devtmpfs",    "efivarfs", "fusectl",         "hugetlbfs",   "mqueue",        "nfsd",
    "nsfs",      "proc",        "pstore",   "ramfs",           "rootfs",      "rpc_pipefs",    "securityfs",
    "selinuxfs", "sysfs",       "tracefs",  "fuse.gvfsd-fuse", "fuse.portal", "fuse.snapfuse",
};

// Trees of the system's own mounts.
constexpr std::u16string_view kSystemTrees[] = {u"/proc", u"/sys", u"/dev", u"/run", u"/snap"};

bool IsSameOrUnder(QStringView path, QStringView tree) {
    return path == tree || (path.startsWith(tree) && path.size() > tree.size() && path[tree.size()] == u'/');
}

LocalEntry EntryOf(const QFileInfo& info) {
    LocalEntry entry;
    entry.path = info.absoluteFilePath();
    entry.name = info.fileName();
    if (info.isDir()) {
        entry.kind = LocalEntry::Kind::Directory;
        const FileTypeInfo& folder = FolderTypeInfo();
        entry.typeText = folder.typeName;
        entry.icon = folder.icon;
    } else {
        entry.kind = LocalEntry::Kind::File;
        entry.size = info.size();
        const FileTypeInfo& type = FileTypeInfoForName(entry.name);
        entry.typeText = type.typeName;
        entry.icon = type.icon;
    }
    entry.modified = info.lastModified();
    return entry;
}

// The name a volume shows: its label, "File System" for an unnamed root, else its mount point's
// last component, and the mount point after it.
QString VolumeName(const QStorageInfo& volume) {
    const QString root = volume.rootPath();
    QString label = volume.name();
    if (label.isEmpty()) {
        label = root == u"/"_s ? u"File System"_s : root.sliced(root.lastIndexOf(u'/') + 1);
    }
    return label + u" ("_s + root + u')';
}

QIcon VolumeIcon(QStringView root) {
    const bool removable =
        IsSameOrUnder(root, u"/media") || IsSameOrUnder(root, u"/run/media") || IsSameOrUnder(root, u"/mnt");
    return removable ? ThemeIcon("drive-removable-media", QStyle::SP_DriveFDIcon)
                     : ThemeIcon("drive-harddisk", QStyle::SP_DriveHDIcon);
}

QCollator NameCollator() {
    // The C locale has no collation of its own (and would compare code points, numbers and all).
    QLocale locale;
    if (locale.language() == QLocale::C) {
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    }
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    return collator;
}

int Compare(qint64 a, qint64 b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

} // namespace

bool IsReadableDirectory(const QString& path) {
    // Opening the directory is the only sure test: permission bits say nothing of ACLs or of root.
    DIR* directory = ::opendir(QFile::encodeName(path).constData());
    if (directory == nullptr) {
        return false;
    }
    ::closedir(directory);
    return true;
}

std::optional<LocalListing> ReadLocalDirectory(const QString& path) {
    if (!IsReadableDirectory(path)) {
        return std::nullopt;
    }
    LocalListing listing;
    // System: sockets, devices and links that point nowhere are listed too.
    QDirIterator children(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (children.hasNext()) {
        children.next();
        LocalEntry entry = EntryOf(children.fileInfo());
        (entry.IsDirectory() ? listing.directories : listing.files).push_back(std::move(entry));
    }
    return listing;
}

bool IsUserVolume(QStringView rootPath, QByteArrayView fileSystemType) {
    for (const std::u16string_view tree : kSystemTrees) {
        if (IsSameOrUnder(rootPath, QStringView(tree.data(), qsizetype(tree.size())))) {
            return rootPath.startsWith(u"/run/media/");
        }
    }
    const std::string_view type(fileSystemType.data(), std::size_t(fileSystemType.size()));
    if (type == "tmpfs") {
        return rootPath == u"/tmp";
    }
    return std::find(std::begin(kPseudoFileSystems), std::end(kPseudoFileSystems), type) ==
           std::end(kPseudoFileSystems);
}

LocalListing ReadTopLevel() {
    LocalListing listing;
    LocalEntry home;
    home.path = QDir::homePath();
    home.name = u"Home ("_s + home.path + u')';
    home.kind = LocalEntry::Kind::Home;
    home.typeText = u"Home folder"_s;
    home.icon = ThemeIcon("user-home", QStyle::SP_DirHomeIcon);
    listing.directories.push_back(std::move(home));

    QStringList seen;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (!volume.isValid() || !volume.isReady() || seen.contains(root) ||
            !IsUserVolume(root, volume.fileSystemType()) || !QFileInfo(root).isDir()) {
            continue; // bind-mounted files (a container's /etc/hosts) are not volumes either
        }
        seen.append(root);
        LocalEntry entry;
        entry.path = root;
        entry.name = VolumeName(volume);
        entry.kind = LocalEntry::Kind::Volume;
        entry.typeText = u"Volume ("_s + QString::fromLatin1(volume.fileSystemType()) + u')';
        entry.icon = VolumeIcon(root);
        listing.directories.push_back(std::move(entry));
    }
    return listing;
}

QString ParentLocalDirectory(const QString& path) {
    if (path.isEmpty() || path == u"/"_s) {
        return {};
    }
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? u"/"_s : path.left(slash);
}

QString ResolveLocalPath(const QString& base, const QString& typed) {
    if (typed.isEmpty()) {
        return {};
    }
    QString path = typed;
    if (path == u"~"_s || path.startsWith(u"~/"_s)) {
        path = QDir::homePath() + path.sliced(1);
    } else if (!path.startsWith(u'/')) {
        path = (base.isEmpty() ? QDir::homePath() : base) + u'/' + path;
    }
    path = QDir::cleanPath(path);
    // Above the root is the root ("/.." stays as it is in cleanPath).
    while (path == u"/.."_s || path.startsWith(u"/../"_s)) {
        path = path.size() == 3 ? u"/"_s : path.sliced(3);
    }
    return path;
}

QString LocalSizeText(qint64 size) {
    return QString::number(std::max<qint64>(size, 0) / 1024 + 1) + u" KB"_s;
}

std::vector<int> SortLocalEntries(std::span<const LocalEntry* const> entries, int column, bool ascending) {
    const std::size_t count = entries.size();
    const QCollator collator = NameCollator();
    std::vector<QCollatorSortKey> names;
    names.reserve(count);
    for (const LocalEntry* entry : entries) {
        names.push_back(collator.sortKey(entry->name));
    }
    // Per column, a number to compare first (type texts by their rank among the distinct ones).
    std::vector<qint64> primary(count, 0);
    if (column == kLocalSizeColumn) {
        for (std::size_t i = 0; i < count; ++i) {
            primary[i] = entries[i]->size;
        }
    } else if (column == kLocalModifiedColumn) {
        for (std::size_t i = 0; i < count; ++i) {
            const QDateTime& modified = entries[i]->modified;
            primary[i] =
                modified.isValid() ? modified.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
        }
    } else if (column == kLocalTypeColumn) {
        QHash<QString, qint64> rank;
        for (const LocalEntry* entry : entries) {
            rank.insert(entry->typeText, 0);
        }
        QStringList types = rank.keys();
        std::sort(types.begin(), types.end(),
                  [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
        for (qsizetype i = 0; i < types.size(); ++i) {
            rank[types[i]] = i;
        }
        for (std::size_t i = 0; i < count; ++i) {
            primary[i] = rank.value(entries[i]->typeText);
        }
    }

    std::vector<int> order(count);
    for (std::size_t i = 0; i < count; ++i) {
        order[i] = int(i);
    }
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const LocalEntry& x = *entries[std::size_t(a)];
        const LocalEntry& y = *entries[std::size_t(b)];
        if (x.IsDirectory() != y.IsDirectory()) {
            return x.IsDirectory();
        }
        int result = Compare(primary[std::size_t(a)], primary[std::size_t(b)]);
        if (result == 0) {
            result = names[std::size_t(a)].compare(names[std::size_t(b)]);
        }
        if (result == 0) {
            result = x.name.compare(y.name); // "a" and "A": still one order
        }
        if (result == 0) {
            return a < b;
        }
        return ascending ? result < 0 : result > 0;
    });
    return order;
}

} // namespace tessaly
