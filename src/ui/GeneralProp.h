#pragma once

#include <QByteArray>
#include <QDialog>
#include <QIcon>
#include <QString>
#include <array>

class QCheckBox;
class QLineEdit;
class QLabel;
class QPushButton;

namespace tessaly {

// The permission bits (0 to 0777) that a listing's permission text gives, the part after the type
// letter ("rwxr-xr-x"). The execute places also read s and t as set and S and T as clear; any other
// letter, and a text shorter than nine, gives nothing for its place.
int ModeFromPermissionText(QByteArrayView text);

// What the general page shows of one remote item.
struct RemoteItemFacts {
    QByteArray name; // as the server sent it
    QString location;
    QString type;
    QIcon icon;
    QString size;
    QString modified;
    int mode = 0;                    // 0 to 0777
    bool permissionsEditable = true; // false for items of MS-DOS style listings
};

// The "General" page of a remote item's properties: icon, type, location, size and modified time,
// the name (editable) and, for items of Unix style listings, the nine permission boxes with a
// three-digit number (owner, group, other, each an octal digit) kept in step with them.
class CGeneralProp : public QWidget {
    Q_OBJECT
public:
    explicit CGeneralProp(const RemoteItemFacts& facts, QWidget* parent = nullptr);

    // Whether the page may be left: the name is not empty and the number is three octal digits at
    // most. When not, says why and puts the focus where the fault is.
    bool CanLeave();

    // The name now: the original bytes while its text is unchanged (a name that is not UTF-8
    // included), otherwise the text typed.
    QByteArray Name() const;
    // The permission bits now, and when the page opened; -1 when the item's cannot be changed.
    int Mode() const;
    int InitialMode() const;

private:
    // The boxes show the bits; the number shows them as three digits.
    void ShowBits(int bits);
    int BitsOfBoxes() const;
    void OnBoxToggled();
    void OnNumberEdited(const QString& text);
    void SetAll(int classBit);

    QByteArray initialName_;
    QString initialText_;
    int initialMode_;
    bool editable_;
    QLineEdit* name_;
    QLineEdit* number_;
    std::array<QCheckBox*, 9> boxes_{}; // owner r w x, group r w x, other r w x
    bool updating_ = false;
};

// The properties sheet of a remote item, captioned "Options", with the general page. OK is taken
// only when the page may be left.
class CRemotePropertiesSheet : public QDialog {
    Q_OBJECT
public:
    explicit CRemotePropertiesSheet(const RemoteItemFacts& facts, QWidget* parent = nullptr);

    CGeneralProp& Page() { return *page_; }
    void accept() override;

private:
    CGeneralProp* page_;
};

} // namespace tessaly
