#pragma once

#include "GuiSupport.h"
#include "listing/ListingParser.h"
#include "panes/RemoteListCtrl.h"
#include "panes/RemotePaneHost.h"
#include "panes/RemoteView.h"
#include "settings/SettingsStore.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace tessaly::test {

// Records what the pane asks of the program around it.
class RecordingHost : public RemotePaneHost {
public:
    struct Change {
        QByteArray path;
        bool up;
        bool operator==(const Change&) const = default;
    };

    bool SessionMayAct() const override { return mayAct; }
    QByteArray SessionHost() const override { return "ftp.example.org"; }
    void ChangeDirectory(const QByteArray& path, bool up) override { changes.push_back({path, up}); }
    void RefreshListing() override { ++refreshes; }
    void ClearCache() override { ++cacheClears; }
    void DownloadItems(const QList<RemoteItem>& files) override { downloads.append(files); }
    bool CanReceiveDownloads() const override { return canReceive; }
    void DownloadPath(const QByteArray& path) override { downloadedPaths.append(path); }
    void ViewOrRunItem(const RemoteItem& file, bool run) override {
        viewed.append({file.name().toByteArray(), run});
    }
    void UploadPaths(const QStringList& paths) override { uploads.append(paths); }
    void MakeDirectory(const QByteArray& name) override { sent.append("MKD " + name); }
    void RenameRemote(const QByteArray& oldName, const QByteArray& newName) override {
        sent.append("RNFR " + oldName + " RNTO " + newName);
    }
    void ApplyRemoteProperties(const QByteArray& name, const QByteArray& newName, int oldMode,
                               int newMode) override {
        sent.append(QByteArray("PROPS ") + name + ' ' + newName + ' ' + QByteArray::number(oldMode, 8) + ' ' +
                    QByteArray::number(newMode, 8));
    }
    void DeleteItems(const QList<RemoteItem>& items) override {
        QByteArray line = "DELETE";
        for (const RemoteItem& item : items) {
            line += ' ' + item.name().toByteArray();
        }
        sent.append(line);
    }

    bool mayAct = true;
    std::vector<Change> changes;
    int refreshes = 0;
    int cacheClears = 0;
    QList<QList<RemoteItem>> downloads;
    QList<std::pair<QByteArray, bool>> viewed;
    QList<QByteArray> downloadedPaths;
    QList<QStringList> uploads;
    QList<QByteArray> sent; // MKD, RNFR/RNTO, properties and deletes, one line each
    bool canReceive = true;
};

inline constexpr char kListing[] = "total 12\r\n"
                                   "drwxr-xr-x   2 ftp      ftp          4096 Jan  5  2003 pub\r\n"
                                   "-rw-r--r--   1 ftp      ftp          2048 Mar  7  2019 Zeta.txt\r\n"
                                   "drwxr-x---   3 ftp      ftp           512 Dec 24  2010 incoming\r\n"
                                   "-rw-r--r--   1 ftp      ftp       1048576 Feb 11  2021 archive.tar.gz\r\n"
                                   "-rw-r--r--   1 ftp      ftp             0 Jun 30  2015 alpha.pdf\r\n"
                                   "drwxr-xr-x   2 ftp      ftp          4096 Jul  1  2001 Debian\r\n";

// A double-click as the window system delivers it: a click, then the double-click event (which
// QTest sends alone).
inline void DoubleClickAt(QWidget* widget, QPoint at) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
}

class RemoteViewTest : public ::testing::Test {
protected:
    RemoteViewTest() : settings_(dir_.filePath(QStringLiteral("tessaly.INI"))), view_(host_, settings_) {
        view_.resize(760, 360);
        view_.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&view_));
    }

    void Show(const QByteArray& path, const QByteArray& listing) {
        view_.SetPath(path);
        view_.ShowItems(ParseListing(listing, path, false).items);
    }

    RemoteListModel& Model() { return view_.List().Model(); }

    QStringList Names() {
        QStringList names;
        for (int row = 0; row < Model().rowCount(); ++row) {
            names.append(Model().DisplayName(row));
        }
        return names;
    }

    int RowOf(const QString& name) { return int(Names().indexOf(name)); }

    void Select(const QString& name) {
        const QModelIndex index = Model().index(RowOf(name), 0);
        view_.List().selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                                  QItemSelectionModel::Rows);
    }

    void DoubleClick(const QString& name) {
        const int row = RowOf(name);
        ASSERT_GE(row, 0) << name.toStdString();
        DoubleClickAt(view_.List().viewport(), view_.List().RowRect(row).center());
    }

    void ClickHeader(int column) { ::tessaly::test::ClickHeader(*view_.List().header(), column); }

    QTemporaryDir dir_;
    SettingsStore settings_;
    RecordingHost host_;
    CRemoteView view_;
};

} // namespace tessaly::test
