#include "ui/PasswordPromptDialog.h"

#include "ui/MessageBoxes.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessaly {

using namespace Qt::StringLiterals;

PasswordPromptDialog::PasswordPromptDialog(QWidget* parent)
    : QDialog(parent), plain_(new QLineEdit(this)), masked_(new QLineEdit(this)) {
    plain_->setObjectName(u"PlainText"_s);
    masked_->setObjectName(u"Password"_s);
    masked_->setEchoMode(QLineEdit::Password);
    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(u"&OK"_s, QDialogButtonBox::AcceptRole);
    buttons->addButton(u"&Cancel"_s, QDialogButtonBox::RejectRole);
    ok_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    for (QLineEdit* box : {plain_, masked_}) {
        box->setMinimumWidth(240);
        connect(box, &QLineEdit::textChanged, this, &PasswordPromptDialog::UpdateOk);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(plain_);
    layout->addWidget(masked_);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    SetMode(1);
}

void PasswordPromptDialog::SetCaption(const QString& caption) {
    setWindowTitle(caption);
}

void PasswordPromptDialog::SetMode(int mode) {
    mode_ = mode;
    plain_->setVisible(mode_ != 1);
    masked_->setVisible(mode_ == 1);
    BoxInUse().setFocus();
    UpdateOk();
}

QLineEdit& PasswordPromptDialog::BoxInUse() const {
    return mode_ == 1 ? *masked_ : *plain_;
}

QString PasswordPromptDialog::Text() const {
    return BoxInUse().text();
}

void PasswordPromptDialog::SetText(const QString& text) {
    BoxInUse().setText(text);
    BoxInUse().selectAll();
}

void PasswordPromptDialog::UpdateOk() {
    ok_->setEnabled(!BoxInUse().text().isEmpty());
}

bool AskPasswordChange(QWidget* parent, QByteArray& oldPassword, QByteArray& newPassword) {
    PasswordPromptDialog prompt(parent);
    prompt.SetMode(1);
    prompt.SetCaption(u"Old Password"_s);
    if (prompt.exec() != QDialog::Accepted) {
        return false;
    }
    const QString oldText = prompt.Text();
    prompt.SetCaption(u"New Password"_s); // opens with the old password typed
    if (prompt.exec() != QDialog::Accepted) {
        return false;
    }
    const QString newText = prompt.Text();
    prompt.SetCaption(u"Verify Password"_s);
    prompt.SetText(QString()); // typed afresh, never carried over
    if (prompt.exec() != QDialog::Accepted) {
        return false;
    }
    if (prompt.Text() != newText) {
        ShowStopMessage(parent, u"Invalid verify password!"_s);
        return false;
    }
    oldPassword = oldText.toUtf8();
    newPassword = newText.toUtf8();
    return true;
}

} // namespace tessaly
