#pragma once

#include "settings/SettingsStore.h"
#include "sites/SiteStore.h"

#include <QWizard>
#include <optional>

class QCheckBox;
class QLineEdit;

namespace tessaly {

// The connect wizard: five pages ("Welcome", "Site Label", "Host Address", "Login Information",
// "Finish") that make a saved site. Next leaves "Site Label" and "Host Address" only while their field
// is not empty; "Login Information" takes ports 1..65535. Finish adds the site to the store and saves
// it (a failed save is said); "Connect Now" asks the caller to connect to it.
class CConnectWizard : public QWizard {
    Q_OBJECT
public:
    enum PageId { kWelcome, kSiteLabel, kHostAddress, kLoginInformation, kFinish };

    CConnectWizard(SiteStore& store, const SettingsStore& settings, QWidget* parent = nullptr);

    // After Finish: the command id of the site made, and whether "Connect Now" was checked.
    std::optional<int> CreatedSite() const { return created_; }
    bool ConnectNow() const;

    QLineEdit& LabelEdit() const { return *label_; }
    QLineEdit& AddressEdit() const { return *address_; }
    QCheckBox& AnonymousMode() const { return *anonymousMode_; }
    QLineEdit& UserEdit() const { return *user_; }
    QLineEdit& PasswordEdit() const { return *password_; }
    QLineEdit& PortEdit() const { return *port_; }

    bool validateCurrentPage() override;
    void accept() override;

private:
    SiteStore& store_;
    const SettingsStore& settings_;
    QLineEdit* label_ = nullptr;
    QLineEdit* address_ = nullptr;
    QCheckBox* anonymousMode_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLineEdit* port_ = nullptr;
    QCheckBox* connectNow_ = nullptr;
    std::optional<int> created_;
};

} // namespace tessaly
