#include "sites/ui/SitePropertyPage.h"

#include "sites/ui/SiteFieldsForm.h"
#include "ui/MessageBoxes.h"
#include "ui/OnePageSheet.h"

#include <QLineEdit>
#include <QVBoxLayout>

namespace tessaly {

using namespace Qt::StringLiterals;

CFtpSitePage::CFtpSitePage(const SiteProfile& shown, const SettingsStore& settings, QWidget* parent)
    : QWidget(parent), fields_(new SiteFieldsForm(settings, this)) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fields_);
    layout->addStretch(1);
    fields_->Show(shown);
}

bool CFtpSitePage::CanLeave() {
    if (!fields_->LabelEdit().text().isEmpty()) {
        return true;
    }
    fields_->LabelEdit().setFocus();
    ShowStopMessage(this, u"You must input host address label!"_s);
    return false;
}

SiteProfile CSiteSheet::NewSiteFields() {
    SiteProfile site;
    site.label = "New Site";
    site.userName.clear();
    site.password.clear();
    return site;
}

CSiteSheet::CSiteSheet(SiteStore& store, const SettingsStore& settings, const SiteProfile& initial,
                       QWidget* parent)
    : CSiteSheet(store, settings, initial, 0, parent) {}

CSiteSheet::CSiteSheet(SiteStore& store, const SettingsStore& settings, int boundSite, QWidget* parent)
    : CSiteSheet(store, settings,
                 store.FindByCommandId(boundSite) != nullptr ? *store.FindByCommandId(boundSite)
                                                             : SiteProfile{},
                 boundSite, parent) {}

CSiteSheet::CSiteSheet(SiteStore& store, const SettingsStore& settings, const SiteProfile& shown,
                       int boundSite, QWidget* parent)
    : QDialog(parent), store_(store), bound_(boundSite), shown_(shown),
      page_(new CFtpSitePage(shown, settings)) {
    setWindowTitle(boundSite != 0 ? u"Properties"_s : u"New"_s);
    BuildOnePageSheet(*this, page_, u"FTP Site"_s);
    page_->Fields().LabelEdit().setFocus();
    resize(440, 300);
}

void CSiteSheet::accept() {
    if (!page_->CanLeave()) {
        return;
    }
    std::optional<SiteProfile> edited = page_->Fields().Read(shown_, this);
    if (!edited) {
        return;
    }
    if (bound_ != 0) {
        // The site may have gone meanwhile (deleted elsewhere): then there is nothing to change.
        if (!store_.Update(*edited)) {
            ShowWarning(this, u"The site is no longer saved; nothing was changed."_s);
            QDialog::reject();
            return;
        }
        saved_ = bound_;
    } else {
        const SiteAddResult added = store_.Add(*edited);
        if (!added.commandId) {
            ShowWarning(this, added.error);
            return;
        }
        saved_ = added.commandId;
    }
    SaveSitesTelling(store_, this);
    QDialog::accept();
}

} // namespace tessaly
