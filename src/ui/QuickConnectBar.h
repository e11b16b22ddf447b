#pragma once

#include "sites/QuickConnect.h"

#include <QLineEdit>
#include <QToolBar>
#include <QToolButton>

namespace tessaly {

// The "Quick Connect" bar under the toolbar: Host, User, Pass and Port (preset "21") and the
// connect button. Enter in any field presses the button, the bar's default.
class QuickConnectBar : public QToolBar {
    Q_OBJECT
public:
    explicit QuickConnectBar(QWidget* parent = nullptr);

    QuickConnectFields Fields() const;
    QLineEdit& Host() { return *host_; }
    QLineEdit& User() { return *user_; }
    QLineEdit& Password() { return *password_; }
    QLineEdit& Port() { return *port_; }
    QToolButton& ConnectButton() { return *connect_; }

signals:
    // The connect button (command 1) was pressed.
    void connectRequested();

private:
    QLineEdit* AddField(const QString& label, const QString& accessibleName, int width);

    QLineEdit* host_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLineEdit* port_ = nullptr;
    QToolButton* connect_ = nullptr;
};

} // namespace tessaly
