#pragma once

#include <QByteArray>
#include <QDialog>
#include <QList>

class QComboBox;
class QPushButton;

namespace tessaly {

// "Select Path": the remote directory to go to, typed or chosen among the paths visited. OK is
// enabled while the text is not empty.
class CSelectPathDialog : public QDialog {
    Q_OBJECT
public:
    // paths: the entries to offer, as bytes; current: the one selected at first (-1 for none).
    CSelectPathDialog(const QList<QByteArray>& paths, int current, QWidget* parent = nullptr);

    // The chosen path: the bytes of the offered entry when its text is unchanged (so a path that is
    // not valid UTF-8 survives), otherwise the typed text as UTF-8.
    QByteArray SelectedPath() const;

    QComboBox& PathCombo() { return *combo_; }
    QPushButton& OkButton() { return *ok_; }

private:
    void UpdateOk();

    QComboBox* combo_;
    QPushButton* ok_;
};

} // namespace tessaly
