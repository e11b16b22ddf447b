// The site dialogs from the main window: the Site Manager's "&Connect", the sheets of the saved site
// connected now and of the current session, deleting the connected site, and the wizard's "Connect
// Now", against a real server.
#include "MainFrameFixture.h"
#include "gui/GuiSupport.h"
#include "sites/ui/ConnectWizard.h"
#include "sites/ui/SiteFieldsForm.h"
#include "sites/ui/SiteManagerDialog.h"
#include "sites/ui/SitePropertyPage.h"
#include "ui/CommandIds.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace tessaly::test {
namespace {

using namespace Qt::StringLiterals;

void Retype(QLineEdit& field, const QString& text) {
    field.setFocus();
    field.selectAll();
    QTest::keyClick(&field, Qt::Key_Delete);
    QTest::keyClicks(&field, text);
}

QPushButton* Button(QWidget& dialog, const QString& text) {
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button->text() == text) {
            return button;
        }
    }
    return nullptr;
}

// Acts on the next modal dialog of type T; false when none came.
template <typename T> bool OnNextDialog(CMainFrame& frame, int command, const std::function<void(T&)>& act) {
    bool seen = false;
    HandleNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<T*>(modal);
        if (dialog == nullptr) {
            return;
        }
        seen = true;
        act(*dialog);
    });
    frame.RunCommand(command);
    return seen;
}

class MainFrameSiteDialogsTest : public MainFrameTest {
protected:
    QString sitesPath() const { return dir_.filePath(u"Favorites.dat"_s); }
    QList<SiteProfile> FileSites() const {
        SiteStore reread(sitesPath());
        reread.Load();
        return reread.Sites();
    }
};

TEST_F(MainFrameSiteDialogsTest, SavedSiteConnectedFromTheSiteManagerAndTheWizard) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Pyftpdlib);
    settings().WriteInt(u"Advance", u"ShowLoginMsg", 0);
    SiteStore sites(sitesPath());
    const int docs =
        *sites.Add({"Docs", "127.0.0.1", "anonymous", "", server->port(), "/pub/docs", "", 0}).commandId;
    ASSERT_TRUE(sites.Save().ok);
    frame().AdoptSiteStore(std::move(sites));
    EXPECT_FALSE(frame().IsCommandEnabled(cmd::kSiteProperties));
    EXPECT_FALSE(frame().IsCommandEnabled(cmd::kNewSiteFromSession));

    // F4, the site, "&Connect": the dialog closes and the session lands in the site's path.
    bool managerSeen = false;
    HandleNextModal([&](QWidget* modal) {
        auto* manager = qobject_cast<SiteManagerDialog*>(modal);
        ASSERT_NE(manager, nullptr);
        managerSeen = true;
        manager->SelectSite(docs);
        Button(*manager, u"&Connect"_s)->click();
    });
    QTest::keyClick(&frame(), Qt::Key_F4);
    ASSERT_TRUE(managerSeen);
    ASSERT_TRUE(WaitForIdleListing("/pub/docs")) << qPrintable(LogText());
    EXPECT_EQ(frame().CurrentSavedSite(), docs);

    // "Properties" of the site connected now: an empty label is refused, the page stays.
    ASSERT_TRUE(frame().IsCommandEnabled(cmd::kSiteProperties));
    EXPECT_TRUE(OnNextDialog<CSiteSheet>(frame(), cmd::kSiteProperties, [](CSiteSheet& sheet) {
        EXPECT_EQ(sheet.windowTitle(), u"Properties"_s);
        QLineEdit& label = sheet.Page().Fields().LabelEdit();
        EXPECT_EQ(label.text(), u"Docs"_s);
        label.clear();
        QString said;
        HandleNextModal([&said](QWidget* box) {
            said = qobject_cast<QMessageBox*>(box)->text();
            qobject_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
        });
        sheet.accept();
        EXPECT_EQ(said, u"You must input host address label!"_s);
        EXPECT_TRUE(sheet.isVisible());
        QTest::keyClicks(&label, u"Docs again"_s);
        SaveScreenshot(sheet, u"SitePropertiesSheet"_s);
        sheet.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    }));
    EXPECT_EQ(FileSites().first().label, "Docs again");

    // "New" from the session: its host, user, port and path; cancelled, nothing is added.
    EXPECT_TRUE(OnNextDialog<CSiteSheet>(frame(), cmd::kNewSiteFromSession, [&](CSiteSheet& sheet) {
        EXPECT_EQ(sheet.windowTitle(), u"New"_s);
        const SiteProfile shown = *sheet.Page().Fields().Read({}, nullptr);
        EXPECT_EQ(shown.label, "127.0.0.1");
        EXPECT_EQ(shown.address, "127.0.0.1");
        EXPECT_EQ(shown.userName, "anonymous");
        EXPECT_EQ(shown.port, server->port());
        EXPECT_EQ(shown.remotePath, "/pub/docs");
        SaveScreenshot(sheet, u"NewSiteFromSessionSheet"_s);
        sheet.reject();
    }));
    EXPECT_EQ(FileSites().size(), 1);

    // Deleting the connected site leaves nothing pointing at it; its "Properties" go.
    SettingsStore(settingsPath()).WriteInt(u"UserPrompt", u"PromptOnDeleteFavorites", 0);
    EXPECT_TRUE(OnNextDialog<SiteManagerDialog>(frame(), cmd::kSiteManager, [&](SiteManagerDialog& manager) {
        manager.SelectSite(docs);
        Button(manager, u"&Delete"_s)->click();
        Button(manager, u"Clo&se"_s)->click();
    }));
    EXPECT_TRUE(FileSites().isEmpty());
    EXPECT_EQ(frame().CurrentSavedSite(), 0);
    EXPECT_FALSE(frame().IsCommandEnabled(cmd::kSiteProperties));

    // The wizard from the main window with "Connect Now" connects to the new site at once.
    EXPECT_TRUE(OnNextDialog<CConnectWizard>(frame(), cmd::kConnectWizard, [&](CConnectWizard& wizard) {
        wizard.next();
        QTest::keyClicks(&wizard.LabelEdit(), u"Root"_s);
        wizard.next();
        QTest::keyClicks(&wizard.AddressEdit(), u"127.0.0.1"_s);
        wizard.next();
        Retype(wizard.PortEdit(), QString::number(server->port()));
        wizard.next();
        for (QCheckBox* box : wizard.findChildren<QCheckBox*>()) {
            if (box->text() == u"Connect Now"_s) {
                box->setChecked(true);
            }
        }
        wizard.button(QWizard::FinishButton)->click();
    }));
    ASSERT_EQ(FileSites().size(), 1);
    EXPECT_EQ(frame().CurrentSavedSite(), frame().Sites().Sites().first().commandId);
    EXPECT_TRUE(WaitForIdleListing("/")) << qPrintable(LogText());
}

} // namespace
} // namespace tessaly::test
