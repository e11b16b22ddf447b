#include "MainFrameFixture.h"

#include "panes/LocalView.h"
#include "panes/OutputView.h"
#include "panes/RemoteView.h"
#include "support/EventPump.h"
#include "ui/QuickConnectBar.h"

#include <QAction>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTest>
#include <QTreeView>
#include <algorithm>

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

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QMap<QString, QByteArray> Contents(const QString& path) {
    QMap<QString, QByteArray> contents;
    if (!QFileInfo(path).isDir()) {
        contents.insert(QString(), ReadAll(path));
        return contents;
    }
    QDirIterator it(path, QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString entry = it.next();
        contents.insert(QDir(path).relativeFilePath(entry),
                        QFileInfo(entry).isDir() ? QByteArray("<directory>") : ReadAll(entry));
    }
    return contents;
}

TaskRowWatch::TaskRowWatch(TaskListModel& model) {
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, &context_,
                     [this, &model] { mostRows = std::max(mostRows, model.rowCount()); });
    QObject::connect(&model, &QAbstractItemModel::rowsAboutToBeRemoved, &context_,
                     [this, &model](const QModelIndex&, int first, int last) {
                         for (int row = first; row <= last; ++row) {
                             progressAtEnd.insert(model.CellText(row, TaskColumn::Local),
                                                  model.CellText(row, TaskColumn::Progress));
                         }
                     });
}

void MainFrameTransferTest::SetUp() {
    MainFrameTest::SetUp();
    if (HasFatalFailure()) {
        return;
    }
    TESSALY_START_FTP_SERVER_OR_SKIP(server_, FtpServerProcess::Kind::Pyftpdlib);
    settings().WriteInt(u"Advance", u"ShowLoginMsg", 0);
    QuickConnect(*server_, {}, {});
    ASSERT_TRUE(WaitForIdleListing("/")) << qPrintable(LogText());
    frame().Engine().ChangeDirectory("/pub", false);
    ASSERT_TRUE(WaitForIdleListing("/pub")) << qPrintable(LogText());
    ASSERT_TRUE(target_.isValid());
    ASSERT_TRUE(frame().LocalPane().SetDirectory(target_.path()));
}

QString MainFrameTransferTest::ServerPath(const QString& name) const {
    return server_->root() + u"/pub/"_s + name;
}

QString MainFrameTransferTest::LocalPath(const QString& name) const {
    return target_.filePath(name);
}

void MainFrameTransferTest::TriggerWhenEnabled(int id) {
    QAction* action = frame().Action(id);
    ASSERT_TRUE(pumpEventsUntil([&] { return action->isEnabled(); }, 3000)) << id;
    action->trigger();
}

bool MainFrameTransferTest::WaitForJobEnd() {
    return pumpEventsUntil(
        [&] {
            return frame().Engine().IsIdle() && !frame().Engine().Session()->jobRunning &&
                   frame().RemoteView().IsPaneEnabled();
        },
        20000);
}

} // namespace tessaly::test
