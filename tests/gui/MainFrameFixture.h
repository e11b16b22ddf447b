#pragma once

#include "support/FtpServerProcess.h"
#include "transfer/ui/TaskListModel.h"
#include "ui/MainFrame.h"

#include <QMap>
#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

class QTreeView;

namespace tessaly::test {

// The main window shown offscreen with a settings file of its own (one connection attempt), closed
// without a question at the end, and what the tests of it share: the remote list's names, the log,
// Quick Connect as typed by a user.
class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QString settingsPath() const;
    SettingsStore settings() const;
    CMainFrame& frame() { return *frame_; }

    // The remote pane's list in detail view, and the names its rows show in order.
    QTreeView& RemoteList();
    QStringList RemoteNames();
    QString LogText();

    // Types into the Quick Connect bar and presses Enter in the port field.
    void QuickConnect(const FtpServerProcess& server, const QString& user, const QString& password);
    // Waits until the session is idle in path with the remote pane enabled.
    bool WaitForIdleListing(const QByteArray& path);

    QTemporaryDir dir_;
    std::unique_ptr<CMainFrame> frame_;
};

// A file's bytes ("<missing>" when it cannot be read), and writing them.
QByteArray ReadAll(const QString& path);
bool WriteAll(const QString& path, const QByteArray& bytes);
// A file's bytes under the empty key, or every file and directory below a directory by relative
// path (hidden ones included; a directory's value is "<directory>").
QMap<QString, QByteArray> Contents(const QString& path);

// What the task list showed: how many rows it held at most, and the progress text of each row (by
// its local path) at the moment the row went.
class TaskRowWatch {
public:
    explicit TaskRowWatch(TaskListModel& model);

    int mostRows = 0;
    QMap<QString, QString> progressAtEnd;

private:
    QObject context_; // the connections end with the watch
};

// Transfers in the main window: connected to a pyftpdlib server in /pub, with the local pane
// showing an empty folder of the test's own.
class MainFrameTransferTest : public MainFrameTest {
protected:
    void SetUp() override;

    QString ServerPath(const QString& name) const;
    QString LocalPath(const QString& name) const;
    // Runs a command of the main window once its update has enabled it, as a tool button would.
    void TriggerWhenEnabled(int id);
    // Waits until the job has ended and the session is idle with the remote pane enabled.
    bool WaitForJobEnd();

    std::unique_ptr<FtpServerProcess> server_;
    QTemporaryDir target_;
};

} // namespace tessaly::test
