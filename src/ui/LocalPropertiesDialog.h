#pragma once

#include <QDialog>
#include <QString>

class QFormLayout;

namespace tessaly {

// A mode's permission bits as "ls -l" shows them ("rwxr-xr-x"; set-user-ID, set-group-ID and
// sticky as s/S and t/T), and as octal digits ("755", "1777" when a special bit is set).
QString PermissionText(unsigned mode);
QString OctalPermissionText(unsigned mode);

// The properties of a local file or directory: name and icon, location, type, size (for a
// directory what it holds and the free space of its volume), link target, modified and created
// times, permissions and owner. Read once, when the dialog is made.
class CLocalPropertiesDialog : public QDialog {
    Q_OBJECT
public:
    explicit CLocalPropertiesDialog(const QString& path, QWidget* parent = nullptr);

    // The value shown beside a field's label ("Size:", "Permissions:"...); empty when there is no
    // such field.
    QString FieldText(const QString& label) const;

private:
    void AddField(const QString& label, const QString& value);

    QFormLayout* form_;
};

} // namespace tessaly
