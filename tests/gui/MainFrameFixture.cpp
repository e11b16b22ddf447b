#include "MainFrameFixture.h"

#include "panes/OutputView.h"
#include "panes/RemoteView.h"
#include "support/EventPump.h"
#include "ui/QuickConnectBar.h"

#include <QTest>
#include <QTreeView>

namespace tessaly::test {

using namespace Qt::StringLiterals;

void MainFrameTest::SetUp() {
    settings().WriteInt(u"General", u"RetryNumber", 1);
    frame_ = std::make_unique<CMainFrame>(SettingsStore(settingsPath()));
    frame_->resize(1100, 720);
    frame_->show();
    frame_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame_.get()));
}

void MainFrameTest::TearDown() {
    // No question may be left open for the next test.
    if (frame_) {
        SettingsStore(settingsPath()).WriteInt(u"UserPrompt", u"PromptOnCloseMainWindow", 0);
        frame_->close();
    }
    frame_.reset();
}

QString MainFrameTest::settingsPath() const {
    return dir_.path() + u"/tessaly.INI"_s;
}

SettingsStore MainFrameTest::settings() const {
    return SettingsStore(settingsPath());
}

QTreeView& MainFrameTest::RemoteList() {
    return *frame().RemoteView().findChild<QTreeView*>();
}

QStringList MainFrameTest::RemoteNames() {
    QStringList names;
    QAbstractItemModel* model = RemoteList().model();
    for (int row = 0; row < model->rowCount(); ++row) {
        names.append(model->index(row, 0).data().toString());
    }
    return names;
}

QString MainFrameTest::LogText() {
    return frame().OutputView().toPlainText();
}

void MainFrameTest::QuickConnect(const FtpServerProcess& server, const QString& user,
                                 const QString& password) {
    QuickConnectBar& bar = frame().ConnectBar();
    bar.Host().clear();
    QTest::keyClicks(&bar.Host(), u"127.0.0.1"_s);
    bar.User().setText(user);
    bar.Password().setText(password);
    bar.Port().clear();
    QTest::keyClicks(&bar.Port(), QString::number(server.port()));
    QTest::keyClick(&bar.Port(), Qt::Key_Return);
}

bool MainFrameTest::WaitForIdleListing(const QByteArray& path) {
    return pumpEventsUntil(
        [&] {
            return frame().Engine().IsIdle() && frame().RemoteView().Path() == path &&
                   frame().RemoteView().IsPaneEnabled();
        },
        15000);
}

} // namespace tessaly::test
