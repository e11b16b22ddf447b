#pragma once

#include <QByteArray>
#include <QDialog>
#include <QList>
#include <QStringList>

class QPlainTextEdit;
class QPushButton;

namespace tessaly {

// "Server Information": the server's welcome or directory messages, one at a time. With more than
// one, "&Back" and "&Next" step through them.
class ServerInfoDialog : public QDialog {
    Q_OBJECT
public:
    ServerInfoDialog(const QList<QByteArray>& messages, QWidget* parent = nullptr);

    // The message shown, counted from 0.
    int CurrentIndex() const { return current_; }

private:
    void ShowMessage(int index);

    QStringList messages_;
    int current_ = 0;
    QPlainTextEdit* text_ = nullptr;
    QPushButton* backButton_ = nullptr;
    QPushButton* nextButton_ = nullptr;
};

} // namespace tessaly
