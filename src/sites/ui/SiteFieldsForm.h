#pragma once

#include "settings/SettingsStore.h"
#include "sites/SiteProfile.h"
#include "sites/SiteStore.h"

#include <QByteArray>
#include <QString>
#include <QWidget>
#include <optional>

class QLineEdit;
class QRadioButton;

namespace tessaly {

// The port range the site dialogs take, and the message that refuses any other port.
inline constexpr int kSitePortLowest = 1;
inline constexpr int kSitePortHighest = 65535;
QString SitePortRangeMessage();
// The port typed into a field, when it is a whole number in 1..65535.
std::optional<int> ReadSitePort(const QLineEdit& field);
// A port field: digits only.
QLineEdit* NewSitePortField(QWidget* parent);

// True when the user name is the word that marks an anonymous site, exactly as typed.
bool IsAnonymousSiteUser(const QByteArray& userName);
// The rule every site dialog applies before storing: an anonymous site keeps no password, and an
// empty remote path becomes "/".
void ApplyStoredSiteRules(SiteProfile& site, bool anonymousMode);

// A line edit over a text of bytes: the text shown is the bytes read as UTF-8, and while it is not
// edited the original bytes come back unchanged (a label that is not UTF-8 survives an edit of
// another field).
class ByteLineEdit {
public:
    explicit ByteLineEdit(QLineEdit* edit) : edit_(edit) {}
    void Show(const QByteArray& bytes);
    QByteArray Bytes() const;
    QLineEdit& Edit() const { return *edit_; }

private:
    QLineEdit* edit_;
    QByteArray bytes_;
    QString shown_;
};

// The seven fields of a saved site and the "Anonymous" / "Normal" pair, as the Site Manager and the
// "FTP Site" page show them. "Anonymous" fills in the user name and the anonymous e-mail, "Normal"
// empties both; each acts only when the choice changes, so a click on the checked one changes nothing.
class SiteFieldsForm : public QWidget {
    Q_OBJECT
public:
    SiteFieldsForm(const SettingsStore& settings, QWidget* parent = nullptr);

    // Shows the site. An anonymous site (user name "anonymous") checks "Anonymous" and, when its
    // password is empty, shows the anonymous e-mail in its place; any other checks "Normal".
    void Show(const SiteProfile& site);
    // The site with the fields as edited, the stored-site rules applied; nothing when the port is
    // outside 1..65535, which is then said (with the focus on the port) when messageParent is given.
    std::optional<SiteProfile> Read(SiteProfile site, QWidget* messageParent) const;

    bool AnonymousMode() const { return anonymous_; }
    QLineEdit& LabelEdit() const { return label_.Edit(); }
    QLineEdit& PortEdit() const { return *port_; }
    QRadioButton& AnonymousButton() const { return *anonymousButton_; }
    QRadioButton& NormalButton() const { return *normalButton_; }

signals:
    // The label as typed, at every change the user makes.
    void labelEdited(const QString& text);

private:
    void OnAnonymousToggled(bool checked);
    void OnNormalToggled(bool checked);

    const SettingsStore& settings_;
    ByteLineEdit label_;
    ByteLineEdit address_;
    ByteLineEdit path_;
    ByteLineEdit user_;
    ByteLineEdit password_;
    ByteLineEdit note_;
    QLineEdit* port_;
    QRadioButton* anonymousButton_;
    QRadioButton* normalButton_;
    bool anonymous_ = false;
    bool showing_ = false; // Show() sets the radios: that is no choice of the user's
};

// Saves the store; a failure (or a damaged file kept aside) is said to the user. True when saved.
bool SaveSitesTelling(SiteStore& store, QWidget* parent);

// The "General", "AnommousEmail" setting, the password of anonymous logins.
QByteArray AnonymousEmail(const SettingsStore& settings);

} // namespace tessaly
