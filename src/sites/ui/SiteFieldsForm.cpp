#include "sites/ui/SiteFieldsForm.h"

#include "session/FtpSession.h"
#include "settings/SettingKeys.h"
#include "ui/MessageBoxes.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>

namespace tessaly {

using namespace Qt::StringLiterals;

QString SitePortRangeMessage() {
    return IntegerRangeMessage(kSitePortLowest, kSitePortHighest);
}

std::optional<int> ReadSitePort(const QLineEdit& field) {
    bool ok = false;
    const int port = field.text().trimmed().toInt(&ok);
    if (!ok || port < kSitePortLowest || port > kSitePortHighest) {
        return std::nullopt;
    }
    return port;
}

QLineEdit* NewSitePortField(QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setValidator(new QRegularExpressionValidator(QRegularExpression(u"[0-9]{0,9}"_s), field));
    field->setMaximumWidth(field->fontMetrics().horizontalAdvance(u"0000000"_s) + 16);
    return field;
}

bool IsAnonymousSiteUser(const QByteArray& userName) {
    return userName == "anonymous";
}

void ApplyStoredSiteRules(SiteProfile& site, bool anonymousMode) {
    if (anonymousMode || IsAnonymousSiteUser(site.userName)) {
        site.password.clear();
    }
    if (site.remotePath.isEmpty()) {
        site.remotePath = "/";
    }
}

QByteArray AnonymousEmail(const SettingsStore& settings) {
    return settings.Text(setting::kAnommousEmail).toUtf8();
}

bool SaveSitesTelling(SiteStore& store, QWidget* parent) {
    const SiteSaveResult saved = store.Save();
    if (const QString message = saved.message(); !message.isEmpty()) {
        ShowWarning(parent, message);
    }
    return saved.ok;
}

void ByteLineEdit::Show(const QByteArray& bytes) {
    bytes_ = bytes;
    shown_ = QString::fromUtf8(bytes);
    edit_->setText(shown_);
}

QByteArray ByteLineEdit::Bytes() const {
    const QString text = edit_->text();
    return text == shown_ ? bytes_ : text.toUtf8();
}

SiteFieldsForm::SiteFieldsForm(const SettingsStore& settings, QWidget* parent)
    : QWidget(parent), settings_(settings), label_(new QLineEdit(this)), address_(new QLineEdit(this)),
      path_(new QLineEdit(this)), user_(new QLineEdit(this)), password_(new QLineEdit(this)),
      note_(new QLineEdit(this)), port_(NewSitePortField(this)),
      anonymousButton_(new QRadioButton(u"Anonymous"_s, this)),
      normalButton_(new QRadioButton(u"Normal"_s, this)) {
    label_.Edit().setObjectName(u"SiteLabel"_s);
    address_.Edit().setObjectName(u"SiteAddress"_s);
    path_.Edit().setObjectName(u"SiteRemotePath"_s);
    user_.Edit().setObjectName(u"SiteUserName"_s);
    password_.Edit().setObjectName(u"SitePassword"_s);
    password_.Edit().setEchoMode(QLineEdit::Password);
    note_.Edit().setObjectName(u"SiteNote"_s);
    port_->setObjectName(u"SitePort"_s);

    // One row per field as the dialog lays it out: a caption, its field and what stands beside it.
    struct Row {
        const char16_t* caption;
        QLineEdit* field;
    };
    const Row rows[] = {
        {u"Site &Label:", &label_.Edit()},  {u"&Address:", &address_.Edit()},
        {u"&Remote Path: ", &path_.Edit()}, {u"&Username:", &user_.Edit()},
        {u"&Password", &password_.Edit()},  {u"Not&e:", &note_.Edit()},
    };
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    int line = 0;
    for (const Row& row : rows) {
        if (row.field == &user_.Edit()) {
            auto* login = new QHBoxLayout;
            login->addWidget(anonymousButton_);
            login->addWidget(normalButton_);
            login->addStretch(1);
            grid->addLayout(login, line++, 1, 1, 3);
        }
        auto* caption = new QLabel(QString::fromUtf16(row.caption), this);
        caption->setBuddy(row.field);
        grid->addWidget(caption, line, 0);
        if (row.field == &address_.Edit()) {
            grid->addWidget(row.field, line, 1);
            auto* portCaption = new QLabel(u"P&ort:"_s, this);
            portCaption->setBuddy(port_);
            grid->addWidget(portCaption, line, 2);
            grid->addWidget(port_, line, 3);
        } else {
            grid->addWidget(row.field, line, 1, 1, 3);
        }
        ++line;
    }
    grid->setColumnStretch(1, 1);

    connect(&label_.Edit(), &QLineEdit::textEdited, this, &SiteFieldsForm::labelEdited);
    connect(anonymousButton_, &QRadioButton::toggled, this, &SiteFieldsForm::OnAnonymousToggled);
    connect(normalButton_, &QRadioButton::toggled, this, &SiteFieldsForm::OnNormalToggled);
}

void SiteFieldsForm::Show(const SiteProfile& site) {
    showing_ = true;
    label_.Show(site.label);
    address_.Show(site.address);
    path_.Show(site.remotePath);
    user_.Show(site.userName);
    note_.Show(site.note);
    port_->setText(QString::number(site.port));
    anonymous_ = IsAnonymousSiteUser(site.userName);
    password_.Show(anonymous_ && site.password.isEmpty() ? AnonymousEmail(settings_) : site.password);
    (anonymous_ ? anonymousButton_ : normalButton_)->setChecked(true);
    showing_ = false;
}

std::optional<SiteProfile> SiteFieldsForm::Read(SiteProfile site, QWidget* messageParent) const {
    const std::optional<int> port = ReadSitePort(*port_);
    if (!port) {
        if (messageParent != nullptr) {
            port_->setFocus();
            port_->selectAll();
            ShowWarning(messageParent, SitePortRangeMessage());
        }
        return std::nullopt;
    }
    site.label = label_.Bytes();
    site.address = address_.Bytes();
    site.remotePath = path_.Bytes();
    site.userName = user_.Bytes();
    site.password = password_.Bytes();
    site.note = note_.Bytes();
    site.port = *port;
    ApplyStoredSiteRules(site, anonymous_);
    return site;
}

void SiteFieldsForm::OnAnonymousToggled(bool checked) {
    if (!checked || showing_) {
        return;
    }
    anonymous_ = true;
    user_.Show("anonymous");
    password_.Show(AnonymousEmail(settings_));
}

void SiteFieldsForm::OnNormalToggled(bool checked) {
    if (!checked || showing_) {
        return;
    }
    anonymous_ = false;
    user_.Show({});
    password_.Show({});
    user_.Edit().setFocus();
}

} // namespace tessaly
