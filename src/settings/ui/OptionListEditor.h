#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace tessaly {

// A list setting edited row by row: an edit field with "Add", the rows, and "Delete". "Add" is enabled
// only while the field holds text (Enter in the field adds too); it appends the entry as the last row
// and empties the field. "Delete" is enabled only while a row is selected; it removes that row. The
// list is stored as its rows joined with commas, so an entry holding a comma is refused.
class COptionListEditor : public QWidget {
    Q_OBJECT
public:
    // The row an entry becomes (the entry itself when nothing changes it); "Add" refuses an entry that
    // becomes an empty row.
    using RowOf = std::function<QString(const QString& entry)>;

    COptionListEditor(const QString& objectName, RowOf rowOf, QWidget* parent = nullptr);

    // Rows from a stored list: split at commas, each made a row as an entry typed would be (an empty
    // list gives no row). Stored(): the rows joined with commas.
    void SetStored(const QString& stored);
    QString Stored() const;
    QStringList Rows() const;

    QLineEdit& Edit() const { return *edit_; }
    QListWidget& List() const { return *list_; }
    QPushButton& AddButton() const { return *add_; }
    QPushButton& DeleteButton() const { return *delete_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnAdd();
    void OnDelete();

    RowOf rowOf_;
    QLineEdit* edit_;
    QListWidget* list_;
    QPushButton* add_;
    QPushButton* delete_;
};

} // namespace tessaly
