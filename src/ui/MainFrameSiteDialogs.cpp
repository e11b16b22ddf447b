// The main window's site dialogs: the Site Manager, the "New" and "Properties" sheets and the
// connect wizard.
#include "sites/ui/ConnectWizard.h"
#include "sites/ui/SiteManagerDialog.h"
#include "sites/ui/SitePropertyPage.h"
#include "ui/MainFrame.h"

namespace tessaly {

void CMainFrame::OnSiteManager() {
    SiteManagerDialog::Hooks hooks;
    hooks.connectSite = [this](int commandId) { ConnectSavedSite(commandId); };
    hooks.runWizard = [this](QWidget* parent, bool* connectNow) {
        return RunConnectWizard(parent, connectNow);
    };
    SiteManagerDialog dialog(sites_, settings_, std::move(hooks), this);
    dialog.exec();
}

std::optional<int> CMainFrame::RunConnectWizard(QWidget* parent, bool* connectNow) {
    CConnectWizard wizard(sites_, settings_, parent);
    wizard.exec();
    *connectNow = wizard.CreatedSite() && wizard.ConnectNow();
    return wizard.CreatedSite();
}

void CMainFrame::OnConnectWizard() {
    bool connectNow = false;
    const std::optional<int> created = RunConnectWizard(this, &connectNow);
    if (created && connectNow) {
        ConnectSavedSite(*created);
    }
}

void CMainFrame::OnNewSite() {
    CSiteSheet sheet(sites_, settings_, CSiteSheet::NewSiteFields(), this);
    sheet.exec();
}

void CMainFrame::OnNewSiteFromSession() {
    const FtpSession* session = engine_->Session();
    if (session == nullptr) {
        return;
    }
    SiteProfile site;
    site.label = session->host;
    site.address = session->host;
    site.userName = session->userName;
    site.password = session->password;
    site.port = session->port;
    site.remotePath = session->currentDirectory;
    CSiteSheet sheet(sites_, settings_, site, this);
    sheet.exec();
}

bool CMainFrame::CanShowSiteProperties() const {
    return CurrentSavedSite() != 0 && sites_.FindByCommandId(CurrentSavedSite()) != nullptr;
}

void CMainFrame::OnSiteProperties() {
    if (!CanShowSiteProperties()) {
        return;
    }
    CSiteSheet sheet(sites_, settings_, CurrentSavedSite(), this);
    sheet.exec();
}

} // namespace tessaly
