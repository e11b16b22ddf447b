#pragma once

#include "settings/SettingsStore.h"
#include "sites/SiteStore.h"

#include <QDialog>
#include <QWidget>
#include <optional>

namespace tessaly {

class SiteFieldsForm;

// The "FTP Site" page: the fields of one site, either a new one (the caller's first values) or a
// saved site it is bound to.
class CFtpSitePage : public QWidget {
    Q_OBJECT
public:
    CFtpSitePage(const SiteProfile& shown, const SettingsStore& settings, QWidget* parent = nullptr);

    SiteFieldsForm& Fields() const { return *fields_; }
    // Whether the page may be left: its label is not empty (else said, with the caret in the label).
    bool CanLeave();

private:
    SiteFieldsForm* fields_;
};

// The sheets with the "FTP Site" page: "New" (a site added to the store on OK) and "Properties" (a
// saved site, changed in the store on OK). OK stays on the page while the label is empty or the port
// is outside 1..65535; a failed save is said to the user.
class CSiteSheet : public QDialog {
    Q_OBJECT
public:
    // "New": the page starts with the fields of `initial` (its command id is not used).
    static SiteProfile NewSiteFields();
    CSiteSheet(SiteStore& store, const SettingsStore& settings, const SiteProfile& initial,
               QWidget* parent = nullptr);
    // "Properties": the page shows the saved site with this command id.
    CSiteSheet(SiteStore& store, const SettingsStore& settings, int boundSite, QWidget* parent = nullptr);

    CFtpSitePage& Page() const { return *page_; }
    // The command id of the site added or changed by OK.
    std::optional<int> SavedSite() const { return saved_; }

    void accept() override;

private:
    CSiteSheet(SiteStore& store, const SettingsStore& settings, const SiteProfile& shown, int boundSite,
               QWidget* parent);

    SiteStore& store_;
    int bound_;
    SiteProfile shown_;
    CFtpSitePage* page_;
    std::optional<int> saved_;
};

} // namespace tessaly
