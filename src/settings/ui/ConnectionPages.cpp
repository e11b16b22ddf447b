#include "settings/ui/ConnectionPages.h"

#include "settings/ui/OptionChoices.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>
#include <utility>

namespace tessaly {

using namespace Qt::StringLiterals;

namespace {

// A host field and a port field in one row, each after its label.
QGridLayout* AddressRow(QLabel* hostLabel, QWidget* host, QLabel* portLabel, QWidget* port) {
    auto* row = new QGridLayout;
    row->addWidget(hostLabel, 0, 0);
    row->addWidget(host, 0, 1);
    row->addWidget(portLabel, 0, 2);
    row->addWidget(port, 0, 3);
    row->setColumnStretch(1, 1);
    return row;
}

// A user name and a password field with their labels, in a group of their own.
QWidget* CredentialFields(QWidget* parent, const QString& objectName, QLineEdit* user,
                          const QString& userLabel, QLineEdit* password, const QString& passwordLabel) {
    auto* group = new QWidget(parent);
    group->setObjectName(objectName);
    password->setEchoMode(QLineEdit::Password);
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(0, 0, 0, 0);
    int row = 0;
    for (const auto& [field, text] : {std::pair{user, userLabel}, std::pair{password, passwordLabel}}) {
        auto* label = new QLabel(text, group);
        label->setBuddy(field);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row++, 1);
    }
    return group;
}

} // namespace

CSocksProp::CSocksProp(QWidget* parent) : COptionPage(u"Socks"_s, parent) {
    // The switch and the type go together: a type no reader knows connects directly, as "None" does.
    const QButtonGroup* useSocks = NewChoice(
        setting::kUseSocks, {{u"None", 0}, {u"Use Socks Proxy", 1}}, [](const SettingsStore& settings) {
            return option_choice::SocksChoice(settings.Number(setting::kUseSocks),
                                              settings.Number(setting::kSocksType))
                .useSocks;
        });
    const QButtonGroup* socksType =
        NewChoice(setting::kSocksType, {{u"SOCKS4", 0}, {u"SOCKS4A", 1}, {u"SOCKS5", 2}, {u"HTTP 1.1", 3}},
                  [](const SettingsStore& settings) {
                      return option_choice::SocksChoice(settings.Number(setting::kUseSocks),
                                                        settings.Number(setting::kSocksType))
                          .socksType;
                  });
    auto* switchRow = new QHBoxLayout;
    AddButtons(switchRow, useSocks);

    // The server fields, enabled only with "Use Socks Proxy"; the user name and password only with
    // "Authentication:" as well.
    auto* server = new QGroupBox(u"Socks Server"_s, this);
    server->setObjectName(u"SocksServer"_s);
    auto* typeRow = new QHBoxLayout;
    AddButtons(typeRow, socksType);
    QLineEdit* host = NewText(setting::kSocksHost);
    COptionNumberBox* port = NewNumber(setting::kSocksPort);
    QGridLayout* address =
        AddressRow(NewLabel(u"&Socks Server:"_s, host), host, NewLabel(u"P&ort"_s, port), port);
    QCheckBox* authentication = NewCheck(u"Authentication:"_s, setting::kSocksAuthen);
    QWidget* credentials = CredentialFields(server, u"SocksCredentials"_s, NewText(setting::kSocksUser),
                                            u"&Username"_s, NewText(setting::kSocksPass), u"&Password"_s);
    auto* serverLayout = new QVBoxLayout(server);
    serverLayout->addLayout(typeRow);
    serverLayout->addLayout(address);
    serverLayout->addWidget(authentication);
    serverLayout->addWidget(credentials);
    EnableWith(useSocks->button(1), server);
    EnableWith(authentication, credentials);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(switchRow);
    layout->addWidget(server);
    layout->addStretch(1);
}

CProxyProp::CProxyProp(QWidget* parent)
    : COptionPage(u"Proxy"_s, parent), logonTypes_(new QButtonGroup(this)) {
    const QButtonGroup* useProxy = NewChoice(
        setting::kUseProxy, {{u"None", 0}, {u"Use FTP Proxy", 1}}, [](const SettingsStore& settings) {
            return option_choice::ProxyChoice(settings.Number(setting::kUseProxy),
                                              settings.Number(setting::kProxyType))
                .useProxy;
        });
    QAbstractButton* use = useProxy->button(1);
    auto* switchRow = new QHBoxLayout;
    AddButtons(switchRow, useProxy);

    // The proxy fields, enabled only with "Use FTP Proxy"; the user name and password only with
    // "Authentication" as well.
    auto* proxy = new QGroupBox(u"FTP Proxy"_s, this);
    proxy->setObjectName(u"ProxyFields"_s);
    QLineEdit* host = NewText(setting::kProxyName);
    COptionNumberBox* port = NewNumber(setting::kProxyPort);
    QGridLayout* address =
        AddressRow(NewLabel(u"Proxy &Server: "_s, host), host, NewLabel(u"&Port: "_s, port), port);

    // The logon conventions, stored as their number 1..8. "None" stores 0 and lets go of the choice,
    // so "Use FTP Proxy" shows none chosen until one is picked; OK asks for one while it is missing.
    constexpr const char16_t* kConventions[] = {
        u"SITE hostname",
        u"USER after logon",
        u"Proxy OPEN",
        u"Transparent",
        u"USER with no logon",
        u"USER fireid@remotehost",
        u"USER remoteid@remotehost fireid",
        u"USER remoteid@fireid@remotehost",
    };
    auto* logonGrid = new QGridLayout;
    for (int type = 1; type <= 8; ++type) {
        auto* button = new QRadioButton(QString::fromUtf16(kConventions[type - 1]), proxy);
        button->setObjectName(u"ProxyType"_s + QString::number(type));
        logonTypes_->addButton(button, type);
        logonGrid->addWidget(button, (type - 1) / 2, (type - 1) % 2);
    }
    Bind({&setting::kProxyType,
          [this](const SettingsStore& settings) {
              CheckChoice(logonTypes_, option_choice::ProxyChoice(settings.Number(setting::kUseProxy),
                                                                  settings.Number(setting::kProxyType))
                                           .proxyType);
          },
          [this, use] { return QString::number(use->isChecked() ? logonTypes_->checkedId() : 0); },
          [this, use]() -> std::optional<OptionFault> {
              if (use->isChecked() && logonTypes_->checkedId() < 0) {
                  return OptionFault{logonTypes_->button(1), u"Choose the logon type of the FTP proxy."_s};
              }
              return std::nullopt;
          }});
    connect(useProxy->button(0), &QAbstractButton::toggled, this, [this](bool none) {
        if (none) {
            CheckChoice(logonTypes_, -1);
        }
    });

    QCheckBox* authentication = NewCheck(u"Authentication"_s, setting::kAuthentication);
    QWidget* credentials =
        CredentialFields(proxy, u"ProxyCredentials"_s, NewText(setting::kProxyUserName), u"User name: "_s,
                         NewText(setting::kProxyPassWord), u"Password: "_s);
    auto* proxyLayout = new QVBoxLayout(proxy);
    proxyLayout->addLayout(address);
    proxyLayout->addLayout(logonGrid);
    proxyLayout->addWidget(authentication);
    proxyLayout->addWidget(credentials);
    EnableWith(use, proxy);
    EnableWith(authentication, credentials);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(switchRow);
    layout->addWidget(proxy);
    layout->addStretch(1);
}

} // namespace tessaly
