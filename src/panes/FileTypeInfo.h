#pragma once

#include <QIcon>
#include <QString>
#include <QStringView>

namespace tessaly {

// How the desktop shows a kind of file: its icon and its type name ("PDF document", "folder").
struct FileTypeInfo {
    QIcon icon;
    QString typeName;
};

// The desktop's folder icon and the type name of "inode/directory".
const FileTypeInfo& FolderTypeInfo();

// The icon and type name of an ordinary file of this name, judged by its extension alone (the text
// after the last dot; a name whose only dot leads has none), so no file is looked at. Answers are
// kept per extension for the life of the program: this is asked for every row of a listing. Only
// for the GUI thread. The reference stays valid for the life of the program.
const FileTypeInfo& FileTypeInfoForName(QStringView fileName);

// The extension FileTypeInfoForName judges a name by (empty when it has none).
QStringView FileExtension(QStringView fileName);

} // namespace tessaly
