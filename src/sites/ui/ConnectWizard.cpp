#include "sites/ui/ConnectWizard.h"

#include "sites/ui/SiteFieldsForm.h"
#include "ui/MessageBoxes.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWizardPage>

namespace tessaly {

using namespace Qt::StringLiterals;

namespace {

// The pages in order: title and what the step is for.
struct PageText {
    CConnectWizard::PageId id;
    const char16_t* title;
    const char16_t* explanation;
};
constexpr PageText kPages[] = {
    {CConnectWizard::kWelcome, u"Welcome",
     u"This wizard saves a new FTP site in a few steps: a name for it, the server's address and how "
     u"to log in. The site then stands in the Site Manager, and you can connect to it at once."},
    {CConnectWizard::kSiteLabel, u"Site Label",
     u"Give the site a name. It is how the site is shown in the Site Manager and in the list of recent "
     u"sites; it need not be the server's address."},
    {CConnectWizard::kHostAddress, u"Host Address",
     u"Type the address of the FTP server: a host name such as ftp.example.org, or an IP address."},
    {CConnectWizard::kLoginInformation, u"Login Information",
     u"Many public servers take anonymous logins: the user name \"anonymous\" and your e-mail address as "
     u"password. For an account of your own, clear \"Anonymous mode\" and type its user name and "
     u"password. The port is 21 unless the server's owner told you another."},
    {CConnectWizard::kFinish, u"Finish",
     u"Press Finish to save the site. Check \"Connect Now\" to connect to it as soon as it is saved."},
};

// A page that lets the user go on only while its one field is not empty.
class RequiredFieldPage : public QWizardPage {
public:
    void Require(QLineEdit* field) {
        required_ = field;
        connect(field, &QLineEdit::textChanged, this, &QWizardPage::completeChanged);
    }
    bool isComplete() const override { return required_ == nullptr || !required_->text().isEmpty(); }

private:
    QLineEdit* required_ = nullptr;
};

// A page with its explanation on top and, below it, whatever fields the step asks for.
RequiredFieldPage* NewPage(const PageText& text, QFormLayout** fields) {
    auto* page = new RequiredFieldPage;
    page->setTitle(QString::fromUtf16(text.title));
    auto* explanation = new QLabel(QString::fromUtf16(text.explanation), page);
    explanation->setWordWrap(true);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(explanation);
    *fields = new QFormLayout;
    layout->addSpacing(8);
    layout->addLayout(*fields);
    layout->addStretch(1);
    return page;
}

} // namespace

CConnectWizard::CConnectWizard(SiteStore& store, const SettingsStore& settings, QWidget* parent)
    : QWizard(parent), store_(store), settings_(settings) {
    setWindowTitle(QString());
    setOption(QWizard::NoBackButtonOnStartPage, true);
    setOption(QWizard::HaveNextButtonOnLastPage, true);
    for (const PageText& text : kPages) {
        QFormLayout* fields = nullptr;
        RequiredFieldPage* page = NewPage(text, &fields);
        switch (text.id) {
        case kWelcome:
            break;
        case kSiteLabel:
            label_ = new QLineEdit(page);
            label_->setObjectName(u"WizardLabel"_s);
            fields->addRow(u"Site &Label:  "_s, label_);
            page->Require(label_); // Next only while it is not empty
            break;
        case kHostAddress:
            address_ = new QLineEdit(page);
            address_->setObjectName(u"WizardAddress"_s);
            fields->addRow(u"Host &Address:"_s, address_);
            page->Require(address_);
            break;
        case kLoginInformation:
            anonymousMode_ = new QCheckBox(u"Anonymous mode"_s, page);
            anonymousMode_->setChecked(true);
            user_ = new QLineEdit(u"anonymous"_s, page);
            password_ = new QLineEdit(QString::fromUtf8(AnonymousEmail(settings_)), page);
            password_->setEchoMode(QLineEdit::Password);
            port_ = NewSitePortField(page);
            port_->setText(u"21"_s);
            fields->addRow(anonymousMode_);
            fields->addRow(u"&Username"_s, user_);
            fields->addRow(u"&Password"_s, password_);
            fields->addRow(u"P&ort"_s, port_);
            // Checking it fills in the anonymous login; clearing it leaves the fields as they are.
            connect(anonymousMode_, &QCheckBox::toggled, this, [this](bool checked) {
                if (checked) {
                    user_->setText(u"anonymous"_s);
                    password_->setText(QString::fromUtf8(AnonymousEmail(settings_)));
                }
            });
            break;
        case kFinish:
            connectNow_ = new QCheckBox(u"Connect Now"_s, page);
            fields->addRow(connectNow_);
            page->setFinalPage(true);
            break;
        }
        setPage(text.id, page);
    }
    setStartId(kWelcome);
}

bool CConnectWizard::ConnectNow() const {
    return connectNow_->isChecked();
}

bool CConnectWizard::validateCurrentPage() {
    if (currentId() == kLoginInformation && !ReadSitePort(*port_)) {
        port_->setFocus();
        port_->selectAll();
        ShowWarning(this, SitePortRangeMessage());
        return false;
    }
    return QWizard::validateCurrentPage();
}

void CConnectWizard::accept() {
    const std::optional<int> port = ReadSitePort(*port_);
    if (!port) { // Finish can be pressed with the port page never left
        ShowWarning(this, SitePortRangeMessage());
        return;
    }
    SiteProfile site;
    site.label = label_->text().toUtf8();
    site.address = address_->text().toUtf8();
    site.userName = user_->text().toUtf8();
    site.password = password_->text().toUtf8();
    site.port = *port;
    site.remotePath = "/";
    ApplyStoredSiteRules(site, anonymousMode_->isChecked());
    const SiteAddResult added = store_.Add(site);
    if (!added.commandId) {
        ShowWarning(this, added.error);
        return;
    }
    created_ = added.commandId;
    SaveSitesTelling(store_, this);
    QWizard::accept();
}

} // namespace tessaly
