#pragma once

#include "session/EngineView.h"
#include "settings/SettingsStore.h"

#include <QDialog>
#include <QString>
#include <QTimer>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace tessaly {

// "Login": asks for the user name and password of a host whose logon was refused.
//
// Settings, read when the dialog is made: "General", "CanChangeName" (0 locks the user name) and
// "General", "PassWaitTime" (seconds; the dialog cancels itself when they have run out, counting
// down on its Cancel button). A wait time of 0 or below means no time limit: the dialog waits for
// the user and Cancel keeps its caption.
class LoginDialog : public QDialog {
    Q_OBJECT
public:
    LoginDialog(const LoginRequest& request, const SettingsStore& settings, QWidget* parent = nullptr);

    // The request with the user name, password and save-password choice as edited; the host and
    // noSavedSite unchanged. A user name left as it came keeps its bytes, even when they are not UTF-8.
    LoginRequest Result() const;

    // Seconds left before the dialog cancels itself; 0 when it has no time limit.
    int SecondsLeft() const { return countdown_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void UpdateOkButton();
    void Tick();

    LoginRequest request_;
    QLineEdit* hostEdit_ = nullptr;
    QLineEdit* userEdit_ = nullptr;
    QLineEdit* passwordEdit_ = nullptr;
    QCheckBox* savePasswordBox_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QString cancelCaption_;
    int countdown_ = 0;
    QTimer countdownTimer_;
};

} // namespace tessaly
