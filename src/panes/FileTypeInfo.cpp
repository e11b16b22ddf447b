#include "panes/FileTypeInfo.h"

#include "ui/Icons.h"

#include <QFileIconProvider>
#include <QMimeDatabase>
#include <QMimeType>
#include <string_view>
#include <unordered_map>

namespace tessaly {

namespace {

// The desktop theme's icon for the type, else that of its group ("text-x-generic"). Without an
// icon theme (a session without a desktop), the group's picture as the program's other icons find
// theirs, else the desktop's plain file icon.
QIcon IconForType(const QMimeType& type, const QFileIconProvider& provider) {
    for (const QString& name : {type.iconName(), type.genericIconName()}) {
        if (!name.isEmpty() && QIcon::hasThemeIcon(name)) {
            return QIcon::fromTheme(name);
        }
    }
    const QByteArray group = type.genericIconName().toLatin1();
    if (group.isEmpty()) {
        return provider.icon(QFileIconProvider::File);
    }
    return ThemeIcon(std::string_view(group.constData(), std::size_t(group.size())), QStyle::SP_FileIcon);
}

FileTypeInfo LookUpExtension(const QString& extension) {
    static const QFileIconProvider provider;
    const QMimeDatabase database;
    // A stand-in name with only the extension, so that patterns of whole names ("Makefile") never
    // make two files of one extension differ.
    const QString probe = extension.isEmpty() ? QStringLiteral("file") : QStringLiteral("file.") + extension;
    const QMimeType type = database.mimeTypeForFile(probe, QMimeDatabase::MatchExtension);
    return {IconForType(type, provider), type.comment()};
}

} // namespace

const FileTypeInfo& FolderTypeInfo() {
    static const FileTypeInfo folder = [] {
        const QFileIconProvider provider;
        const QMimeType type = QMimeDatabase().mimeTypeForName(QStringLiteral("inode/directory"));
        return FileTypeInfo{provider.icon(QFileIconProvider::Folder), type.comment()};
    }();
    return folder;
}

QStringView FileExtension(QStringView fileName) {
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot <= 0 ? QStringView() : fileName.sliced(dot + 1);
}

const FileTypeInfo& FileTypeInfoForName(QStringView fileName) {
    // Node-based, so references handed out stay valid while more extensions are added.
    static std::unordered_map<QString, FileTypeInfo> byExtension;
    const QString extension = FileExtension(fileName).toString();
    auto found = byExtension.find(extension);
    if (found == byExtension.end()) {
        found = byExtension.emplace(extension, LookUpExtension(extension)).first;
    }
    return found->second;
}

} // namespace tessaly
