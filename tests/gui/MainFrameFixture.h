#pragma once

#include "support/FtpServerProcess.h"
#include "ui/MainFrame.h"

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

} // namespace tessaly::test
