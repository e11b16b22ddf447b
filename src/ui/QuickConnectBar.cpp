#include "ui/QuickConnectBar.h"

#include "ui/Icons.h"

#include <QHBoxLayout>
#include <QLabel>

namespace tessaly {

using namespace Qt::StringLiterals;

QuickConnectBar::QuickConnectBar(QWidget* parent) : QToolBar(tr("Quick Connect"), parent) {
    setObjectName(u"QuickConnectBar"_s);
    setMovable(false);
    setFloatable(false);
    host_ = AddField(tr("Ho&st:"), tr("Host"), 220);
    host_->setPlaceholderText(tr("ftp.example.org"));
    user_ = AddField(tr("&User:"), tr("User"), 130);
    user_->setPlaceholderText(tr("anonymous"));
    password_ = AddField(tr("&Pass:"), tr("Pass"), 130);
    password_->setEchoMode(QLineEdit::Password);
    // Alt+O belongs to the options; the port takes Alt+R.
    port_ = AddField(tr("Po&rt:"), tr("Port"), 60);
    port_->setText(u"21"_s);

    connect_ = new QToolButton(this);
    connect_->setText(tr("Connect"));
    connect_->setToolTip(tr("Connect to the host typed here"));
    connect_->setIcon(ThemeIcon("go-jump", QStyle::SP_CommandLink));
    connect_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect_->setObjectName(u"QuickConnectButton"_s);
    addWidget(connect_);
    connect(connect_, &QToolButton::clicked, this, &QuickConnectBar::connectRequested);
    for (QLineEdit* field : {host_, user_, password_, port_}) {
        connect(field, &QLineEdit::returnPressed, this, &QuickConnectBar::connectRequested);
    }
}

QLineEdit* QuickConnectBar::AddField(const QString& label, const QString& accessibleName, int width) {
    auto* holder = new QWidget(this);
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(6, 0, 4, 0);
    layout->setSpacing(4);
    auto* text = new QLabel(label, holder);
    auto* field = new QLineEdit(holder);
    field->setAccessibleName(accessibleName);
    field->setMinimumWidth(width);
    field->setClearButtonEnabled(false);
    text->setBuddy(field);
    layout->addWidget(text);
    layout->addWidget(field);
    addWidget(holder);
    return field;
}

QuickConnectFields QuickConnectBar::Fields() const {
    return {host_->text(), user_->text(), password_->text(), port_->text()};
}

} // namespace tessaly
