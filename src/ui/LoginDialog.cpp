#include "ui/LoginDialog.h"

#include "settings/SettingKeys.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace tessaly {

using namespace Qt::StringLiterals;

LoginDialog::LoginDialog(const LoginRequest& request, const SettingsStore& settings, QWidget* parent)
    : QDialog(parent), request_(request) {
    setWindowTitle(u"Login"_s);

    hostEdit_ = new QLineEdit(QString::fromUtf8(request.host), this);
    hostEdit_->setReadOnly(true);
    hostEdit_->setFocusPolicy(Qt::ClickFocus);
    // Shown, not asked for: no frame, on the dialog's own background.
    hostEdit_->setFrame(false);
    QPalette shown = hostEdit_->palette();
    shown.setColor(QPalette::Base, shown.color(QPalette::Window));
    hostEdit_->setPalette(shown);
    userEdit_ = new QLineEdit(QString::fromUtf8(request.userName), this);
    passwordEdit_ = new QLineEdit(this);
    passwordEdit_->setEchoMode(QLineEdit::Password);
    savePasswordBox_ = new QCheckBox(u"&Save Password"_s, this);

    auto* fields = new QFormLayout;
    fields->addRow(u"Host:"_s, hostEdit_);
    fields->addRow(u"&User name:"_s, userEdit_);
    fields->addRow(u"&Password:"_s, passwordEdit_);
    fields->addRow(QString(), savePasswordBox_);

    okButton_ = new QPushButton(u"&OK"_s, this);
    cancelButton_ = new QPushButton(u"Cancel"_s, this);
    okButton_->setDefault(true);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(okButton_, QDialogButtonBox::AcceptRole);
    buttons->addButton(cancelButton_, QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addSpacing(6);
    layout->addWidget(buttons);
    setMinimumWidth(360);

    if (settings.Number(setting::kCanChangeName) == 0) {
        userEdit_->setEnabled(false);
    }
    if (request.noSavedSite) {
        savePasswordBox_->setChecked(false);
        savePasswordBox_->setEnabled(false);
    } else {
        savePasswordBox_->setChecked(request.savePassword);
    }
    connect(userEdit_, &QLineEdit::textChanged, this, &LoginDialog::UpdateOkButton);
    UpdateOkButton();
    (userEdit_->isEnabled() && userEdit_->text().isEmpty() ? userEdit_ : passwordEdit_)->setFocus();

    cancelCaption_ = cancelButton_->text();
    countdown_ = std::max(0, settings.Number(setting::kPassWaitTime));
    if (countdown_ > 0) {
        // Wide enough for the longest count from the start, so the buttons do not move as it falls.
        const QString widest = u"%1 = %2"_s.arg(cancelCaption_).arg(countdown_);
        cancelButton_->setMinimumWidth(cancelButton_->fontMetrics().horizontalAdvance(widest) + 24);
        countdownTimer_.setInterval(1000);
        connect(&countdownTimer_, &QTimer::timeout, this, &LoginDialog::Tick);
    }
}

LoginRequest LoginDialog::Result() const {
    LoginRequest result = request_;
    const QString user = userEdit_->text();
    if (user != QString::fromUtf8(request_.userName)) {
        result.userName = user.toUtf8();
    }
    result.password = passwordEdit_->text().toUtf8();
    result.savePassword = !request_.noSavedSite && savePasswordBox_->isChecked();
    return result;
}

void LoginDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The countdown runs from the moment the user first sees the question.
    if (countdown_ > 0 && !countdownTimer_.isActive()) {
        countdownTimer_.start();
    }
}

void LoginDialog::hideEvent(QHideEvent* event) {
    countdownTimer_.stop();
    QDialog::hideEvent(event);
}

void LoginDialog::UpdateOkButton() {
    okButton_->setEnabled(!userEdit_->text().isEmpty());
}

void LoginDialog::Tick() {
    --countdown_;
    cancelButton_->setText(u"%1 = %2"_s.arg(cancelCaption_).arg(countdown_));
    if (countdown_ == 0) {
        countdownTimer_.stop();
        reject();
    }
}

} // namespace tessaly
