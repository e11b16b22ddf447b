#pragma once

#include <QByteArray>
#include <QDialog>

class QLineEdit;
class QPushButton;

namespace tessaly {

// A one-line prompt for a password: its caption names what is asked. In mode 1 the text is typed
// into a masked box, in mode 0 into a plain one; "&OK" is enabled only while the box in use holds
// text.
class PasswordPromptDialog : public QDialog {
    Q_OBJECT
public:
    explicit PasswordPromptDialog(QWidget* parent = nullptr);

    void SetCaption(const QString& caption);
    void SetMode(int mode);
    QString Text() const;
    void SetText(const QString& text);

private:
    QLineEdit& BoxInUse() const;
    void UpdateOk();

    QLineEdit* plain_;
    QLineEdit* masked_;
    QPushButton* ok_;
    int mode_ = 1;
};

// Asks for the old password, the new one and the new one again, each with the same prompt ("Old
// Password", "New Password", "Verify Password"). The new password's prompt opens with the old one
// typed, the verification's empty. False when a prompt is cancelled, or when the verification
// differs from the new password (which the user is told).
bool AskPasswordChange(QWidget* parent, QByteArray& oldPassword, QByteArray& newPassword);

} // namespace tessaly
