#include "ui/LocalPropertiesDialog.h"

#include "panes/FileTypeInfo.h"
#include "panes/LocalEntry.h"

#include <QDialogButtonBox>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QStorageInfo>
#include <QVBoxLayout>
#include <sys/stat.h>

namespace tessaly {

namespace {

using namespace Qt::StringLiterals;

QString TimeText(const QDateTime& time) {
    return time.isValid() ? time.toString(u"yyyy-MM-dd HH:mm:ss"_s) : u"Unknown"_s;
}

// "3 folders, 12 files" for what a directory holds directly.
QString ContentsText(const QString& path) {
    int folders = 0;
    int files = 0;
    QDirIterator children(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (children.hasNext()) {
        children.next();
        ++(children.fileInfo().isDir() ? folders : files);
    }
    return u"%1 %2, %3 %4"_s.arg(folders)
        .arg(folders == 1 ? u"folder"_s : u"folders"_s)
        .arg(files)
        .arg(files == 1 ? u"file"_s : u"files"_s);
}

QString SizeText(qint64 size) {
    return u"%1 (%2 bytes)"_s.arg(LocalSizeText(size), QLocale().toString(size));
}

} // namespace

QString PermissionText(unsigned mode) {
    QString text(9, u'-');
    const char16_t letters[] = u"rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit) {
        if ((mode & (0400u >> bit)) != 0) {
            text[bit] = QChar(letters[bit]);
        }
    }
    const auto special = [&](int at, unsigned flag, QChar withExecute, QChar without) {
        if ((mode & flag) != 0) {
            text[at] = text[at] == u'x' ? withExecute : without;
        }
    };
    special(2, S_ISUID, u's', u'S');
    special(5, S_ISGID, u's', u'S');
    special(8, S_ISVTX, u't', u'T');
    return text;
}

QString OctalPermissionText(unsigned mode) {
    const unsigned bits = mode & 07777u;
    return QString::number(bits, 8).rightJustified(bits > 0777u ? 4 : 3, u'0');
}

CLocalPropertiesDialog::CLocalPropertiesDialog(const QString& path, QWidget* parent)
    : QDialog(parent), form_(new QFormLayout) {
    const QFileInfo info(path);
    const QString name = info.fileName().isEmpty() ? path : info.fileName();
    setWindowTitle(name + u" Properties"_s);

    const FileTypeInfo& type = info.isDir() ? FolderTypeInfo() : FileTypeInfoForName(name);
    auto* icon = new QLabel(this);
    icon->setPixmap(type.icon.pixmap(32, 32));
    auto* title = new QLabel(name, this);
    title->setTextFormat(Qt::PlainText);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    title->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* heading = new QHBoxLayout;
    heading->addWidget(icon);
    heading->addWidget(title, 1);

    form_->setLabelAlignment(Qt::AlignRight);
    AddField(u"Location:"_s, info.absolutePath());
    if (info.isSymLink()) {
        AddField(u"Link target:"_s, info.symLinkTarget().isEmpty() ? u"(none)"_s : info.symLinkTarget());
    }
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(info);
    AddField(u"Type:"_s, info.isDir() ? type.typeName : mime.comment());
    if (info.isDir()) {
        AddField(u"Contains:"_s, ContentsText(path));
        const QStorageInfo volume(path);
        if (volume.isValid() && volume.isReady()) {
            const QLocale locale;
            AddField(u"Free space:"_s, u"%1 of %2"_s.arg(locale.formattedDataSize(volume.bytesAvailable()),
                                                         locale.formattedDataSize(volume.bytesTotal())));
        }
    } else {
        AddField(u"Size:"_s, SizeText(info.size()));
    }
    AddField(u"Modified:"_s, TimeText(info.lastModified()));
    AddField(u"Created:"_s, TimeText(info.birthTime()));

    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) == 0) {
        AddField(u"Permissions:"_s,
                 u"%1 (%2)"_s.arg(PermissionText(status.st_mode), OctalPermissionText(status.st_mode)));
    } else {
        AddField(u"Permissions:"_s, u"Unknown"_s);
    }
    const QString owner = info.owner().isEmpty() ? QString::number(info.ownerId()) : info.owner();
    const QString group = info.group().isEmpty() ? QString::number(info.groupId()) : info.group();
    AddField(u"Owner:"_s, owner + u" (group "_s + group + u')');

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(heading);
    layout->addSpacing(6);
    layout->addLayout(form_);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CLocalPropertiesDialog::AddField(const QString& label, const QString& value) {
    auto* text = new QLabel(value, this);
    text->setTextFormat(Qt::PlainText);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->setMinimumWidth(260);
    form_->addRow(label, text);
}

QString CLocalPropertiesDialog::FieldText(const QString& label) const {
    for (int row = 0; row < form_->rowCount(); ++row) {
        const auto* name = qobject_cast<QLabel*>(form_->itemAt(row, QFormLayout::LabelRole)->widget());
        if (name != nullptr && name->text() == label) {
            return qobject_cast<QLabel*>(form_->itemAt(row, QFormLayout::FieldRole)->widget())->text();
        }
    }
    return {};
}

} // namespace tessaly
