// The main window's saved sites against a real local server: the saved-site commands, the "Recent
// Site" submenu and its settings keys, Reconnect to the last saved site, a refused site, a removed site,
// and "&Save Password" in the login dialog of a saved site.
#include "GuiSupport.h"
#include "MainFrameFixture.h"
#include "support/EventPump.h"
#include "support/FtpServerProcess.h"
#include "ui/CommandIds.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

namespace tessaly::test {
namespace {

using namespace Qt::StringLiterals;
using ServerKind = FtpServerProcess::Kind;

SiteProfile Site(const QByteArray& label, const QByteArray& address, qint32 port, const QByteArray& user,
                 const QByteArray& password, const QByteArray& path) {
    SiteProfile site;
    site.label = label;
    site.address = address;
    site.port = port;
    site.userName = user;
    site.password = password;
    site.remotePath = path;
    return site;
}

QStringList MenuTexts(QMenu& menu) {
    QStringList texts;
    for (const QAction* action : menu.actions()) {
        texts.append(action->text());
    }
    return texts;
}

QStringList RecentKeys(const SettingsStore& settings) {
    QStringList keys{settings.GetString(u"RecentFTPSite", u"Count")};
    for (int i = 0; i < settings.GetInt(u"RecentFTPSite", u"Count", 0); ++i) {
        keys.append(settings.GetString(u"RecentFTPSite", u"Site%1"_s.arg(i)));
    }
    return keys;
}

TEST_F(MainFrameTest, SavedSitesConnectMoveUpTheRecentListAndReconnect) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, ServerKind::Pyftpdlib);
    settings().WriteInt(u"Advance", u"ShowLoginMsg", 0);
    // The list of an earlier run: B, an entry naming no site (several sites have its address, none at
    // its position), and the one site at ftp.invalid, which has moved since.
    settings().WriteInt(u"RecentFTPSite", u"Count", 3);
    settings().WriteString(u"RecentFTPSite", u"Site0", u"1,127.0.0.1"_s);
    settings().WriteString(u"RecentFTPSite", u"Site1", u"9,127.0.0.1"_s);
    settings().WriteString(u"RecentFTPSite", u"Site2", u"2,ftp.invalid"_s);

    const quint16 port = server->port();
    const QList<QByteArray> paths{"/pub", "/pub/docs", "/incoming", "/", "/pub/docs"};
    SiteStore store(dir_.filePath(u"Favorites.dat"_s));
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QByteArray label(1, char('A' + i));
        ASSERT_TRUE(store.Add(Site(label, "127.0.0.1", port, "anonymous", {}, paths[i])).commandId);
    }
    ASSERT_TRUE(store.Add(Site("Far & away", "ftp.invalid", 21, "anonymous", {}, "/")).commandId);
    ASSERT_TRUE(store.Add(Site("Bad port", "127.0.0.1", 70000, "anonymous", {}, "/")).commandId);
    frame().AdoptSiteStore(std::move(store));
    EXPECT_EQ(MenuTexts(frame().RecentSiteMenu()), (QStringList{u"B"_s, u"Far && away"_s}));
    EXPECT_FALSE(frame().Action(cmd::kReconnect)->isEnabled());

    // A, B, C, D, E and C again, each by its command, each landing in its own path.
    const auto connectTo = [&](int index) {
        frame().RunCommand(cmd::kSavedSiteFirst + index);
        return WaitForIdleListing(paths[index]) && frame().CurrentSavedSite() == cmd::kSavedSiteFirst + index;
    };
    for (const int index : {0, 1, 2, 3, 4, 2}) {
        ASSERT_TRUE(connectTo(index)) << index << qPrintable(LogText());
    }
    EXPECT_TRUE(frame().windowTitle().endsWith(u" - 127.0.0.1"_s)) << qPrintable(frame().windowTitle());
    EXPECT_EQ(MenuTexts(frame().RecentSiteMenu()), (QStringList{u"C"_s, u"E"_s, u"D"_s, u"B"_s}));
    EXPECT_EQ(RecentKeys(settings()),
              (QStringList{u"4"_s, u"2,127.0.0.1"_s, u"4,127.0.0.1"_s, u"3,127.0.0.1"_s, u"1,127.0.0.1"_s}));
    // C again while connected to it does nothing.
    const FtpSession* session = frame().Engine().Session();
    const qsizetype logSize = LogText().size();
    frame().RunCommand(cmd::kSavedSiteFirst + 2);
    EXPECT_EQ(frame().Engine().Session(), session);
    EXPECT_EQ(LogText().size(), logSize);

    // The submenu's entry for E connects to E.
    frame().RecentSiteMenu().actions().at(1)->trigger();
    ASSERT_TRUE(WaitForIdleListing("/pub/docs")) << qPrintable(LogText());
    EXPECT_EQ(frame().CurrentSavedSite(), cmd::kSavedSiteFirst + 4);
    EXPECT_EQ(MenuTexts(frame().RecentSiteMenu()), (QStringList{u"E"_s, u"C"_s, u"D"_s, u"B"_s}));

    // A quick connect forgets the saved site; Reconnect goes back to the last one.
    QuickConnect(*server, {}, {});
    ASSERT_TRUE(WaitForIdleListing("/")) << qPrintable(LogText());
    EXPECT_EQ(frame().CurrentSavedSite(), 0);
    EXPECT_EQ(frame().LastSavedSite(), cmd::kSavedSiteFirst + 4);
    frame().Action(cmd::kReconnect)->trigger();
    ASSERT_TRUE(WaitForIdleListing("/pub/docs")) << qPrintable(LogText());
    EXPECT_EQ(frame().CurrentSavedSite(), cmd::kSavedSiteFirst + 4);
    // Reconnect while connected to it does nothing; once the session has closed it connects again.
    const qsizetype connectedLog = LogText().size();
    frame().Action(cmd::kReconnect)->trigger();
    QTest::qWait(50);
    EXPECT_EQ(LogText().size(), connectedLog) << qPrintable(LogText().mid(connectedLog));
    frame().Engine().Disconnect();
    EXPECT_EQ(frame().CurrentSavedSite(), 0);
    frame().UpdateCommandStates();
    frame().Action(cmd::kReconnect)->trigger();
    ASSERT_TRUE(WaitForIdleListing("/pub/docs")) << qPrintable(LogText());
    EXPECT_EQ(frame().CurrentSavedSite(), cmd::kSavedSiteFirst + 4);

    // A site that cannot be connected to is refused with a message; the session stays.
    QString refusal;
    HandleNextModal([&](QWidget* modal) {
        refusal = ModalText(modal);
        modal->close();
    });
    frame().RunCommand(cmd::kSavedSiteFirst + 6);
    EXPECT_TRUE(refusal.contains(u"70000"_s)) << qPrintable(refusal);
    EXPECT_EQ(frame().CurrentSavedSite(), cmd::kSavedSiteFirst + 4);
    EXPECT_TRUE(frame().Engine().Session()->loggedIn);

    // Removing the site leaves nothing referring to it; the positions after it are written anew.
    ASSERT_TRUE(frame().Sites().Remove(cmd::kSavedSiteFirst + 4));
    EXPECT_EQ(frame().CurrentSavedSite(), 0);
    EXPECT_EQ(frame().LastSavedSite(), 0);
    EXPECT_EQ(MenuTexts(frame().RecentSiteMenu()), (QStringList{u"C"_s, u"D"_s, u"B"_s}));
    EXPECT_EQ(RecentKeys(settings()),
              (QStringList{u"3"_s, u"2,127.0.0.1"_s, u"3,127.0.0.1"_s, u"1,127.0.0.1"_s}));
    // A site renamed since shows its new label when the submenu opens.
    SiteProfile renamed = *frame().Sites().FindByCommandId(cmd::kSavedSiteFirst + 3);
    renamed.label = "Dee";
    ASSERT_TRUE(frame().Sites().Update(renamed));
    emit frame().RecentSiteMenu().aboutToShow();
    EXPECT_EQ(MenuTexts(frame().RecentSiteMenu()), (QStringList{u"C"_s, u"Dee"_s, u"B"_s}));
    SaveScreenshot(frame(), u"main-window-saved-sites"_s);
}

// "&Save Password" is offered in the login dialog of a saved site and saves the user name and password
// into the site file; a save that fails is told to the user.
TEST_F(MainFrameTest, SavePasswordOfASavedSiteLogin) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, ServerKind::Pyftpdlib);
    settings().WriteInt(u"Advance", u"ShowLoginMsg", 0);
    // The file's directory is a file at first: the first save cannot be written.
    const QString blocker = dir_.filePath(u"sites"_s);
    ASSERT_TRUE(WriteAll(blocker, "not a directory"));
    const QString sitesPath = blocker + u"/Favorites.dat"_s;
    SiteStore store(sitesPath);
    ASSERT_TRUE(store.Add(Site("One", "127.0.0.1", server->port(), "alice", "wrong", "/pub")).commandId);
    ASSERT_TRUE(store.Add(Site("Two", "127.0.0.1", server->port(), "nobody", {}, "/incoming")).commandId);
    frame().AdoptSiteStore(std::move(store));

    bool offered = false;
    const auto login = [&](QWidget* modal) {
        auto* save = modal->findChild<QCheckBox*>();
        offered = save != nullptr && save->isEnabled() && save->text() == u"&Save Password"_s;
        for (QLineEdit* edit : modal->findChildren<QLineEdit*>()) {
            if (edit->echoMode() == QLineEdit::Password) {
                edit->setText(u"secret"_s);
            } else if (edit->isEnabled() && edit->isVisible() && !edit->isReadOnly() &&
                       edit->text() == u"nobody"_s) {
                edit->setText(u"alice"_s);
            }
        }
        save->setChecked(true);
        qobject_cast<QDialog*>(modal)->accept();
    };
    QString failure;
    {
        ModalScript script({{u"Login"_s, login}, {u"Tessaly Client"_s, [&](QWidget* modal) {
                                                      failure = ModalText(modal);
                                                      modal->close();
                                                  }}});
        frame().RunCommand(cmd::kSavedSiteFirst);
        ASSERT_TRUE(pumpEventsUntil([&] { return script.Done() == 2; }, 20000)) << qPrintable(LogText());
    }
    EXPECT_TRUE(offered);
    EXPECT_TRUE(failure.contains(u"could not be written"_s)) << qPrintable(failure);
    ASSERT_TRUE(WaitForIdleListing("/pub")) << qPrintable(LogText());

    // With the directory possible, the next save writes both sites with what the login used.
    ASSERT_TRUE(QFile::remove(blocker));
    offered = false;
    {
        ModalScript script({{u"Login"_s, login}});
        frame().RunCommand(cmd::kSavedSiteFirst + 1);
        ASSERT_TRUE(pumpEventsUntil([&] { return script.Done() == 1; }, 20000)) << qPrintable(LogText());
    }
    ASSERT_TRUE(WaitForIdleListing("/incoming")) << qPrintable(LogText());
    EXPECT_TRUE(offered);
    SiteStore reread(sitesPath);
    reread.Load();
    ASSERT_EQ(reread.Sites().size(), 2);
    for (const SiteProfile& site : reread.Sites()) {
        EXPECT_EQ(site.userName, "alice") << site.label.constData();
        EXPECT_EQ(site.password, "secret") << site.label.constData();
    }
}

} // namespace
} // namespace tessaly::test
