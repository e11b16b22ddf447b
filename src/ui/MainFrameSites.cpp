// The main window's saved sites: the saved-site commands, the recent-site list and its "Recent Site"
// submenu, saving the password of a login, and what a removed site leaves behind.
#include "session/LogStyle.h"
#include "sites/SiteConnect.h"
#include "ui/CommandIds.h"
#include "ui/MainFrame.h"
#include "ui/MessageBoxes.h"

#include <QAction>
#include <QMenu>
#include <QTimer>

namespace tessaly {

namespace {

// A menu entry's text showing the label as it is: an ampersand is no mnemonic.
QString MenuText(const QByteArray& label) {
    return QString::fromUtf8(label).replace(u'&', QStringLiteral("&&"));
}

} // namespace

void CMainFrame::AdoptSiteStore(SiteStore sites) {
    sites_ = std::move(sites);
    sites_.SetRemovalHandler([this](int commandId) { OnSiteRemoved(commandId); });
    currentSite_ = 0;
    lastSite_ = 0;
    recent_.Load(settings_, sites_);
    RebuildRecentMenu();
    // A label changed since shows as it is now.
    connect(recentMenu_, &QMenu::aboutToShow, this, &CMainFrame::RebuildRecentMenu, Qt::UniqueConnection);
}

void CMainFrame::ConnectSavedSite(int commandId) {
    const SiteProfile* site = sites_.FindByCommandId(commandId);
    // The site of the current connection again does nothing.
    if (site == nullptr || (currentSite_ != 0 && currentSite_ == commandId)) {
        return;
    }
    // A site that cannot be connected to is refused before anything of the current session changes.
    const SiteConnectResult connect = SiteConnectRequest(*site, settings_);
    if (!connect.request) {
        ShowWarning(this, connect.error);
        return;
    }
    engine_->CloseSession(); // forgets the current saved site
    currentSite_ = commandId;
    engine_->StartSession(*connect.request);
    if (engine_->Session() == nullptr) {
        currentSite_ = 0; // no attempt was allowed: nothing is connected to the site
    }
}

void CMainFrame::OnSiteRemoved(int commandId) {
    if (currentSite_ == commandId) {
        currentSite_ = 0;
    }
    if (lastSite_ == commandId) {
        lastSite_ = 0;
    }
    // The positions of the sites after it change: the keys are written again in any case.
    recent_.Remove(commandId);
    WriteRecentSites();
    RebuildRecentMenu();
    UpdateCommandStates();
}

void CMainFrame::RebuildRecentMenu() {
    if (recentMenu_ == nullptr) {
        return;
    }
    recentMenu_->clear(); // deletes the entries it owns; the placeholder belongs to the window
    for (const int id : recent_.CommandIds()) {
        const SiteProfile* site = sites_.FindByCommandId(id);
        if (site == nullptr) {
            continue;
        }
        QAction* entry = recentMenu_->addAction(MenuText(site->label));
        entry->setData(id);
        connect(entry, &QAction::triggered, this, [this, id] { RunCommand(id); });
    }
    if (recentMenu_->isEmpty()) {
        recentMenu_->addAction(actions_.value(cmd::kRecentSitePlaceholder));
    }
}

void CMainFrame::WriteRecentSites() {
    if (!recent_.Write(settings_, sites_)) {
        AppendLog(FormatLogLine(LogKind::Error, QByteArray("The recent sites could not be written to ") +
                                                    settings_.filePath().toUtf8() + '.'),
                  LogColourOf(LogKind::Error));
    }
}

void CMainFrame::NoteSavedSiteLogin() {
    const FtpSession* session = engine_->Session();
    const SiteProfile* site = sites_.FindByCommandId(currentSite_);
    if (session == nullptr || site == nullptr) {
        return;
    }
    lastSite_ = currentSite_;
    recent_.Touch(currentSite_);
    RebuildRecentMenu();
    WriteRecentSites();
    if (!session->savePassword) {
        return;
    }
    SiteProfile changed = *site;
    changed.userName = session->userName;
    changed.password = session->password;
    sites_.Update(changed);
    const QString message = sites_.Save().message();
    if (!message.isEmpty()) {
        AppendLog(FormatLogLine(LogKind::Error, message.toUtf8()), LogColourOf(LogKind::Error));
        // Told once the login has been dealt with: the engine is in the middle of a reply here.
        QTimer::singleShot(0, this, [this, message] {
            if (!closing_) {
                ShowWarning(this, message);
            }
        });
    }
}

} // namespace tessaly
